#include "ui/updatewindow.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QVBoxLayout>

#include "ui/controls.h"

namespace kovant::ui {

KovantUpdate::KovantUpdate(AppState& app, QWidget* parent, std::string from)
    : QDialog(parent), model_(app, *this, std::move(from)) {
  const window::layout::Window& table = window::layout::Update();
  setObjectName(Utf8(table.name));
  setWindowTitle(Utf8(table.title));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setModal(true);
  setFont(FontOf(table.font));
  // Captions, fonts and names from the table; the places are the box
  // layout's, so that a long failure grows the window instead of being cut.
  LayoutBuilder make(this, table);
  Before = make.Make<QLabel>("Before");
  Progress = make.Make<QProgressBar>("Progress");
  Progress->setRange(0, 1000);
  StepLine = make.Make<QLabel>("StepLine");
  StepLine->setMinimumWidth(Px(table["StepLine"].place.width));
  Changes = make.Make<QLabel>("Changes");
  Changes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Room from the start for what comes last: an error of two lines, the
  // dates and the counts (and a note before them), so the window keeps its size.
  const int line = QFontMetrics(font()).lineSpacing();
  StepLine->setMinimumHeight(2 * line);
  Changes->setMinimumHeight(3 * line);
  Command = make.Make<QPushButton>("Command");
  make.Finish();
  Command->setAutoDefault(true);
  Command->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Command);
  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : std::initializer_list<QWidget*>{Before, Progress, StepLine, Changes}) layout->addWidget(w);
  layout->addLayout(buttons);
  connect(Command, &QPushButton::clicked, this, [this] { model_.Command_Click(); });
  model_.Form_Load();
}

void KovantUpdate::SetCommand(const std::string& caption, bool enabled) {
  Command->setText(QString::fromStdString(caption));
  Command->setEnabled(enabled);
}

// Queued to the window's thread; Qt drops the call once the window is gone
// (the destructor waits for the worker first).
void KovantUpdate::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(
      this,
      [self = self_, fn = std::move(fn)] {
        if (self) fn();
      },
      Qt::QueuedConnection);
}

// Closing while the update runs cancels it; the window stays until the
// worker has stopped, so nothing is written after it closed.
void KovantUpdate::reject() {
  if (model_.Form_QueryUnload()) QDialog::reject();
}

}  // namespace kovant::ui

#include "ui/updatewindow.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QPointer>
#include <QVBoxLayout>

#include <cmath>

#include "dict/census.h"
#include "dict/reader.h"
#include "ui/controls.h"

namespace kovant::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The data date of the dictionary in a folder, "" without one.
std::string DataDateIn(const std::string& folder) {
  auto file = dict::DicFile::Open(dict::DictionaryPathIn(folder));
  if (!file) return {};
  auto header = (*file)->ReadHeader();
  return header ? header->DataDate : std::string();
}

}  // namespace

KovantUpdate::KovantUpdate(AppState& app, QWidget* parent, std::string from)
    : QDialog(parent), app_(app), from_(std::move(from)) {
  setObjectName("KOVANTUPDATE");
  setWindowTitle(QStringLiteral("辞書の更新"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setModal(true);
  setFont(JapaneseFont(false, 9.75));
  const std::string date = DataDateIn(app_.ProgramFolder);
  Before = new QLabel(QStringLiteral("使用中の辞書データ：") + (date.empty() ? QStringLiteral("（なし）") : Q(date)));
  Progress = new QProgressBar;
  Progress->setRange(0, 1000);
  Progress->setValue(0);
  Progress->setAccessibleName(QStringLiteral("更新の進み具合"));
  StepLine = new QLabel;
  StepLine->setWordWrap(true);
  StepLine->setMinimumWidth(Px(5400));
  Changes = new QLabel;
  Changes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Room from the start for what comes last: an error of two lines, the
  // dates and the counts (and a note before them), so the window keeps its size.
  const int line = QFontMetrics(font()).lineSpacing();
  StepLine->setMinimumHeight(2 * line);
  Changes->setMinimumHeight(3 * line);
  Changes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  StepLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Command = new QPushButton(QStringLiteral("中止"));
  Command->setAutoDefault(true);
  Command->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Command);
  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : std::initializer_list<QWidget*>{Before, Progress, StepLine, Changes}) layout->addWidget(w);
  layout->addLayout(buttons);
  connect(Command, &QPushButton::clicked, this, [this] {
    if (Running()) {
      cancel_ = true;
      Command->setEnabled(false);
      StepLine->setText(QStringLiteral("中止しています..."));
    } else {
      accept();
    }
  });
}

KovantUpdate::~KovantUpdate() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void KovantUpdate::Start() {
  if (worker_.joinable()) return;
  StepLine->setText(QStringLiteral("ダウンロード中..."));
  // The worker reaches the window only through queued calls, which Qt drops
  // once the window is gone; the destructor waits for the worker.
  QPointer<KovantUpdate> self(this);
  worker_ = std::thread([this, self] {
    tools::UpdateOptions options;
    options.from = from_;
    options.cancel = &cancel_;
    options.progress = [self](const std::string& step, double share) {
      QMetaObject::invokeMethod(
          self.data(),
          [self, text = Q(step), share] {
            if (self) self->ShowStep(text, share);
          },
          Qt::QueuedConnection);
    };
    std::string notes;
    options.note = [&notes](const std::string& note) { notes += note + "\n"; };
    auto outcome = tools::UpdateDictionary(options);
    QMetaObject::invokeMethod(
        self.data(),
        [self, outcome, notes] {
          if (!self) return;
          if (!notes.empty()) self->Changes->setText(Q(notes));
          self->Done(outcome);
        },
        Qt::QueuedConnection);
  });
}

void KovantUpdate::ShowStep(const QString& step, double share) {
  if (finished_ || cancel_) return;
  if (!step.isEmpty()) StepLine->setText(step);
  if (share >= 0) Progress->setValue(static_cast<int>(std::lround(share * 1000)));
}

void KovantUpdate::Done(const dict::Result<tools::UpdateReport>& outcome) {
  finished_ = true;
  if (worker_.joinable()) worker_.join();
  Command->setText(QStringLiteral("閉じる"));
  Command->setEnabled(true);
  Command->setFocus();
  if (!outcome) {
    Progress->setValue(0);
    StepLine->setText(Q(outcome.error().description) + QStringLiteral("\n使用中の辞書はそのままです。"));
    emit Finished(false);
    return;
  }
  const tools::UpdateReport& r = *outcome;
  Progress->setValue(1000);
  StepLine->setText(QStringLiteral("辞書を更新しました。"));
  QString changes = Changes->text();
  changes += QStringLiteral("データの日付: %1 → %2\n")
                 .arg(r.dateBefore.empty() ? QStringLiteral("（なし）") : Q(r.dateBefore), Q(r.dateAfter));
  changes += QStringLiteral("郵便番号: %1 件追加、%2 件削除（町域 %3 件、事業所 %4 件）")
                 .arg(r.added)
                 .arg(r.removed)
                 .arg(r.towns)
                 .arg(r.offices);
  Changes->setText(changes);
  adjustSize();  // a note before the counts may need a line more
  // The main window takes the new data at its next step: it reads the
  // dictionary from here and sees the file changed.
  app_.ProgramFolder = dict::LocateDictionaryFolder();
  emit Finished(true);
}

// Closing while the update runs cancels it; the window stays until the
// worker has stopped, so nothing is written after it closed.
void KovantUpdate::reject() {
  if (Running()) {
    Command->click();
    return;
  }
  QDialog::reject();
}

}  // namespace kovant::ui

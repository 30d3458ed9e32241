#include "ui/profilewindow.h"

namespace kovant::ui {

Kovant3::Kovant3(AppState& app, QWidget* parent) : QDialog(parent), app_(app), model_(app, *this) {
  setObjectName("KOVANT3");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setModal(true);
  const window::layout::Window& table = window::layout::Profile();
  setFont(FontOf(table.font));
  setFixedSize(Px(table.width), Px(table.height));
  setWindowTitle(Utf8(table.title));

  LayoutBuilder make(this, table);
  List1 = make.Make<ListBox>("List1");
  Label1 = make.Make<QLabel>("Label1");
  Text1 = make.Make<QLineEdit>("Text1");
  SelectAllOnFocus(Text1);
  Command2 = make.Make<QPushButton>("Command2");
  Command1[1] = make.Make<QPushButton>("Command1", 1);
  Command1[0] = make.Make<QPushButton>("Command1", 0);
  make.Finish();
  // A focused button takes Enter itself; the default only when none has the focus.
  for (QPushButton* b : {Command2, Command1[0], Command1[1]}) b->setAutoDefault(true);
  Command1[0]->setDefault(true);

  // By mouse or keys alike.
  connect(List1, &ListBox::itemSelectionChanged, this, [this] { model_.List1_Click(); });
  connect(List1, &ListBox::DblClick, this, [this] { model_.List1_DblClick(); });
  connect(Command1[0], &QPushButton::clicked, this, [this] { model_.Command1_Click(0); });
  connect(Command1[1], &QPushButton::clicked, this, [this] { model_.Command1_Click(1); });
  connect(Command2, &QPushButton::clicked, this, [this] { model_.Command2_Click(); });
  CentreOnScreen(this);
  model_.Form_Load();
}

void Kovant3::ShowMode(bool save) {
  const window::layout::Window& table = window::layout::Profile();
  if (save) {
    setWindowTitle(Utf8(table.title));
    Command1[0]->setText(Utf8(table["Command1(0)"].caption));
    Command2->hide();
    Text1->show();
    Label1->show();
    PlaceTwips(List1, table["List1"].place);
  } else {
    setWindowTitle(Utf8(table.otherTitle));
    Command1[0]->setText(Utf8(table["Command1(0)"].otherCaption));
    Command1[1]->hide();
    Command2->show();
    Text1->hide();
    Label1->hide();
    PlaceTwips(List1, table["List1"].other);
  }
}

void Kovant3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (model_.SaveMode()) Text1->setFocus();
}

void Kovant3::Warn(const std::string& text) { ui::Warn(app_, this, QString::fromStdString(text)); }

}  // namespace kovant::ui

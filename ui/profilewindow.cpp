#include "ui/profilewindow.h"

namespace kovant::ui {

Kovant3::Kovant3(AppState& app, QWidget* parent) : QDialog(parent), app_(app), model_(app, *this) {
  setObjectName("KOVANT3");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setModal(true);
  setFont(JapaneseFont(false, 9.75));
  setFixedSize(Px(4230), Px(2700));
  setWindowTitle(QStringLiteral("設定保存"));

  List1 = new ListBox(this);
  List1->setAccessibleName(QStringLiteral("保存した設定"));
  Label1 = new QLabel(QStringLiteral("保存名"), this);
  Label1->setAlignment(Qt::AlignCenter);
  SetColours(Label1, QColor(255, 255, 192), QColor(255, 0, 0));
  PlaceTwips(Label1, 60, 1920, 915, 285);
  Text1 = new QLineEdit(this);
  Text1->setAccessibleName(QStringLiteral("保存名"));
  PlaceTwips(Text1, 1020, 1920, 3135, 285);
  SelectAllOnFocus(Text1);
  Command2 = new QPushButton(QStringLiteral("削除"), this);
  PlaceTwips(Command2, 60, 2340, 915, 315);
  Command1[1] = new QPushButton(QStringLiteral("取消し"), this);
  PlaceTwips(Command1[1], 2160, 2340, 915, 315);
  Command1[0] = new QPushButton(this);
  PlaceTwips(Command1[0], 3240, 2340, 915, 315);
  // A focused button takes Enter itself; the default only when none has the focus.
  for (QPushButton* b : {Command2, Command1[0], Command1[1]}) b->setAutoDefault(true);
  Command1[0]->setDefault(true);
  setTabOrder(List1, Text1);
  setTabOrder(Text1, Command1[0]);
  setTabOrder(Command1[0], Command1[1]);
  setTabOrder(Command1[1], Command2);

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
  if (save) {
    setWindowTitle(QStringLiteral("設定の保存"));
    Command1[0]->setText(QStringLiteral("ＯＫ"));
    Command2->hide();
    Text1->show();
    Label1->show();
    PlaceTwips(List1, 60, 60, 4095, 1815);
  } else {
    setWindowTitle(QStringLiteral("設定の削除"));
    Command1[0]->setText(QStringLiteral("閉じる"));
    Command1[1]->hide();
    Command2->show();
    Text1->hide();
    Label1->hide();
    PlaceTwips(List1, 60, 60, 4095, 2205);
  }
}

void Kovant3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (model_.SaveMode()) Text1->setFocus();
}

void Kovant3::Warn(const std::string& text) { ui::Warn(app_, this, QString::fromStdString(text)); }

}  // namespace kovant::ui

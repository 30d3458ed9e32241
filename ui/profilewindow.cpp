#include "ui/profilewindow.h"

#include <QGuiApplication>
#include <QScreen>

#include <filesystem>
#include <system_error>

#include "dict/listorder.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/sjis.h"
#include "settings/settings.h"

namespace kovant::ui {

void CentreOnScreen(QWidget* w) {
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect r = s->geometry();
    w->move(r.x() + (r.width() - w->width()) / 2, r.y() + (r.height() - w->height()) / 2);
  }
}

Kovant3::Kovant3(AppState& app, QWidget* parent) : QDialog(parent), app_(app) {
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
  connect(List1, &ListBox::itemSelectionChanged, this, [this] { List1_Click(); });
  connect(List1, &ListBox::DblClick, this, &Kovant3::List1_DblClick);
  connect(Command1[0], &QPushButton::clicked, this, [this] { Command1_Click(0); });
  connect(Command1[1], &QPushButton::clicked, this, [this] { Command1_Click(1); });
  connect(Command2, &QPushButton::clicked, this, &Kovant3::Command2_Click);
  Form_Load();
}

void Kovant3::Form_Load() {
  CentreOnScreen(this);
  app_.SettingsCancelled = false;
  List1->clear();
  auto names = settings::ListProfiles(app_.SettingsFolder);
  dict::SortTexts(names);
  for (const auto& n : names) List1->AddItem(QString::fromStdString(n), 0);
  if (SaveMode()) {
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
    Command2->setEnabled(false);
    Text1->hide();
    Label1->hide();
    PlaceTwips(List1, 60, 60, 4095, 2205);
  }
  Text1->setText(QString::fromStdString(settings::ActiveProfileName(app_.Settings.Profile)));
}

void Kovant3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (SaveMode()) Text1->setFocus();
}

void Kovant3::Warn(const QString& text) { ui::Warn(app_, this, text); }

void Kovant3::List1_Click() {
  if (SaveMode()) {
    if (List1->ListIndex() >= 0) Text1->setText(List1->ItemText(List1->ListIndex()));
  } else {
    Command2->setEnabled(List1->ListIndex() >= 0);
  }
}

void Kovant3::List1_DblClick() {
  List1_Click();
  if (SaveMode()) Command1_Click(0);
}

void Kovant3::Command1_Click(int index) {
  if (index == 0 && SaveMode()) {
    const std::string typed = Text1->text().toStdString();
    if (const std::string problem = settings::SaveNameProblem(typed); !problem.empty()) {
      Warn(QString::fromStdString(problem));
      return;
    }
    app_.Settings.Profile = settings::ProfileFileName(settings::TrimBlanks(typed));
    done(QDialog::Accepted);
    return;
  }
  app_.SettingsCancelled = true;
  done(QDialog::Rejected);
}

void Kovant3::reject() { Command1_Click(1); }

void Kovant3::Command2_Click() {
  const int row = List1->ListIndex();
  if (row < 0) return;
  settings::DeleteProfile(app_.SettingsFolder, List1->ItemText(row).trimmed().toStdString());
  List1->RemoveItem(row);
  List1->SetListIndex(-1);
  Command2->setEnabled(false);
}

}  // namespace kovant::ui

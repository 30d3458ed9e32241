#include "ui/settingswindow.h"

#include <QKeyEvent>

#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/profilewindow.h"
#include "ui/updatewindow.h"

namespace kovant::ui {

namespace {

const QColor kBlue(0, 0, 255), kRed(255, 0, 0);

// The option of a value; a value no option stands for (a hand-edited
// file) shows the first one.
void SelectOption(const std::vector<QRadioButton*>& options, int value) {
  options[value >= 0 && static_cast<size_t>(value) < options.size() ? static_cast<size_t>(value) : 0]->setChecked(true);
}

int16_t SelectedOption(const std::vector<QRadioButton*>& options) {
  for (size_t i = 0; i < options.size(); ++i) {
    if (options[i]->isChecked()) return static_cast<int16_t>(i);
  }
  return 0;
}

int16_t SwitchShown(const QCheckBox& box) { return box.isChecked() ? settings::kSwitchOn : settings::kSwitchOff; }

// Where a control stands, in twips as the window's layout is given.
struct Twips {
  int left, top, width, height;
};

QLabel* MakeLabel(QWidget* parent, const char* text, Twips at, const QColor& bg, const QColor& fg,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
  auto* lb = new QLabel(QString::fromUtf8(text), parent);
  lb->setAlignment(align);
  lb->setWordWrap(true);
  SetColours(lb, bg, fg);
  PlaceTwips(lb, at.left, at.top, at.width, at.height);
  return lb;
}

}  // namespace

Kovant2::Kovant2(AppState& app, QWidget* parent) : QDialog(parent), app_(app), model_(app, *this) {
  setObjectName("KOVANT2");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setModal(true);
  setWindowTitle(QStringLiteral("ぴこらん環境設定"));
  const QFont font = JapaneseFont(false, 9.75);
  setFont(font);
  setFixedSize(Px(9120), Px(6000));  // a row below the settings for the dictionary

  BuildSeparatorFrames();
  BuildOptionFrames();
  BuildPasteControls();
  BuildCopyOrder();
  BuildCommands();
  SetTabOrder();
  BindControlsToKeys();

  for (int i = 0; i < 3; ++i)
    connect(Command1[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
  connect(Command2, &QPushButton::clicked, this, [this] { model_.Command2_Click(); });
  connect(Check1, &QCheckBox::clicked, this, [this] { model_.Check1_Click(); });
  CentreOnScreen(this);
  model_.Form_Load();
}

// The six separator frames, each with its five options and its text box.
void Kovant2::BuildSeparatorFrames() {
  Label1 = MakeLabel(this, "コピー時の区切り文字の設定", {60, 60, 5415, 4395}, QColor(), kBlue);

  static const char* kFrameCaptions[6] = {"郵便番号前項の後", "住所１の後",       "住所２の後",
                                          "住所３の後",       "郵便番号後項の後", "補足住所の後"};
  static const int kFrameTops[6] = {420, 1740, 2400, 3060, 1080, 3720};
  // One option per separator kind, kSepNone..kSepOwnText.
  static const char* kSepCaptions[5] = {"なし", "Enter", "Tab", "ブランク", "文字"};
  static const int kSepLefts[5] = {120, 900, 1740, 2460, 3540};
  static const int kSepWidths[5] = {780, 840, 720, 1080, 780};
  for (size_t f = 0; f < 6; ++f) {
    Frame1[f] = new QGroupBox(QString::fromUtf8(kFrameCaptions[f]), this);
    Frame1[f]->setStyleSheet("QGroupBox { color: rgb(0,128,0); }");
    PlaceTwips(Frame1[f], 180, kFrameTops[f], 5115, 615);
  }
  // Frame1(0), (4), (1), (2), (3), (5) hold Sep1..Sep6, top to bottom.
  static const size_t kFrameOfSep[6] = {0, 4, 1, 2, 3, 5};
  for (size_t s = 0; s < 6; ++s) {
    QGroupBox* frame = Frame1[kFrameOfSep[s]];
    for (size_t o = 0; o < 5; ++o) {
      Sep[s][o] = new QRadioButton(QString::fromUtf8(kSepCaptions[o]), frame);
      PlaceTwips(Sep[s][o], kSepLefts[o], 240, kSepWidths[o], 285);
    }
    Text1[s] = new QLineEdit(frame);
    Text1[s]->setAccessibleName(QString::fromUtf8(kFrameCaptions[kFrameOfSep[s]]) + QStringLiteral("の文字"));
    PlaceTwips(Text1[s], 4320, 240, 675, 285);
    TabToCheckedOption({Sep[s].begin(), Sep[s].end()});
  }
}

// The four pairs of options, the first of each for code 0, the second for 1.
void Kovant2::BuildOptionFrames() {
  Opt1 = BuildPairFrame(1, "初期画面", 5580, 60, "住所→", "郵便番号→");
  Opt2 = BuildPairFrame(0, "初期コピー〒", 7320, 60, "旧〒", "新〒");
  Opt3 = BuildPairFrame(2, "〒マーク", 5580, 960, "あり", "なし");
  Opt4 = BuildPairFrame(3, "〒文字種", 7320, 960, "半角", "全角");
}

Kovant2::Pair Kovant2::BuildPairFrame(size_t index, const char* caption, int left, int top, const char* first,
                                      const char* second) {
  Frame2[index] = new QGroupBox(QString::fromUtf8(caption), this);
  Frame2[index]->setStyleSheet("QGroupBox { color: rgb(128,0,128); }");
  PlaceTwips(Frame2[index], left, top, 1695, 795);
  Pair p{new QRadioButton(QString::fromUtf8(first), Frame2[index]),
         new QRadioButton(QString::fromUtf8(second), Frame2[index])};
  PlaceTwips(p[0], 120, 240, 1500, 255);
  PlaceTwips(p[1], 120, 510, 1500, 255);
  TabToCheckedOption({p[0], p[1]});
  return p;
}

// The three check boxes and the caption of the window to paste into.
void Kovant2::BuildPasteControls() {
  Check3 = BuildCheck("補足入力を毎回クリアしない", 1800);
  Check2 = BuildCheck("コピーボタンを押した後、ぴこらんを最小化する", 2340);
  Check1 = BuildCheck("コピー時に、指定アプリケーションへの貼り付けを行う", 2880);
  Label5 =
      MakeLabel(this, "キャプション", {5640, 3360, 1215, 285}, QColor(255, 255, 192), QColor(0, 0, 0), Qt::AlignCenter);
  Label5->setFont(JapaneseFont(false, 9));
  Label5->setWordWrap(false);
  Label5->setMargin(0);
  Text3 = new QLineEdit(this);
  Text3->setAccessibleName(QStringLiteral("キャプション"));
  Text3->setAccessibleDescription(QStringLiteral("貼り付け先のウィンドウのタイトルの一部"));
  PlaceTwips(Text3, 6780, 3360, 2235, 285);
  Text3->setEnabled(false);
  Label6 = MakeLabel(
      this, "アプリケーションを識別できるキャプション（タイトルバーの文字）の一部、または全部を指定してください。",
      {5640, 3720, 3375, 675}, QColor(), kRed);
}

// A check box whose caption wraps within its two-line box; a click on the
// caption toggles the box as the box's own caption would.
QCheckBox* Kovant2::BuildCheck(const char* caption, int top) {
  auto* c = new QCheckBox(this);
  c->setAccessibleName(QString::fromUtf8(caption));  // its caption is a label of its own
  PlaceTwips(c, 5640, top, 300, 495);
  auto* label = new QLabel(QString::fromUtf8(caption), this);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SetColours(label, QColor(), kBlue);
  PlaceTwips(label, 5940, top, 3075, 495);
  label->setBuddy(c);
  label->installEventFilter(this);
  captionOf_[label] = c;
  return c;
}

// The five copy-order boxes under their captions.
void Kovant2::BuildCopyOrder() {
  Label2 =
      MakeLabel(this, "コピー順の設定（順番を１～４の数字で指定して下さい。）", {60, 4560, 7035, 915}, QColor(), kBlue);
  static const char* kOrderCaptions[5] = {"郵便番号", "住所１", "住所２", "住所３", "補足住所"};
  static const int kLabelLefts[5] = {180, 1560, 2880, 4200, 5520};
  static const int kBoxLefts[5] = {1080, 2400, 3720, 5040, 6480};
  for (size_t i = 0; i < 5; ++i) {
    Label3[i] = MakeLabel(this, kOrderCaptions[i], {kLabelLefts[i], 4860, kBoxLefts[i] - kLabelLefts[i] - 30, 285},
                          QColor(), QColor(0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft);
    Label3[i]->setWordWrap(false);
    Text2[i] = new QLineEdit(this);
    Text2[i]->setAccessibleName(QStringLiteral("コピー順 ") + QString::fromUtf8(kOrderCaptions[i]));
    Text2[i]->setMaxLength(1);  // one digit 0..kLastCopyPosition
    Text2[i]->setAlignment(Qt::AlignCenter);
    Text2[i]->setAttribute(Qt::WA_InputMethodEnabled, false);
    PlaceTwips(Text2[i], kBoxLefts[i], 4860, 315, 285);
    SelectAllOnFocus(Text2[i]);
    Text2[i]->installEventFilter(this);
  }
  Label4 =
      MakeLabel(this, "コピーしたくない項目は０（ゼロ）を指定してください。", {300, 5220, 5175, 195}, QColor(), kRed);
  Label4->setFont(JapaneseFont(false, 9));
  Label4->setWordWrap(false);
  Label2->lower();
  Label1->lower();
}

void Kovant2::BuildCommands() {
  Command1[2] = new QPushButton(QStringLiteral("設定削除"), this);
  PlaceTwips(Command1[2], 7260, 4440, 1755, 315);
  Command1[1] = new QPushButton(QStringLiteral("取り消し"), this);
  PlaceTwips(Command1[1], 7260, 4800, 1755, 315);
  Command1[0] = new QPushButton(QStringLiteral("設定保存"), this);
  PlaceTwips(Command1[0], 7260, 5160, 1755, 315);
  // A focused button takes Enter itself; the default only when none has the focus.
  for (QPushButton* b : Command1) b->setAutoDefault(true);
  Command1[0]->setDefault(true);

  // The dictionary's own row: its data date and the update.
  Label7 = MakeLabel(this, "", {180, 5610, 6900, 285}, QColor(), kBlue, Qt::AlignVCenter | Qt::AlignLeft);
  Label7->setWordWrap(false);
  Command2 = new QPushButton(QStringLiteral("辞書を更新"), this);
  Command2->setAutoDefault(true);
  Command2->setAccessibleDescription(QStringLiteral("日本郵便の最新のデータをダウンロードして辞書を作り直します"));
  PlaceTwips(Command2, 7260, 5580, 1755, 315);
}

void Kovant2::OpenUpdateWindow() {
  KovantUpdate updateWindow(app_, this);
  updateWindow.Start();
  updateWindow.exec();
}

void Kovant2::OpenProfileWindow() {
  Kovant3 profileWindow(app_, this);
  profileWindow.exec();
}

void Kovant2::SetTabOrder() {
  std::vector<QWidget*> order;
  for (const Pair* p : {&Opt1, &Opt2, &Opt3, &Opt4}) order.insert(order.end(), p->begin(), p->end());
  order.insert(order.end(), Text2.begin(), Text2.end());
  for (size_t s = 0; s < 6; ++s) {
    order.insert(order.end(), Sep[s].begin(), Sep[s].end());
    order.push_back(Text1[s]);
  }
  for (QWidget* w :
       {static_cast<QWidget*>(Command1[1]), static_cast<QWidget*>(Command1[0]), static_cast<QWidget*>(Check1),
        static_cast<QWidget*>(Check2), static_cast<QWidget*>(Text3), static_cast<QWidget*>(Command1[2]),
        static_cast<QWidget*>(Check3), static_cast<QWidget*>(Command2)}) {
    order.push_back(w);
  }
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Kovant2::Bind(std::string_view keyName, KeyControls controls) {
  controls.key = settings::FindSettingKey(keyName);
  Q_ASSERT(controls.key);  // a name the table lacks is a slip in the list below
  if (controls.key) keyControls_.push_back(std::move(controls));
}

// Which control shows which key; the table knows how each is stored.
void Kovant2::BindControlsToKeys() {
  Bind("StartMode", {.options = {Opt1.begin(), Opt1.end()}});
  Bind("CopyMode", {.options = {Opt2.begin(), Opt2.end()}});
  Bind("MarkSet", {.options = {Opt3.begin(), Opt3.end()}});
  Bind("NumType", {.options = {Opt4.begin(), Opt4.end()}});
  for (size_t i = 0; i < 6; ++i) {
    const std::string sep = "Sep" + std::to_string(i + 1);
    Bind(sep, {.options = {Sep[i].begin(), Sep[i].end()}});
    Bind(sep + "Text", {.text = Text1[i]});
  }
  for (size_t i = 0; i < 5; ++i) Bind("Seq" + std::to_string(i + 1), {.text = Text2[i]});
  Bind("CopyAppl", {.check = Check1});
  Bind("AfterCopy", {.check = Check2});
  Bind("InputClear", {.check = Check3});
  Bind("FindCaption", {.text = Text3});
}

const Kovant2::KeyControls* Kovant2::ControlsOf(const settings::SettingKey& key) const {
  for (const KeyControls& c : keyControls_) {
    if (c.key == &key) return &c;
  }
  return nullptr;
}

void Kovant2::ShowNumber(const settings::SettingKey& key, int16_t value) {
  const KeyControls* c = ControlsOf(key);
  if (!c) return;
  if (c->check) {
    c->check->setChecked(value == settings::kSwitchOn);
  } else {
    SelectOption(c->options, value);
  }
}

int16_t Kovant2::NumberShown(const settings::SettingKey& key) const {
  const KeyControls* c = ControlsOf(key);
  if (!c) return 0;
  return c->check ? SwitchShown(*c->check) : SelectedOption(c->options);
}

void Kovant2::ShowText(const settings::SettingKey& key, const std::string& text) {
  if (const KeyControls* c = ControlsOf(key); c && c->text) c->text->setText(QString::fromStdString(text));
}

std::string Kovant2::TextShown(const settings::SettingKey& key) const {
  const KeyControls* c = ControlsOf(key);
  return c && c->text ? c->text->text().toStdString() : std::string();
}

void Kovant2::Warn(const std::string& text) { ui::Warn(app_, this, QString::fromStdString(text)); }

bool Kovant2::eventFilter(QObject* obj, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (auto it = captionOf_.find(obj); it != captionOf_.end()) {
      it->second->click();
      return true;
    }
  }
  if (event->type() == QEvent::KeyPress) {
    // Copy-order boxes: the digits 0 to 5 and Backspace only.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Backspace && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      return window::SettingsModel::Text2_KeyPress(key->text().toStdString()) == window::Handled::Consumed;
    }
  }
  return QDialog::eventFilter(obj, event);
}

}  // namespace kovant::ui

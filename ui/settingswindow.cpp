#include "ui/settingswindow.h"

#include <QKeyEvent>
#include <QStyle>

#include "settings/settings.h"
#include "ui/controls.h"
#include "ui/profilewindow.h"
#include "ui/updatewindow.h"

namespace kovant::ui {

namespace {

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

}  // namespace

Kovant2::Kovant2(AppState& app, QWidget* parent) : QDialog(parent), app_(app), model_(app, *this) {
  setObjectName("KOVANT2");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setModal(true);
  const window::layout::Window& table = window::layout::Settings();
  setWindowTitle(Utf8(table.title));
  setFont(FontOf(table.font));
  setFixedSize(Px(table.width), Px(table.height));

  LayoutBuilder make(this, table);
  BuildSeparatorFrames(make);
  BuildOptionFrames(make);
  BuildPasteControls(make);
  BuildCopyOrder(make);
  BuildCommands(make);
  make.Finish();
  BindControlsToKeys();

  for (int i = 0; i < 3; ++i)
    connect(Command1[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
  connect(Command2, &QPushButton::clicked, this, [this] { model_.Command2_Click(); });
  connect(Check1, &QCheckBox::clicked, this, [this] { model_.Check1_Click(); });
  CentreOnScreen(this);
  model_.Form_Load();
}

// The six separator frames, each with its five options and its text box.
void Kovant2::BuildSeparatorFrames(LayoutBuilder& make) {
  Label1 = make.Make<QLabel>("Label1");
  for (size_t f = 0; f < 6; ++f) Frame1[f] = make.Make<QGroupBox>("Frame1", static_cast<int>(f));
  for (size_t s = 0; s < 6; ++s) {
    const std::string sep = "Sep" + std::to_string(s + 1);
    for (size_t o = 0; o < 5; ++o) Sep[s][o] = make.Make<QRadioButton>(sep, static_cast<int>(o));
    Text1[s] = make.Make<QLineEdit>("Text1", static_cast<int>(s));
    TabToCheckedOption({Sep[s].begin(), Sep[s].end()});
  }
}

// The four pairs of options, the first of each for code 0, the second for 1.
void Kovant2::BuildOptionFrames(LayoutBuilder& make) {
  for (size_t f = 0; f < 4; ++f) Frame2[f] = make.Make<QGroupBox>("Frame2", static_cast<int>(f));
  Pair* pairs[] = {&Opt1, &Opt2, &Opt3, &Opt4};
  for (size_t p = 0; p < 4; ++p) {
    const std::string name = "Opt" + std::to_string(p + 1);
    Pair& pair = *pairs[p];
    pair = {make.Make<QRadioButton>(name, 0), make.Make<QRadioButton>(name, 1)};
    TabToCheckedOption({pair[0], pair[1]});
  }
}

// The three check boxes and the caption of the window to paste into.
void Kovant2::BuildPasteControls(LayoutBuilder& make) {
  Check3 = BuildCheck(make, "Check3");
  Check2 = BuildCheck(make, "Check2");
  Check1 = BuildCheck(make, "Check1");
  Label5 = make.Make<QLabel>("Label5");
  Label5->setMargin(0);
  Text3 = make.Make<QLineEdit>("Text3");
  Text3->setEnabled(false);
  Label6 = make.Make<QLabel>("Label6");
}

// A check box whose caption wraps within its two-line box: the caption is
// a label over the box beside its mark, and a click on it toggles the box
// as the box's own caption would.
QCheckBox* Kovant2::BuildCheck(LayoutBuilder& make, const char* name) {
  auto* c = make.Make<QCheckBox>(name);
  const QString caption = c->text();
  c->setText(QString());
  c->setAccessibleName(caption);
  auto* label = new QLabel(caption, this);
  label->setFont(c->font());
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SetColours(label, QColor(), c->palette().color(QPalette::WindowText));
  const int mark = c->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, c) +
                   c->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, c);
  label->setGeometry(c->geometry().adjusted(mark, 0, 0, 0));
  label->setBuddy(c);
  label->installEventFilter(this);
  captionOf_[label] = c;
  return c;
}

// The five copy-order boxes under their captions.
void Kovant2::BuildCopyOrder(LayoutBuilder& make) {
  Label2 = make.Make<QLabel>("Label2");
  for (size_t i = 0; i < 5; ++i) {
    Label3[i] = make.Make<QLabel>("Label3", static_cast<int>(i));
    Text2[i] = make.Make<QLineEdit>("Text2", static_cast<int>(i));
    Text2[i]->setMaxLength(1);  // one digit 0..kLastCopyPosition
    Text2[i]->setAttribute(Qt::WA_InputMethodEnabled, false);
    SelectAllOnFocus(Text2[i]);
    Text2[i]->installEventFilter(this);
  }
  Label4 = make.Make<QLabel>("Label4");
}

void Kovant2::BuildCommands(LayoutBuilder& make) {
  for (int i : {2, 1, 0}) Command1[static_cast<size_t>(i)] = make.Make<QPushButton>("Command1", i);
  // A focused button takes Enter itself; the default only when none has the focus.
  for (QPushButton* b : Command1) b->setAutoDefault(true);
  Command1[0]->setDefault(true);

  // The dictionary's own row: its data date and the update.
  Label7 = make.Make<QLabel>("Label7");
  Command2 = make.Make<QPushButton>("Command2");
  Command2->setAutoDefault(true);
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

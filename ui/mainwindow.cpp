#include "ui/mainwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>

#include <chrono>
#include <cmath>

#include "platform/desktop.h"
#include "ui/settingswindow.h"

namespace kovant::ui {
namespace {

const QColor kRed(255, 0, 0), kDarkBlue(0, 0, 192), kGreen(0, 128, 0), kWhite(255, 255, 255);
const QColor kCaptionYellow(255, 255, 192), kHeadingGreen(192, 255, 192), kMessageGrey(224, 224, 224);
const QColor kSearchCyan(192, 255, 255), kNavy(0, 0, 128), kBlue(0, 0, 255), kNone;

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QLabel* MakeLabel(QWidget* parent, const char* caption, const QFont& font, const QColor& bg, const QColor& fg,
                  Qt::Alignment align = Qt::AlignVCenter | Qt::AlignHCenter) {
  auto* l = new QLabel(QString::fromUtf8(caption), parent);
  l->setFont(font);
  l->setAlignment(align);
  SetColours(l, bg, fg);
  return l;
}

}  // namespace

Kovant1::Kovant1(AppState& app, QWidget* parent) : QWidget(parent), app_(app), model_(app, *this) {
  setWindowTitle(QStringLiteral("ぴこらん Ver. 1.31"));
  setWindowIcon(ApplicationIcon());
  setObjectName("KOVANT1");
  setFont(JapaneseFont(true, 9.75));
  setFixedSize(Px(7725), Px(3975));
  BuildControls();
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  installEventFilter(this);
}

void Kovant1::BuildControls() {
  BuildResultRows();
  BuildLists();
  BuildCommandRows();
  NameForScreenReaders();
  // Exchange fields for the link.
  Cmd = new LinkBox(this);
  DistName = new LinkBox(this);
  for (LinkBox*& box : Addr) box = new LinkBox(this);

  for (QPushButton* b : {Command1, Command2, Command3, Command4, Command5}) b->setAutoDefault(false);
  QWidget* order[] = {Option1[0], Option1[1], Command4, Text3,    Text2,    List2,    List3,  List4,
                      List1,      Command2,   Text1,    Command1, Command5, Command3, Combo1, Text4};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  ConnectControls();
}

// The codes, the code kind, "コピー" and the address with its supplement.
void Kovant1::BuildResultRows() {
  const QFont gothic = JapaneseFont(false, 9.75);
  const QFont boldGothic = JapaneseFont(false, 9.75, true);

  Label4[1] = MakeLabel(this, "旧〒", gothic, kCaptionYellow, kRed);
  PlaceTwips(Label4[1], 60, 60, 975, 300);
  Label3[0] = MakeLabel(this, "", JapaneseFont(false, 11.25, true), kWhite, kGreen);
  PlaceTwips(Label3[0], 1080, 60, 1275, 300);
  Label4[2] = MakeLabel(this, "新〒", gothic, kCaptionYellow, kRed);
  PlaceTwips(Label4[2], 2460, 60, 975, 300);
  Label3[1] = MakeLabel(this, "", JapaneseFont(false, 11.25, true), kWhite, kGreen);
  PlaceTwips(Label3[1], 3480, 60, 1275, 300);
  Option1[0] = new QRadioButton(QStringLiteral("旧〒"), this);
  Option1[0]->setFont(gothic);
  PlaceTwips(Option1[0], 4860, 60, 795, 255);
  Option1[1] = new QRadioButton(QStringLiteral("新〒"), this);
  Option1[1]->setFont(gothic);
  PlaceTwips(Option1[1], 5700, 60, 795, 255);
  TabToCheckedOption({Option1[0], Option1[1]});
  Command4 = new QPushButton(QStringLiteral("コピー"), this);
  Command4->setFont(gothic);
  PlaceTwips(Command4, 6660, 60, 975, 615);

  Label4[0] = MakeLabel(this, "住所", gothic, kCaptionYellow, kRed);
  PlaceTwips(Label4[0], 60, 360, 975, 300);
  Text3 = new QLineEdit(this);
  Text3->setFont(boldGothic);
  Text3->setReadOnly(true);
  SetColours(Text3, kNone, kGreen);
  PlaceTwips(Text3, 1080, 360, 3675, 300);
  Text2 = new QLineEdit(this);
  Text2->setFont(boldGothic);
  SetColours(Text2, kNone, kGreen);
  PlaceTwips(Text2, 4740, 360, 1815, 300);
  SelectAllOnFocus(Text2);
}

// The three walk lists under their headings, and the search result list
// that takes their place in the code mode.
void Kovant1::BuildLists() {
  const QFont gothic = JapaneseFont(false, 9.75);
  const QFont pgothic = JapaneseFont(true, 9.75);

  Label2[0] = MakeLabel(this, "住所１", gothic, kHeadingGreen, kDarkBlue, Qt::AlignVCenter | Qt::AlignLeft);
  PlaceTwips(Label2[0], 60, 720, 1335, 255);
  Label2[1] = MakeLabel(this, "住所２", gothic, kHeadingGreen, kDarkBlue, Qt::AlignVCenter | Qt::AlignLeft);
  PlaceTwips(Label2[1], 1440, 720, 2175, 255);
  Label2[2] = MakeLabel(this, "住所３", gothic, kHeadingGreen, kDarkBlue, Qt::AlignVCenter | Qt::AlignLeft);
  PlaceTwips(Label2[2], 3660, 720, 3975, 255);

  List2 = new ListBox(this);
  PlaceTwips(List2, 60, 960, 1335, 2205);
  List3 = new ListBox(this);
  PlaceTwips(List3, 1440, 960, 2175, 2205);
  List4 = new ListBox(this);
  PlaceTwips(List4, 3660, 960, 3975, 2205);
  List1 = new ListBox(this);
  PlaceTwips(List1, 60, 960, 7575, 2205);
  for (ListBox* l : {List1, List2, List3, List4}) l->setFont(pgothic);
}

// The message line, the profile switch and the row of commands and input
// boxes at the bottom.
void Kovant1::BuildCommandRows() {
  const QFont gothic = JapaneseFont(false, 9.75);
  const QFont pgothic = JapaneseFont(true, 9.75);
  const QFont boldGothic = JapaneseFont(false, 9.75, true);

  // Its notices run longer than its width: the text is drawn smaller
  // rather than cut.
  Label1[0] = new FittedLabel(this);
  Label1[0]->setFont(pgothic);
  Label1[0]->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  SetColours(Label1[0], kMessageGrey, kRed);
  PlaceTwips(Label1[0], 60, 3240, 3555, 300);
  Label1[1] = MakeLabel(this, "設定切替", boldGothic, kCaptionYellow, kBlue);
  PlaceTwips(Label1[1], 3660, 3240, 1155, 300);
  Combo1 = new QComboBox(this);
  Combo1->setFont(JapaneseFont(false, 9));
  PlaceTwips(Combo1, 4800, 3240, 2835, 300);

  Label4[3] = MakeLabel(this, "モード切替", JapaneseFont(false, 9, true), QColor(0, 128, 0), kWhite);
  PlaceTwips(Label4[3], 60, 3600, 1095, 315);
  Command2 = new QPushButton(this);
  Command2->setFont(JapaneseFont(true, 9));
  PlaceTwips(Command2, 1200, 3600, 1455, 315);
  Label4[4] = MakeLabel(this, "検索〒", boldGothic, kSearchCyan, kDarkBlue);
  PlaceTwips(Label4[4], 2820, 3600, 975, 315);
  Text1 = new QLineEdit(this);
  Text1->setFont(gothic);
  Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
  PlaceTwips(Text1, 3840, 3600, 1095, 315);
  SelectAllOnFocus(Text1);
  Command1 = new QPushButton(QStringLiteral("検索"), this);
  Command1->setFont(gothic);
  PlaceTwips(Command1, 4980, 3600, 855, 315);
  Label4[5] = MakeLabel(this, "住所頭出し", boldGothic, kSearchCyan, kDarkBlue);
  PlaceTwips(Label4[5], 2820, 3600, 1215, 315);
  Text4 = new QLineEdit(this);
  Text4->setFont(gothic);
  SetColours(Text4, kNone, kNavy);
  PlaceTwips(Text4, 4080, 3600, 1575, 315);
  Command5 = new QPushButton(QStringLiteral("設定"), this);
  Command5->setFont(gothic);
  PlaceTwips(Command5, 6000, 3600, 735, 315);
  Command3 = new QPushButton(QStringLiteral("終了"), this);
  Command3->setFont(gothic);
  PlaceTwips(Command3, 6900, 3600, 735, 315);
}

// What a screen reader says of the controls whose caption stands beside
// them (buttons and option buttons say their own).
void Kovant1::NameForScreenReaders() {
  const std::pair<QWidget*, std::array<const char*, 2>> spoken[] = {
      {Label3[0], {"旧〒", "選んだ住所の旧郵便番号"}},
      {Label3[1], {"新〒", "選んだ住所の郵便番号"}},
      {Text3, {"住所", "選んだ住所"}},
      {Text2, {"補足", "住所のあとに付けてコピーする補足"}},
      {List2, {"都道府県", "都道府県を選ぶと市区町村が並びます"}},
      {List3, {"市区町村", "市区町村を選ぶと町域が並びます"}},
      {List4, {"町域", "町域を選ぶと郵便番号が出ます"}},
      {List1, {"該当住所", "検索した郵便番号の住所"}},
      {Combo1, {"設定切替", "保存した設定を切り替えます"}},
      {Text1, {"検索〒", "郵便番号を入力して Enter で検索します"}},
      {Text4, {"住所頭出し", "入力した文字で始まる項目を選びます"}},
  };
  for (const auto& [widget, text] : spoken) {
    widget->setAccessibleName(QString::fromUtf8(text[0]));
    widget->setAccessibleDescription(QString::fromUtf8(text[1]));
  }
  Label1[0]->setAccessibleDescription(QStringLiteral("メッセージ"));  // named by what it says
}

void Kovant1::ConnectControls() {
  connect(Command1, &QPushButton::clicked, this, [this] { model_.Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { model_.Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { model_.Command3_Click(); });
  connect(Command4, &QPushButton::clicked, this, [this] { model_.Command4_Click(); });
  connect(Command5, &QPushButton::clicked, this, [this] { model_.Command5_Click(); });
  connect(Text1, &QLineEdit::textChanged, this, [this] { model_.Text1_Change(); });
  connect(Text3, &QLineEdit::textChanged, this, [this] {
    // A long address shows its start, the prefecture, not its end.
    Text3->setCursorPosition(0);
    model_.Text3_Change();
  });
  connect(Text4, &QLineEdit::textChanged, this, [this] { model_.Text4_Change(); });
  connect(Cmd, &LinkBox::textChanged, this, [this] { model_.Cmd_Change(); });
  connect(List1, &ListBox::itemSelectionChanged, this, [this] {
    if (List1->ListIndex() >= 0) model_.List1_Click();
  });
  connect(List2, &ListBox::MouseDown, this, [this] { model_.List2_MouseDown(); });
  connect(List3, &ListBox::MouseDown, this, [this] { model_.List3_MouseDown(); });
  connect(List4, &ListBox::MouseDown, this, [this] { model_.List4_MouseDown(); });
  connect(List4, &ListBox::DblClick, this, [this] { model_.List4_DblClick(); });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { model_.Combo1_Click(); });
}

ListBox* Kovant1::ListOf(window::List list) const {
  switch (list) {
    case window::List::List1: return List1;
    case window::List::List3: return List3;
    case window::List::List4: return List4;
    default: return List2;
  }
}

QLineEdit* Kovant1::BoxOf(window::Field field) const {
  switch (field) {
    case window::Field::Text1: return Text1;
    case window::Field::Text2: return Text2;
    case window::Field::Text3: return Text3;
    case window::Field::Text4: return Text4;
    default: return nullptr;
  }
}

namespace {

LinkBox* LinkOf(const Kovant1& w, window::Field field) {
  using window::Field;
  if (field == Field::Cmd) return w.Cmd;
  if (field == Field::DistName) return w.DistName;
  const int addr = static_cast<int>(field) - static_cast<int>(Field::Addr0);
  return addr >= 0 && addr < 6 ? w.Addr[static_cast<size_t>(addr)] : nullptr;
}

QLabel* LabelOf(const Kovant1& w, window::Field field) {
  using window::Field;
  switch (field) {
    case Field::Label1_0: return w.Label1[0];
    case Field::Label2_0: return w.Label2[0];
    case Field::Label2_1: return w.Label2[1];
    case Field::Label2_2: return w.Label2[2];
    default: return nullptr;
  }
}

window::Key KeyOf(int key) {
  using window::Key;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Enter;
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Right: return Key::Right;
    case Qt::Key_Up: return Key::Up;
    case Qt::Key_Down: return Key::Down;
    case Qt::Key_PageUp: return Key::PageUp;
    case Qt::Key_PageDown: return Key::PageDown;
    case Qt::Key_F1: return Key::F1;
    case Qt::Key_Backspace: return Key::Backspace;
    default: return Key::Other;
  }
}

window::Modifiers ModifiersOf(Qt::KeyboardModifiers m) {
  return {(m & Qt::ControlModifier) != 0, (m & Qt::ShiftModifier) != 0, (m & Qt::AltModifier) != 0};
}

}  // namespace

std::string Kovant1::Text(window::Field field) const {
  if (QLineEdit* box = BoxOf(field)) return S(box->text());
  if (QLabel* label = LabelOf(*this, field)) return S(label->text());
  if (LinkBox* link = LinkOf(*this, field)) return S(link->text());
  return field == window::Field::Command2 ? S(Command2->text()) : std::string();
}

void Kovant1::SetText(window::Field field, const std::string& text) {
  if (QLineEdit* box = BoxOf(field)) {
    box->setText(Q(text));
  } else if (QLabel* label = LabelOf(*this, field)) {
    label->setText(Q(text));
    if (field == window::Field::Label1_0) FitMessageLine();
  } else if (LinkBox* link = LinkOf(*this, field)) {
    link->setText(Q(text));
  } else if (field == window::Field::Command2) {
    Command2->setText(Q(text));
  }
}

void Kovant1::FitMessageLine() {
  auto* line = static_cast<FittedLabel*>(Label1[0]);
  const int base = Px(300);
  const int extra = line->Wraps() ? std::max(0, line->WholeHeight() - base) : 0;
  if (extra == messageExtra_) return;
  const int below = line->geometry().bottom();
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (w->y() > below) w->move(w->x(), w->y() + extra - messageExtra_);
  }
  line->resize(line->width(), base + extra);
  messageExtra_ = extra;
  setFixedSize(Px(7725), Px(3975) + extra);
}

// An alert of the message line, which a screen reader reads out; the
// line's name is its text, so the text itself is not needed here.
void Kovant1::Announce(const std::string& /*text*/) {
  QAccessibleEvent event(Label1[0], QAccessible::Alert);
  QAccessible::updateAccessibility(&event);
}

void Kovant1::InsertText(window::Field field, const std::string& text) {
  if (QLineEdit* box = BoxOf(field)) box->insert(Q(text));
}

void Kovant1::SetFocus(window::Field field) {
  if (QLineEdit* box = BoxOf(field)) box->setFocus();
}

void Kovant1::SelectAll(window::Field field) {
  if (QLineEdit* box = BoxOf(field)) SelectAllText(box);
}

void Kovant1::ShowCode(int index, const std::string& code, const std::string& spoken) {
  QLabel* label = Label3[static_cast<size_t>(index)];
  label->setText(Q(code));
  label->setAccessibleName(Q(spoken));
}

void Kovant1::ShowWalk(bool walk) {
  for (QWidget* w : std::initializer_list<QWidget*>{List2, List3, List4, Label2[1], Label2[2], Text4, Label4[5]}) {
    w->setVisible(walk);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{List1, Text1, Command1, Label4[4]}) w->setVisible(!walk);
  Label2[0]->resize((walk ? List2 : List1)->width(), Label2[0]->height());
}

void Kovant1::MarkHeading(int index) {
  for (QLabel* l : Label2) SetColours(l, kNone, kDarkBlue);
  SetColours(Label2[static_cast<size_t>(index)], kNone, kRed);
}

std::string Kovant1::ItemText(window::List list, int index) const { return S(ListOf(list)->ItemText(index)); }

void Kovant1::AddItem(window::List list, const std::string& text, int32_t itemData, const std::string& readingKey) {
  ListOf(list)->AddItem(Q(text), itemData, readingKey);
}

void Kovant1::AddEntries(window::List list, std::vector<dict::ListEntry> entries) {
  ListOf(list)->SetEntries(std::move(entries));
}

void Kovant1::AddRows(window::List list, dict::RowList rows) { ListOf(list)->SetEntries(std::move(rows)); }

void Kovant1::SetReadingKeys(window::List list, const std::vector<int>& rows, const std::vector<std::string>& keys) {
  ListOf(list)->SetReadingKeys(rows, keys);
}

void Kovant1::OfferCandidates(const std::vector<std::string>& texts) {
  auto* menu = new QMenu(this);
  menu->setObjectName("AddressCandidates");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setAccessibleName(QStringLiteral("住所の候補"));
  for (size_t i = 0; i < texts.size(); ++i) {
    QAction* action = menu->addAction(Q(texts[i]));
    connect(action, &QAction::triggered, this, [this, i] { model_.SelectCandidate(i); });
  }
  menu->popup(Text4->mapToGlobal(QPoint(0, 0)) - QPoint(0, menu->sizeHint().height()));
  if (!menu->actions().isEmpty()) menu->setActiveAction(menu->actions().front());
}

void Kovant1::Warn(const std::string& text) { ui::Warn(app_, this, Q(text)); }

void Kovant1::Beep() { QApplication::beep(); }

void Kovant1::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void Kovant1::SetRefusing(bool refusing) {
  if (refusing) {
    setCursor(Qt::ForbiddenCursor);
  } else {
    unsetCursor();
  }
}

int Kovant1::PageRows() const {
  const double rowHeight = QFontMetrics(font()).height();
  return std::max(1, static_cast<int>(std::nearbyint(List1->height() / rowHeight)));
}

void Kovant1::PlaceOnScreen() { move(Px(500), Px(500)); }

void Kovant1::Restore() {
  setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  showNormal();
  raise();
  activateWindow();
}

void Kovant1::OpenSettings() {
  Kovant2 settingsWindow(app_, this);
  settingsWindow.exec();
}

void Kovant1::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

bool Kovant1::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  return model_.Form_KeyDown(KeyOf(key), ModifiersOf(modifiers)) == window::Handled::Consumed;
}

bool Kovant1::eventFilter(QObject* obj, QEvent* event) {
  if (obj == Combo1 && event->type() == QEvent::FocusIn &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    model_.Combo1_GotFocus();
  }
  if (obj == Text1 && event->type() == QEvent::ContextMenu) {
    // The standard menu, with its paste going through the same normaliser.
    QMenu* menu = Text1->createStandardContextMenu();
    for (QAction* action : menu->actions()) {
      if (action->objectName() != QLatin1String("edit-paste")) continue;
      action->disconnect();
      connect(action, &QAction::triggered, this, &Kovant1::PasteIntoText1);
    }
    menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
    delete menu;
    return true;
  }
  if (obj == Text1 && event->type() == QEvent::InputMethod) {
    // Text an input method commits at once ("１００００１" in full-width
    // mode) is taken as typed keys are.
    const QString commit = static_cast<QInputMethodEvent*>(event)->commitString();
    if (!commit.isEmpty()) model_.TypeIntoText1(S(commit));
    return true;
  }
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(obj, event);
  return PreviewKey(obj, static_cast<QKeyEvent*>(event));
}

// The window sees every key before the focused control.
bool Kovant1::PreviewKey(QObject* obj, QKeyEvent* key) {
  // Before the check below: a paste key that arrives just as the window is
  // activated finds no focus widget yet, and would land unnormalised.
  if (obj == Text1 && key->matches(QKeySequence::Paste)) {
    PasteIntoText1();
    return true;
  }
  // The key reaches the focused control after us; seen again on its way up
  // the parents, it is not ours to handle twice.
  QWidget* focus = QApplication::focusWidget();
  if (obj != (focus && focus->window() == this ? focus : this)) return false;
  const int k = key->key();
  // On the option buttons the arrows choose between them, the only way
  // there from the keyboard (Tab enters the pair on its checked button).
  if ((obj == Option1[0] || obj == Option1[1]) &&
      (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down)) {
    return false;
  }
  // A focused button takes Enter; otherwise the model decides.
  if (auto* button = qobject_cast<QPushButton*>(focus);
      (k == Qt::Key_Return || k == Qt::Key_Enter) && button && focus->window() == this) {
    button->click();
    return true;
  }
  if (model_.KeyPreview(KeyOf(k), ModifiersOf(key->modifiers())) == window::Handled::Consumed) return true;
  if (obj == Text1 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && k != Qt::Key_Backspace) {
    return model_.TypeIntoText1(S(key->text())) == window::Handled::Consumed;
  }
  return false;
}

void Kovant1::PasteIntoText1() { model_.PasteIntoText1(S(QGuiApplication::clipboard()->text())); }

bool Kovant1::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) model_.Form_Activate();
  return QWidget::event(event);
}

// Minimised, as "AfterCopy" does, so that the desktop gives the focus back
// to the window used before ours; true once the compositor has told ours
// that it lost the focus. Qt's own minimised flag is set at the request and
// says nothing of when the compositor acts on it: a key sent before then
// lands in our own window.
bool Kovant1::StepAside() {
  using Clock = std::chrono::steady_clock;
  auto waitUntil = [](std::chrono::milliseconds bound, auto done) {
    for (const auto end = Clock::now() + bound; !done() && Clock::now() < end;) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
  };
  // Right after the consent dialog, the focus is on its way back to ours;
  // one not yet arrived would come after the minimising and stay.
  waitUntil(std::chrono::milliseconds(1000), [this] { return isActiveWindow(); });
  showMinimized();
  return waitUntil(std::chrono::milliseconds(3000), [this] { return !isActiveWindow(); });
}

void Kovant1::BringForward(const QString& activationToken) {
  // Qt hands this token to the compositor with the next activation.
  if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
  setWindowState(windowState() & ~Qt::WindowMinimized);
  showNormal();
  raise();
  activateWindow();
  // Where the desktop keeps the focus from a program that asks for it
  // itself (a Wayland compositor), its layer brings the window up instead.
  if (app_.desktop) app_.desktop->BringForward(S(windowTitle()));
}

}  // namespace kovant::ui

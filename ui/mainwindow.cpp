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
#include <QScreen>

#include <chrono>
#include <cmath>

#include "platform/desktop.h"
#include "ui/settingswindow.h"

namespace kovant::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

Kovant1::Kovant1(AppState& app, QWidget* parent) : QWidget(parent), app_(app), model_(app, *this) {
  const window::layout::Window& table = window::layout::Main();
  setWindowTitle(Q(std::string(table.title)));
  setWindowIcon(ApplicationIcon());
  setObjectName(Q(std::string(table.name)));
  setFont(FontOf(table.font));
  setFixedSize(Px(table.width), Px(table.height));
  BuildControls();
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  installEventFilter(this);
}

void Kovant1::BuildControls() {
  LayoutBuilder make(this, window::layout::Main());
  for (int i : {1, 2, 0, 3, 4, 5}) Label4[static_cast<size_t>(i)] = make.Make<QLabel>("Label4", i);
  for (int i = 0; i < 2; ++i) {
    Label3[static_cast<size_t>(i)] = make.Make<QLabel>("Label3", i);
    Option1[static_cast<size_t>(i)] = make.Make<QRadioButton>("Option1", i);
  }
  TabToCheckedOption({Option1[0], Option1[1]});
  Command4 = make.Make<QPushButton>("Command4");
  Text3 = make.Make<QLineEdit>("Text3");
  Text3->setReadOnly(true);
  Text2 = make.Make<QLineEdit>("Text2");
  SelectAllOnFocus(Text2);
  for (int i = 0; i < 3; ++i) Label2[static_cast<size_t>(i)] = make.Make<QLabel>("Label2", i);
  List2 = make.Make<ListBox>("List2");
  List3 = make.Make<ListBox>("List3");
  List4 = make.Make<ListBox>("List4");
  List1 = make.Make<ListBox>("List1");
  // Its notices run longer than its width: the text is drawn smaller
  // rather than cut.
  Label1[0] = make.Make<FittedLabel>("Label1", 0);
  Label1[1] = make.Make<QLabel>("Label1", 1);
  Combo1 = make.Make<QComboBox>("Combo1");
  Command2 = make.Make<QPushButton>("Command2");
  Text1 = make.Make<QLineEdit>("Text1");
  Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
  SelectAllOnFocus(Text1);
  Command1 = make.Make<QPushButton>("Command1");
  Text4 = make.Make<QLineEdit>("Text4");
  Command5 = make.Make<QPushButton>("Command5");
  Command3 = make.Make<QPushButton>("Command3");
  make.Finish();
  // Exchange fields for the link.
  Cmd = new LinkBox(this);
  DistName = new LinkBox(this);
  for (LinkBox*& box : Addr) box = new LinkBox(this);

  for (QPushButton* b : {Command1, Command2, Command3, Command4, Command5}) b->setAutoDefault(false);
  ConnectControls();
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
  const int base = Px(window::layout::Main()["Label1(0)"].place.height);
  const int extra = line->Wraps() ? std::max(0, line->WholeHeight() - base) : 0;
  if (extra == messageExtra_) return;
  const int below = line->geometry().bottom();
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (w->y() > below) w->move(w->x(), w->y() + extra - messageExtra_);
  }
  line->resize(line->width(), base + extra);
  messageExtra_ = extra;
  setFixedSize(Px(window::layout::Main().width), Px(window::layout::Main().height) + extra);
  KeepOnScreen();
}

// A window grown past the bottom of the screen's work area (its edge, a
// panel) moves up, so that the commands under the message stay in reach.
void Kovant1::KeepOnScreen() {
  const QScreen* shown = screen();
  if (!shown || !isVisible()) return;
  const QRect work = shown->availableGeometry();
  const int overshoot = frameGeometry().bottom() - work.bottom();
  if (overshoot > 0) move(x(), std::max(work.top(), y() - overshoot));
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
  for (int i = 0; i < 3; ++i) {
    const int32_t text =
        i == index ? window::layout::kMarkedHeading : window::layout::Main()[window::layout::Indexed("Label2", i)].text;
    SetColours(Label2[static_cast<size_t>(i)], QColor(), ColourOf(text));
  }
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

void Kovant1::PlaceOnScreen() { move(Px(window::layout::kMainWindowLeftTop), Px(window::layout::kMainWindowLeftTop)); }

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

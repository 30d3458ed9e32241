#include "ui/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QWindow>

#include <chrono>
#include <cmath>

#include "copy/compose.h"
#include "copy/delivery.h"
#include "platform/desktop.h"
#include "dict/fold.h"
#include "dict/freshness.h"
#include "dict/readingsection.h"
#include "dict/search.h"
#include "platform/clipboard.h"
#include "platform/files.h"
#include "settings/settings.h"
#include "ui/settingswindow.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QSignalBlocker>

#include "dict/codeinput.h"

namespace kovant::ui {
namespace {

const QColor kRed(255, 0, 0), kDarkBlue(0, 0, 192), kGreen(0, 128, 0), kWhite(255, 255, 255);
const QColor kCaptionYellow(255, 255, 192), kHeadingGreen(192, 255, 192), kMessageGrey(224, 224, 224);
const QColor kSearchCyan(192, 255, 255), kNavy(0, 0, 128), kBlue(0, 0, 255), kNone;

// Item data of the entry that lists a city's offices; no record sits at
// position 0.
constexpr int32_t kShowOfficesItem = 0;

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

// Option1's button for the CopyMode code: "旧〒" first, "新〒" second. Only
// these two codes have a button; a hand-edited value selects "旧〒".
size_t CopyModeOption(const settings::Settings& s) { return s.CopyMode == settings::kCopyCurrentCode ? 1 : 0; }

}  // namespace

Kovant1::Kovant1(AppState& app, QWidget* parent)
    : QWidget(parent), app_(app), delivery_(app.desktop, app.clipboard, [&app](double seconds) {
        copy::WaitSeconds(seconds, app.SettingsCancelled,
                          [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
      }) {
  setWindowTitle(QStringLiteral("ぴこらん Ver. 1.31"));
  setWindowIcon(ApplicationIcon());
  setObjectName("KOVANT1");
  setFont(JapaneseFont(true, 9.75));
  setFixedSize(Px(7725), Px(3975));
  BuildControls();
  currentList_ = List2;
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  installEventFilter(this);
  delivery_.SetStepAside([this] { return StepAside(); });
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
  connect(Command1, &QPushButton::clicked, this, &Kovant1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Kovant1::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Kovant1::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &Kovant1::Command4_Click);
  connect(Command5, &QPushButton::clicked, this, &Kovant1::Command5_Click);
  connect(Text1, &QLineEdit::textChanged, this, [this] { Command4->setEnabled(false); });
  connect(Text3, &QLineEdit::textChanged, this, &Kovant1::Text3_Change);
  connect(Text4, &QLineEdit::textChanged, this, &Kovant1::Text4_Change);
  connect(Cmd, &LinkBox::textChanged, this, &Kovant1::Cmd_Change);
  connect(List1, &ListBox::itemSelectionChanged, this, [this] {
    if (List1->ListIndex() >= 0) List1_Click();
  });
  connect(List2, &ListBox::MouseDown, this, [this] {
    LoadCities();
    currentList_ = List3;
    MarkCurrentList();
  });
  connect(List3, &ListBox::MouseDown, this, [this] {
    LoadTowns();
    currentList_ = List4;
    MarkCurrentList();
    Text4->clear();
  });
  connect(List4, &ListBox::MouseDown, this, [this] { ShowTownResult(); });
  connect(List4, &ListBox::DblClick, this, [this] {
    if (Command4->isEnabled()) Command4_Click();
  });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Click(); });
}

void Kovant1::Warn(const QString& text) { ui::Warn(app_, this, text); }

void Kovant1::ReadFailed(const dict::Error& error) { Warn(Q(dict::ReadErrorMessage(dictionaryPath_, error))); }

void Kovant1::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

bool Kovant1::Form_Load() {
  move(Px(500), Px(500));
  dictionaryPath_ = dict::DictionaryPathIn(app_.ProgramFolder);
  currentList_ = List2;
  const double rowHeight = QFontMetrics(font()).height();
  visibleRows_ = std::max(1, static_cast<int>(std::nearbyint(List1->height() / rowHeight)));
  app_.ExternalRequest = false;
  Cmd->setText(QString());
  addressMode_ = app_.Settings.StartMode == settings::kStartFromAddress;
  ApplyMode();
  Option1[CopyModeOption(app_.Settings)]->setChecked(true);
  Combo1_GotFocus();
  // The window opens ready for typing: the input box of its mode has the focus.
  (addressMode_ ? Text4 : Text1)->setFocus();

  auto loaded = dict::LoadDictionary(dictionaryPath_);
  if (!loaded) {
    ReadFailed(loaded.error());
    return false;
  }
  if (loaded->versionMismatch) {
    Warn(Q(std::string(dict::kVersionMessage)));
    return true;
  }
  dictionaryStamp_ = platform::StampOf(dictionaryPath_);
  prefectures_ = std::move(loaded->table);
  dict::AddPrefectureReadings(dictionaryPath_, prefectures_);
  for (const auto& row : prefectures_.rows) List2->AddItem(Q(row.Name), row.PrefNo, row.ReadingKey);
  // Which data this is, until the first operation writes the message line.
  dataDate_ = loaded->header.DataDate;
  ShowDataDate(false);
  // Japan Post publishes monthly: data two months behind says so, once,
  // with the way to new data.
  const std::string today = app_.Today.empty() ? dict::LocalToday() : app_.Today;
  // Shorter than the command line's notice: the message line is one line.
  if (dict::IsStaleData(dataDate_, today)) {
    Label1[0]->setText(QStringLiteral("辞書（") + Q(dataDate_) +
                       QStringLiteral("）が古くなっています。設定→辞書を更新"));
  }
  return true;
}

void Kovant1::ShowDataDate(bool updated) {
  if (dataDate_.empty()) return;
  Label1[0]->setText(QStringLiteral("辞書データ：") + Q(dataDate_) +
                     (updated ? QStringLiteral("（辞書が更新されました）") : QString()));
}

namespace {

// Selects the entry with this text again, or nothing when it is gone.
void Reselect(ListBox* list, const QString& text) {
  int index = -1;
  for (int i = 0; i < list->ListCount() && index < 0 && !text.isNull(); ++i) {
    if (list->ItemText(i) == text) index = i;
  }
  list->SetListIndex(index);
  if (index >= 0) list->SetTopIndex(index);
}

QString SelectedText(const ListBox* list) {
  return list->ListIndex() >= 0 ? list->ItemText(list->ListIndex()) : QString();
}

}  // namespace

// A dictionary replaced since it was loaded (kovant-mkdic --update) makes
// every position the window holds wrong: the prefecture table and the
// lists are made again from the new file, keeping what was selected by its
// text, so the step that asked runs on the new data.
bool Kovant1::ReloadIfChanged() {
  // An update from the settings window may have put the newest data in
  // another folder of the search path.
  const std::string wanted = dict::DictionaryPathIn(app_.ProgramFolder);
  const std::string path = wanted != dictionaryPath_ && platform::StampOf(wanted) ? wanted : dictionaryPath_;
  const auto stamp = platform::StampOf(path);
  if (!stamp || (stamp == dictionaryStamp_ && path == dictionaryPath_)) return false;
  auto loaded = dict::LoadDictionary(path);
  // A file that cannot be read is reported by the step that reads it.
  if (!loaded || loaded->versionMismatch) return false;
  dictionaryPath_ = path;
  dictionaryStamp_ = stamp;
  dataDate_ = loaded->header.DataDate;
  prefectures_ = std::move(loaded->table);
  dict::AddPrefectureReadings(dictionaryPath_, prefectures_);
  const QSignalBlocker block1(List1);
  if (List1->ListCount() > 0) {
    const QString selected = SelectedText(List1);
    List1->clear();
    List1->SetEntries(dict::SearchPostalCode(dictionaryPath_, prefectures_, lastCode_).rows);
    Reselect(List1, selected);
  }
  const QString city = SelectedText(List3), town = SelectedText(List4);
  const bool hadTowns = List4->ListCount() > 0;
  List3->clear();
  List4->clear();
  cityTable_.clear();
  if (List2->ListIndex() >= 0 && !city.isNull()) {
    dict::CityListing cities = dict::LoadCities(dictionaryPath_, prefectures_, List2->ItemData(List2->ListIndex()));
    cityTable_ = std::move(cities.cityTable);
    List3->SetEntries(std::move(cities.entries));
    Reselect(List3, city);
    const int k = List3->ListIndex() >= 0 ? List3->ItemData(List3->ListIndex()) : 0;
    if (hadTowns && k >= 1 && static_cast<size_t>(k) <= cityTable_.size()) {
      townsCity_ = cityTable_[static_cast<size_t>(k - 1)];
      FillTowns(townsWithOffices_);
      Reselect(List4, town);
    }
  }
  return true;
}

void Kovant1::ApplyMode() {
  List1->clear();
  List3->clear();
  List4->clear();
  Command4->setEnabled(false);
  // The walk's lists and head search and the search's list and code box
  // share one place: exactly one group shows.
  const bool walk = addressMode_;
  for (QWidget* w : std::initializer_list<QWidget*>{List2, List3, List4, Label2[1], Label2[2], Text4, Label4[5]}) {
    w->setVisible(walk);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{List1, Text1, Command1, Label4[4]}) w->setVisible(!walk);
  Label2[0]->resize((walk ? List2 : List1)->width(), Label2[0]->height());
  if (walk) {
    Command2->setText(QStringLiteral("郵便番号→住所"));
    Label2[0]->setText(QStringLiteral("住所１"));
    Label2[1]->setText(QStringLiteral("住所２"));
    Label2[2]->setText(QStringLiteral("住所３"));
    Text4->clear();
    currentList_ = List2;
    MarkCurrentList();
    if (List2->ListCount() > 0) {
      List2->SetTopIndex(0);
      List2->SetListIndex(-1);
    }
    if (WindowShown) Text4->setFocus();
  } else {
    Command2->setText(QStringLiteral("住所→郵便番号"));
    Label2[0]->setText(QStringLiteral("該　当　住　所"));
    Text1->clear();
    Label1[0]->clear();
    currentList_ = List1;
    MarkCurrentList();
    if (WindowShown) Text1->setFocus();
  }
}

void Kovant1::Command2_Click() {
  ShowCodes({}, {});
  Text3->clear();
  current_ = {};
  if (app_.Settings.InputClear != settings::kSwitchOn) Text2->clear();
  addressMode_ = !addressMode_;
  ApplyMode();
}

void Kovant1::MarkCurrentList() {
  int i = currentList_ == List3 ? 1 : currentList_ == List4 ? 2 : 0;
  for (QLabel* l : Label2) SetColours(l, kNone, kDarkBlue);
  SetColours(Label2[static_cast<size_t>(i)], kNone, kRed);
}

void Kovant1::Text3_Change() {
  // A long address shows its start, the prefecture, not its end.
  Text3->setCursorPosition(0);
  ListBox* list = addressMode_ ? List4 : List1;
  Command4->setEnabled(list->ListIndex() >= 0);
}

void Kovant1::Text4_Change() {
  const QString text = Text4->text();
  if (text.trimmed().isEmpty()) return;
  int found = -1;
  for (int i = 0; i < currentList_->ListCount() && found < 0; ++i) {
    if (currentList_->ItemText(i).startsWith(text, Qt::CaseInsensitive)) found = i;
  }
  // No name begins so: the text may be a reading ("osa", "おお", "ｵｵ").
  if (found < 0 && currentList_ == List4) AddTownReadings();
  if (found < 0) found = dict::FirstReadingMatch(currentList_->ReadingKeys(), S(text));
  headMatched_ = found >= 0;
  if (found >= 0) {
    currentList_->SetListIndex(found);
    currentList_->SetTopIndex(found);
  }
  Command4->setEnabled(false);
}

// The address in 「住所頭出し」 resolved: one code selects its prefecture,
// city and town as a walk would; several are offered to choose from; none
// says why in the message line.
void Kovant1::ResolveTypedAddress() {
  ReloadIfChanged();
  // Made again for a dictionary replaced since, at this step or before.
  if (!gazetteer_ || !(gazetteerStamp_ == dictionaryStamp_) || gazetteerPath_ != dictionaryPath_) {
    SetBusy(true);
    auto loaded = dict::Gazetteer::Load(dictionaryPath_);
    SetBusy(false);
    if (!loaded) {
      ReadFailed(loaded.error());
      return;
    }
    gazetteer_ = std::make_unique<dict::Gazetteer>(std::move(*loaded));
    gazetteerPath_ = dictionaryPath_;
    gazetteerStamp_ = dictionaryStamp_;
  }
  const dict::AddressAnswer answer = gazetteer_->Resolve(S(Text4->text()));
  using Status = dict::AddressAnswer::Status;
  if (answer.status == Status::Single && answer.candidates.size() == 1) {
    SelectMatch(answer.candidates.front());
  } else if (answer.status == Status::Several && !answer.candidates.empty()) {
    OfferCandidates(answer.candidates);
  } else {
    // None, and whatever else the resolver may tell apart: its note says why.
    Label1[0]->setText(answer.note.empty() ? QStringLiteral("該当する住所がありません。") : Q(answer.note));
  }
}

void Kovant1::OfferCandidates(const std::vector<dict::CodeMatch>& candidates) {
  auto* menu = new QMenu(this);
  menu->setObjectName("AddressCandidates");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setAccessibleName(QStringLiteral("住所の候補"));
  for (const dict::CodeMatch& m : candidates) {
    QAction* action = menu->addAction(Q(m.newCode + "  " + m.pref + m.city + m.town));
    connect(action, &QAction::triggered, this, [this, m] { SelectMatch(m); });
  }
  Label1[0]->setText(QStringLiteral("候補が %1 件あります。選んでください。").arg(candidates.size()));
  menu->popup(Text4->mapToGlobal(QPoint(0, 0)) - QPoint(0, menu->sizeHint().height()));
  menu->setActiveAction(menu->actions().front());
}

namespace {

int FindText(const ListBox* list, const std::string& text) {
  for (int i = 0; i < list->ListCount(); ++i) {
    if (S(list->ItemText(i)) == text) return i;
  }
  return -1;
}

}  // namespace

// Walks to one town of the resolved address: its prefecture, its city,
// then the entry of the town that shows its code.
void Kovant1::SelectMatch(const dict::CodeMatch& match) {
  const int pref = FindText(List2, match.pref);
  if (pref < 0) return;
  List2->SetListIndex(pref);
  List2->SetTopIndex(pref);
  LoadCities();
  const int city = FindText(List3, match.city);
  if (city < 0) return;
  List3->SetListIndex(city);
  List3->SetTopIndex(city);
  LoadTowns();
  if (match.office) FillTowns(true);
  currentList_ = List4;
  MarkCurrentList();
  // Several entries may share a name (a town of two codes): the one with
  // the code found; names written otherwise are tried last.
  std::vector<int> order;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < List4->ListCount(); ++i) {
      if (List4->ItemData(i) != kShowOfficesItem && (S(List4->ItemText(i)) == match.town) == (pass == 0)) {
        order.push_back(i);
      }
    }
  }
  for (int i : order) {
    List4->SetListIndex(i);
    List4->SetTopIndex(i);
    ShowTownResult();
    if (current_.NewCode == match.newCode) break;
  }
  Text4->clear();
}

void Kovant1::Command1_Click() {
  Label1[0]->clear();
  Command4->setEnabled(false);
  const std::string code = S(Text1->text());
  const bool reloaded = ReloadIfChanged();
  lastCode_ = code;
  List1->clear();
  SetBusy(true);
  dict::SearchOutcome outcome = dict::SearchPostalCode(dictionaryPath_, prefectures_, code);
  List1->SetEntries(std::move(outcome.rows));
  SetBusy(false);
  if (!outcome.warning.empty()) {
    Warn(Q(outcome.warning));
    return;
  }
  Label2[0]->setText(Q(outcome.heading));
  if (outcome.readError) ReadFailed(*outcome.readError);
  if (reloaded) ShowDataDate(true);
  Text2->setFocus();
}

// The codes on show; a screen reader hears each with its caption, as the
// eye reads them side by side ("新〒 100-0001").
void Kovant1::ShowCodes(const std::string& oldCode, const std::string& newCode) {
  static const char* const kCaptions[2] = {"旧〒", "新〒"};
  const std::string* codes[2] = {&oldCode, &newCode};
  for (size_t i = 0; i < 2; ++i) {
    Label3[i]->setText(Q(*codes[i]));
    Label3[i]->setAccessibleName(QString::fromUtf8(kCaptions[i]) +
                                 (codes[i]->empty() ? QString() : QStringLiteral(" ") + Q(*codes[i])));
  }
}

void Kovant1::ShowAddress() {
  ShowCodes(current_.OldCode, current_.NewCode);
  Text2->setText(Q(current_.Supplement));
  Text3->setText(Q(current_.Address1 + current_.Address2 + current_.Address3));
  Text2->setFocus();
  SelectAllText(Text2);
  Label1[0]->setText(Q(std::string(dict::kSupplementHint)));
}

void Kovant1::List1_Click() {
  if (List1->ListIndex() < 0) return;
  const bool reloaded = ReloadIfChanged();
  const int row = List1->ListIndex();
  if (row < 0) {
    ShowDataDate(true);
    return;
  }
  const std::string text = S(List1->ItemText(row));
  auto picked = dict::ShowPickedResult(dictionaryPath_, dict::RowView{text, List1->ItemData(row)}, S(Text2->text()));
  if (!picked) {
    ReadFailed(picked.error());
    return;
  }
  current_ = std::move(picked.value());
  ShowAddress();
  // The same address picked again leaves Text3 unchanged; the button must
  // still follow the selection.
  Text3_Change();
  if (reloaded) ShowDataDate(true);
}

void Kovant1::ClearShownResult() {
  Label1[0]->clear();
  ShowCodes({}, {});
  Text3->clear();
  if (app_.Settings.InputClear != settings::kSwitchOn) Text2->clear();
}

void Kovant1::LoadCities() {
  const int row = List2->ListIndex();
  if (row < 0) return;
  const bool reloaded = ReloadIfChanged();
  List3->clear();
  List4->clear();
  ClearShownResult();
  current_ = {};
  current_.Address1 = S(List2->ItemText(row));
  dict::CityListing cities = dict::LoadCities(dictionaryPath_, prefectures_, List2->ItemData(row));
  cityTable_ = std::move(cities.cityTable);
  List3->SetEntries(std::move(cities.entries));
  Label2[1]->setText(Q(cities.heading));
  if (cities.readError) ReadFailed(*cities.readError);
  Text3->setText(Q(current_.Address1));
  Text4->setFocus();
  currentList_ = List3;
  if (reloaded) ShowDataDate(true);
}

void Kovant1::LoadTowns() {
  if (List3->ListIndex() < 0) return;
  const bool reloaded = ReloadIfChanged();
  const int row = List3->ListIndex();
  if (row < 0) {
    ShowDataDate(true);
    return;
  }
  List4->clear();
  ClearShownResult();
  current_.Address2 = S(List3->ItemText(row));
  current_.Address3.clear();
  current_.OldCode.clear();
  current_.NewCode.clear();
  const int k = List3->ItemData(row);
  if (k >= 1 && static_cast<size_t>(k) <= cityTable_.size()) {
    townsCity_ = cityTable_[static_cast<size_t>(k - 1)];
    FillTowns(false);
  }
  Text3->setText(Q(current_.Address1 + current_.Address2));
  Text4->setFocus();
  currentList_ = List4;
  if (reloaded) ShowDataDate(true);
}

// The towns of the chosen city. Its offices (hundreds in a city centre)
// would bury the towns, so they wait behind one last entry that lists them
// when chosen.
void Kovant1::FillTowns(bool withOffices) {
  townsWithOffices_ = withOffices;
  dict::TownListing towns = dict::LoadTowns(dictionaryPath_, townsCity_, withOffices, false);
  List4->clear();
  List4->SetEntries(std::move(towns.entries));
  townReadingsWanted_ = true;
  if (towns.officesLeftOut > 0) {
    List4->AddItem(QStringLiteral("［事業所 %1 件を表示］").arg(towns.officesLeftOut), kShowOfficesItem);
  }
  Label2[2]->setText(Q(towns.heading));
  if (towns.readError) ReadFailed(*towns.readError);
}

void Kovant1::AddTownReadings() {
  if (!townReadingsWanted_) return;
  townReadingsWanted_ = false;
  // Read from the file the list was made from: one replaced since gives
  // none until the next step lists its towns again.
  if (!(platform::StampOf(dictionaryPath_) == dictionaryStamp_)) return;
  std::vector<int> rows;
  std::vector<int64_t> positions;
  for (int i = 0; i < List4->ListCount(); ++i) {
    if (List4->ItemData(i) == kShowOfficesItem) continue;
    rows.push_back(i);
    positions.push_back(List4->ItemData(i));
  }
  List4->SetReadingKeys(rows, dict::TownReadingKeys(dictionaryPath_, positions));
}

void Kovant1::ShowTownResult() {
  if (List4->ListIndex() < 0) return;
  const bool reloaded = ReloadIfChanged();
  int row = List4->ListIndex();
  if (row < 0) {
    ShowDataDate(true);
    return;
  }
  if (List4->ItemData(row) == kShowOfficesItem) {
    // The offices follow the towns, so the first one takes this entry's place.
    FillTowns(true);
    List4->SetListIndex(row);
    List4->SetTopIndex(row);
    if (List4->ListIndex() < 0) return;
  }
  dict::ListEntry entry{S(List4->ItemText(row)), std::string(), List4->ItemData(row)};
  auto shown = dict::ShowTownResult(dictionaryPath_, current_.Address1, current_.Address2, entry, S(Text2->text()),
                                    app_.Settings.InputClear == settings::kSwitchOn);
  if (!shown) {
    ReadFailed(shown.error());
    return;
  }
  current_ = std::move(shown.value());
  ShowAddress();
  Command4->setEnabled(true);
  if (reloaded) ShowDataDate(true);
}

void Kovant1::AfterMove() {
  if (currentList_ == List4) ShowTownResult();
  if (currentList_ == List1 || currentList_ == List4) {
    if (currentList_->ListIndex() >= 0) Command4->setEnabled(true);
  } else {
    Command4->setEnabled(false);
  }
}

void Kovant1::EnterKey(ListBox* list) {
  if (!addressMode_) {
    Command1_Click();
    return;
  }
  // A text no entry begins with is an address written out (a line pasted
  // from an e-mail): Enter looks it up.
  if (!headMatched_ && !Text4->text().trimmed().isEmpty()) {
    ResolveTypedAddress();
    return;
  }
  Text4->clear();
  if (list == List2) {
    currentList_ = List3;
    LoadCities();
    MarkCurrentList();
  } else if (list == List3) {
    currentList_ = List4;
    LoadTowns();
    MarkCurrentList();
  } else if (list == List4) {
    ShowTownResult();
    MarkCurrentList();
  }
}

bool Kovant1::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (key == Qt::Key_F1 && (modifiers & Qt::ControlModifier)) {
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    showNormal();
    raise();
    activateWindow();
  }
  ListBox* list = currentList_;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: EnterKey(list); return true;
    case Qt::Key_Right:
      if (addressMode_) {
        if (list->ListIndex() >= 0) {
          if (list == List2) {
            LoadCities();
          } else if (list == List3) {
            LoadTowns();
          } else if (list == List4) {
            ShowTownResult();
          }
          MarkCurrentList();
        }
        Text4->clear();
      }
      return true;
    case Qt::Key_Left:
      if (addressMode_) {
        if (list == List3) {
          currentList_ = List2;
        } else if (list == List4) {
          currentList_ = List3;
        }
        MarkCurrentList();
        Command4->setEnabled(false);
        Text4->clear();
      }
      return true;
    case Qt::Key_Up:
      if (list->ListIndex() > 0) list->SetListIndex(list->ListIndex() - 1);
      AfterMove();
      return true;
    case Qt::Key_Down:
      if (list->ListIndex() < list->ListCount() - 1) list->SetListIndex(list->ListIndex() + 1);
      AfterMove();
      return true;
    case Qt::Key_PageUp:
      if (list->ListCount() > 0) list->SetListIndex(std::max(list->ListIndex() - visibleRows_, 0));
      return false;
    case Qt::Key_PageDown:
      if (list->ListCount() > 0) list->SetListIndex(std::min(list->ListIndex() + visibleRows_, list->ListCount() - 1));
      return false;
    default: return false;
  }
}

bool Kovant1::eventFilter(QObject* obj, QEvent* event) {
  if (obj == Combo1 && event->type() == QEvent::FocusIn &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    Combo1_GotFocus();
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
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(obj, event);
  auto* key = static_cast<QKeyEvent*>(event);
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
  if (k == Qt::Key_Return || k == Qt::Key_Enter) {
    // A focused button takes Enter; otherwise the default button "コピー"
    // does while enabled, and the key handler gets it only when it is not.
    if (auto* button = qobject_cast<QPushButton*>(focus); button && focus->window() == this) {
      button->click();
      return true;
    }
    if (Command4->isEnabled()) {
      Command4_Click();
      return true;
    }
  }
  if (Form_KeyDown(k, key->modifiers())) return true;
  if (obj == Text1 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    // Digits and Backspace only; other characters are discarded.
    const QString text = key->text();
    if (!text.isEmpty() && k != Qt::Key_Backspace) {
      for (QChar c : text) {
        if (c.isPrint() && !(c >= u'0' && c <= u'9')) return true;
      }
    }
  }
  return false;
}

// A code pasted as people write it ("〒100-0001", full-width digits) lands
// as the digits the box takes; a text that is no code is refused whole.
void Kovant1::PasteIntoText1() {
  const std::string code = dict::NormalizeCodeInput(S(QGuiApplication::clipboard()->text()));
  const bool digits =
      !code.empty() && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) {
    QApplication::beep();
    return;
  }
  Text1->insert(Q(code));
}

bool Kovant1::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) WindowShown = true;
  return QWidget::event(event);
}

void Kovant1::closeEvent(QCloseEvent* event) { event->accept(); }

std::string Kovant1::CopyText() const {
  dict::CurrentResult r = current_;
  r.Supplement = S(Text2->text());
  return copy::ComposeCopyText(Option1[0]->isChecked() ? settings::kCopyFormerCode : settings::kCopyCurrentCode, r,
                               app_.Settings);
}

void Kovant1::Command4_Click() {
  copy::LinkRequest request;
  request.pending = app_.ExternalRequest;
  if (!DistName->text().trimmed().isEmpty()) request.callerCaption = S(DistName->text());
  const copy::Delivered outcome =
      delivery_.Deliver(CopyText(), request, app_.Settings, app_.FoundWindowTitle, [this, &request] {
        setCursor(Qt::ForbiddenCursor);
        if (app_.Settings.AfterCopy == settings::kSwitchOn) showMinimized();
        if (request.pending) Answer();
      });
  if (outcome == copy::Delivered::Busy) return;
  unsetCursor();
  ConfirmDelivery(outcome);
  switch (outcome) {
    case copy::Delivered::Answered:
      app_.ExternalRequest = false;
      emit Answered();
      break;
    case copy::Delivered::CallerNotFound:
    case copy::Delivered::TargetNotFound:
      Warn(QStringLiteral("指定されたキャプションを持つウィンドウが見つかりません。"));
      break;
    case copy::Delivered::NoDesktop:
      Warn(QStringLiteral(
          "この環境では他のアプリケーションに貼り付けられないため、クリップボードにのみコピーしました。"));
      break;
    case copy::Delivered::Unconfirmed:
      Warn(
          QStringLiteral("貼り付け先のウィンドウが応答しないため、貼り付けを途中で止めました。"
                         "クリップボードには貼り付け終えていない部分が入っています。"));
      break;
    case copy::Delivered::NotAllowed:
      Warn(QStringLiteral("貼り付けの許可が得られなかったため、クリップボードにのみコピーしました。"));
      break;
    case copy::Delivered::StillInFront:
      showNormal();
      Warn(
          QStringLiteral("ぴこらんの前に使っていたウィンドウに切り替わらなかったため、"
                         "クリップボードにのみコピーしました。"));
      break;
    case copy::Delivered::PastedIntoPrevious:
    case copy::Delivered::PastedWholeIntoPrevious:
      if (!previousWindowNoticeShown_) {
        previousWindowNoticeShown_ = true;
        Warn(QStringLiteral("このデスクトップではウィンドウをキャプションで探せないため、"
                            "ぴこらんの前に使っていたウィンドウに貼り付けました。") +
             (outcome == copy::Delivered::PastedWholeIntoPrevious
                  ? QStringLiteral("\r\nタブと改行はキーにせず、全体を一度に貼り付けています。")
                  : QString()));
      }
      break;
    default: break;
  }
}

// What went where, in the message line; a notice of the program's own
// standing there (the data updated, the settings changed) stays.
void Kovant1::ConfirmDelivery(copy::Delivered outcome) {
  const QString shown = Label1[0]->text();
  if (!shown.isEmpty() && shown != Q(std::string(dict::kSupplementHint)) && shown != deliveredLine_) return;
  deliveredLine_ = Q(copy::DeliveredLine(outcome, delivery_.TargetCaption()));
  Label1[0]->setText(deliveredLine_);
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

void Kovant1::Answer() {
  const std::string* parts[6] = {&current_.OldCode,  &current_.NewCode,  &current_.Address1,
                                 &current_.Address2, &current_.Address3, nullptr};
  for (size_t i = 0; i < 5; ++i) Addr[i]->setText(Q(*parts[i]));
  Addr[5]->setText(Text2->text());
}

void Kovant1::Command5_Click() {
  {
    Kovant2 settingsWindow(app_, this);
    settingsWindow.exec();
  }
  if (!app_.SettingsCancelled) {
    Option1[CopyModeOption(app_.Settings)]->setChecked(true);
    RefreshProfileCombo();
  } else if (app_.ProfileDialogMode == 2) {
    RefreshProfileCombo();
  }
}

void Kovant1::Command3_Click() {
  settings::SaveSettings(app_.Settings, app_.SettingsFolder, settings::kIniFileName);
  close();
}

void Kovant1::Combo1_GotFocus() {
  FillProfiles();
  SelectActiveProfile();
}

void Kovant1::RefreshProfileCombo() {
  if (app_.Settings.Profile.empty() || Combo1->count() == 0) return;
  FillProfiles();
  SelectActiveProfile();
}

void Kovant1::FillProfiles() {
  auto names = settings::ListProfiles(app_.SettingsFolder);
  dict::SortTexts(names);
  FillCombo(Combo1, names);
}

void Kovant1::SelectActiveProfile() {
  // A hand-edited value too short to hold ".prm" names no entry.
  const QString wanted = Q(settings::ActiveProfileName(app_.Settings.Profile));
  if (wanted.isEmpty()) return;
  for (int i = 0; i < Combo1->count(); ++i) {
    if (Combo1->itemText(i) == wanted) {
      Combo1->setCurrentIndex(i);  // raises Combo1_Click
      break;
    }
  }
}

void Kovant1::Combo1_Click() {
  const int index = Combo1->currentIndex();
  if (index < 0 || index == loadedProfileIndex_) return;
  settings::LoadSettings(app_.Settings, app_.SettingsFolder, settings::ProfileFileName(S(Combo1->itemText(index))));
  loadedProfileIndex_ = index;
  Option1[CopyModeOption(app_.Settings)]->setChecked(true);
  if (WindowShown) Label1[0]->setText(QStringLiteral("設定が変更されました。"));
}

void Kovant1::Cmd_Change() {
  if (Cmd->text().trimmed().isEmpty()) return;
  BringForward();
  app_.ExternalRequest = true;
  Cmd->setText(QString());
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

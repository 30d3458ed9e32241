#include "winui/settingswindow.h"

#include <commctrl.h>
#include <imm.h>

#include "platform/windows.h"
#include "winui/profilewindow.h"
#ifdef KOVANT_UPDATE_WINDOW
#include "winui/updatewindow.h"
#endif

namespace kovant::winui {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255), kRed = RGB(255, 0, 0);
constexpr DWORD kOption = BS_AUTORADIOBUTTON;
constexpr DWORD kFirstOption = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;

}  // namespace

SettingsWindow::SettingsWindow(window::AppState& app, HWND owner)
    : ModalWindow(owner, L"KOVANT2", 9120, 6000), app_(app), model_(app, *this) {}

void SettingsWindow::Build() {
  ModalWindow::SetTitle("ぴこらん環境設定");
  // The captions first: they take no focus, so what follows is in Tab order.
  Make(nextStatic_++, WC_STATICW, "コピー時の区切り文字の設定", SS_LEFT, {60, 60, 5415, 285}, {CLR_INVALID, kBlue});
  Make(nextStatic_++, WC_STATICW, "コピー順の設定（順番を１～４の数字で指定して下さい。）", SS_LEFT,
       {60, 4560, 7035, 285}, {CLR_INVALID, kBlue});
  Make(nextStatic_++, WC_STATICW, "コピーしたくない項目は０（ゼロ）を指定してください。", SS_LEFT,
       {300, 5220, 5175, 240}, {CLR_INVALID, kRed});
  Make(nextStatic_++, WC_STATICW, "キャプション", SS_CENTER | SS_CENTERIMAGE, {5640, 3360, 1215, 285},
       {RGB(255, 255, 192), RGB(0, 0, 0)});
  Make(nextStatic_++, WC_STATICW,
       "アプリケーションを識別できるキャプション（タイトルバーの文字）の一部、または全部を指定してください。", SS_LEFT,
       {5640, 3720, 3375, 675}, {CLR_INVALID, kRed});
  Make(kLabel7, WC_STATICW, "", SS_LEFT | SS_CENTERIMAGE, {180, 5610, 6900, 285}, {CLR_INVALID, kBlue});
  BuildPairs();
  BuildCopyOrder();
  BuildSeparators();
  BuildPasteControls();
  Bind();
}

// The four pairs of options, the first of each for code 0.
void SettingsWindow::BuildPairs() {
  struct Pair {
    int id;
    const char* caption;
    int left, top;
    const char* first;
    const char* second;
  };
  const Pair pairs[] = {{kStartMode0, "初期画面", 5580, 60, "住所→", "郵便番号→"},
                        {kCopyMode0, "初期コピー〒", 7320, 60, "旧〒", "新〒"},
                        {kMarkSet0, "〒マーク", 5580, 960, "あり", "なし"},
                        {kNumType0, "〒文字種", 7320, 960, "半角", "全角"}};
  for (const Pair& p : pairs) {
    Make(nextStatic_++, WC_BUTTONW, p.caption, BS_GROUPBOX, {p.left, p.top, 1695, 795});
    Make(p.id, WC_BUTTONW, p.first, kFirstOption, {p.left + 120, p.top + 240, 1500, 255});
    Make(p.id + 1, WC_BUTTONW, p.second, kOption, {p.left + 120, p.top + 510, 1500, 255});
  }
}

// The five copy-order boxes under their captions: one digit each.
void SettingsWindow::BuildCopyOrder() {
  static const char* kCaptions[5] = {"郵便番号", "住所１", "住所２", "住所３", "補足住所"};
  static const int kLabelLefts[5] = {180, 1560, 2880, 4200, 5520};
  static const int kBoxLefts[5] = {1080, 2400, 3720, 5040, 6480};
  for (int i = 0; i < 5; ++i) {
    Make(nextStatic_++, WC_STATICW, kCaptions[i], SS_LEFT | SS_CENTERIMAGE,
         {kLabelLefts[i], 4860, kBoxLefts[i] - kLabelLefts[i] - 30, 285});
    HWND box = Make(kSeq1 + i, WC_EDITW, "", ES_CENTER | WS_TABSTOP | WS_GROUP, {kBoxLefts[i], 4860, 315, 285});
    SendMessageW(box, EM_LIMITTEXT, 1, 0);
    ImmAssociateContextEx(box, nullptr, 0);
  }
}

// The six separator frames, each with its five options and its text box;
// the frames top to bottom hold Sep1, Sep5, Sep2, Sep3, Sep4, Sep6.
void SettingsWindow::BuildSeparators() {
  static const char* kFrameCaptions[6] = {"郵便番号前項の後", "郵便番号後項の後", "住所１の後",
                                          "住所２の後",       "住所３の後",       "補足住所の後"};
  static const int kTops[6] = {420, 1080, 1740, 2400, 3060, 3720};
  static const int kSepOfFrame[6] = {0, 4, 1, 2, 3, 5};
  static const char* kSepCaptions[5] = {"なし", "Enter", "Tab", "ブランク", "文字"};
  static const int kLefts[5] = {120, 900, 1740, 2460, 3540};
  static const int kWidths[5] = {780, 840, 720, 1080, 780};
  for (int f = 0; f < 6; ++f) {
    Make(nextStatic_++, WC_BUTTONW, kFrameCaptions[f], BS_GROUPBOX, {180, kTops[f], 5115, 615});
  }
  // In the order of the keys, as the Tab key goes.
  for (int s = 0; s < 6; ++s) {
    int frame = 0;
    while (kSepOfFrame[frame] != s) ++frame;
    const int top = kTops[frame] + 240;
    for (int o = 0; o < 5; ++o) {
      Make(kSep1 + s * 6 + o, WC_BUTTONW, kSepCaptions[o], o == 0 ? kFirstOption : kOption,
           {180 + kLefts[o], top, kWidths[o], 285});
    }
    Make(kSep1 + s * 6 + 5, WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, {180 + 4320, top, 675, 285});
  }
}

// The commands, the three check boxes and the caption to paste into, in
// their Tab order.
void SettingsWindow::BuildPasteControls() {
  const DWORD check = BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP | WS_GROUP;
  const DWORD button = BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP;
  Make(kCancel, WC_BUTTONW, "取り消し", button, {7260, 4800, 1755, 315});
  Make(kSave, WC_BUTTONW, "設定保存", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, {7260, 5160, 1755, 315});
  Make(kCheck1, WC_BUTTONW, "コピー時に、指定アプリケーションへの貼り付けを行う", check, {5640, 2880, 3375, 495});
  Make(kCheck2, WC_BUTTONW, "コピーボタンを押した後、ぴこらんを最小化する", check, {5640, 2340, 3375, 495});
  Make(kText3, WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP | WS_DISABLED, {6780, 3360, 2235, 285});
  Make(kDelete, WC_BUTTONW, "設定削除", button, {7260, 4440, 1755, 315});
  Make(kCheck3, WC_BUTTONW, "補足入力を毎回クリアしない", check, {5640, 1800, 3375, 495});
  Make(kUpdate, WC_BUTTONW, "辞書を更新", button, {7260, 5580, 1755, 315});
}

// Which control shows which key; the table knows how each is stored.
void SettingsWindow::Bind() {
  keys_["StartMode"] = {kStartMode0, 2};
  keys_["CopyMode"] = {kCopyMode0, 2};
  keys_["MarkSet"] = {kMarkSet0, 2};
  keys_["NumType"] = {kNumType0, 2};
  for (int s = 0; s < 6; ++s) {
    const std::string sep = "Sep" + std::to_string(s + 1);
    keys_[sep] = {kSep1 + s * 6, 5};
    keys_[sep + "Text"] = {.text = kSep1 + s * 6 + 5};
  }
  for (int i = 0; i < 5; ++i) keys_["Seq" + std::to_string(i + 1)] = {.text = kSeq1 + i};
  keys_["CopyAppl"] = {.check = kCheck1};
  keys_["AfterCopy"] = {.check = kCheck2};
  keys_["InputClear"] = {.check = kCheck3};
  keys_["FindCaption"] = {.text = kText3};
}

const SettingsWindow::KeyControls* SettingsWindow::ControlsOf(const settings::SettingKey& key) const {
  const auto found = keys_.find(key.name);
  return found == keys_.end() ? nullptr : &found->second;
}

void SettingsWindow::ShowNumber(const settings::SettingKey& key, int16_t value) {
  const KeyControls* c = ControlsOf(key);
  if (!c) return;
  if (c->check) {
    CheckDlgButton(Handle(), c->check, value == settings::kSwitchOn ? BST_CHECKED : BST_UNCHECKED);
    return;
  }
  // A value no option stands for (a hand-edited file) shows the first one.
  const int option = value >= 0 && value < c->options ? value : 0;
  CheckRadioButton(Handle(), c->firstOption, c->firstOption + c->options - 1, c->firstOption + option);
}

int16_t SettingsWindow::NumberShown(const settings::SettingKey& key) const {
  const KeyControls* c = ControlsOf(key);
  if (!c) return 0;
  if (c->check) {
    return IsDlgButtonChecked(Handle(), c->check) == BST_CHECKED ? settings::kSwitchOn : settings::kSwitchOff;
  }
  for (int i = 0; i < c->options; ++i) {
    if (IsDlgButtonChecked(Handle(), c->firstOption + i) == BST_CHECKED) return static_cast<int16_t>(i);
  }
  return 0;
}

void SettingsWindow::ShowText(const settings::SettingKey& key, const std::string& text) {
  if (const KeyControls* c = ControlsOf(key); c && c->text) SetTextOf(c->text, text);
}

std::string SettingsWindow::TextShown(const settings::SettingKey& key) const {
  const KeyControls* c = ControlsOf(key);
  return c && c->text ? TextOf(c->text) : std::string();
}

void SettingsWindow::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kSave: model_.Command1_Click(0); break;
    case kCancel: model_.Command1_Click(1); break;
    case kDelete: model_.Command1_Click(2); break;
    case kUpdate: model_.Command2_Click(); break;
    case kCheck1: model_.Check1_Click(); break;
    default: break;
  }
}

// Copy-order boxes: the digits 0 to the last position and Backspace only.
bool SettingsWindow::PreTranslate(MSG& msg) {
  if (msg.message != WM_CHAR || msg.wParam < 0x20) return false;
  const int id = GetDlgCtrlID(msg.hwnd);
  if (GetParent(msg.hwnd) != Handle() || id < kSeq1 || id >= kSeq1 + 5) return false;
  const wchar_t typed[2] = {static_cast<wchar_t>(msg.wParam), 0};
  return window::SettingsModel::Text2_KeyPress(platform::Narrow(typed)) == window::Handled::Consumed;
}

void SettingsWindow::OpenProfileWindow() {
  ProfileWindow profiles(app_, Handle());
  profiles.RunModal();
}

void SettingsWindow::OpenUpdateWindow() {
#ifdef KOVANT_UPDATE_WINDOW
  UpdateWindow update(app_, Handle());
  update.RunModal();
#else
  ShowWarning("この版では、辞書の更新はこの画面からはできません。");
#endif
}

}  // namespace kovant::winui

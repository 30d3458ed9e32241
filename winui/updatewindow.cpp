#include "winui/updatewindow.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/windows.h"

namespace kovant::winui {
namespace {

constexpr UINT kMsgPosted = WM_APP + 10;
constexpr int kStepTop = 840, kStepHeight = 525;  // twips: two lines

// Edit controls break lines at CR LF only.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

UpdateWindow::UpdateWindow(window::AppState& app, HWND owner, std::string from)
    : ModalWindow(owner, L"KOVANTUPDATE", 5880, 2820), model_(app, *this, std::move(from)) {}

void UpdateWindow::Build() {
  SetTitle("辞書の更新");
  Make(kBefore, WC_STATICW, "", SS_LEFT | SS_NOPREFIX, {180, 120, 5520, 285});
  Make(kProgress, PROGRESS_CLASSW, "", 0, {180, 480, 5520, 255});
  SendMessageW(Ctl(kProgress), PBM_SETRANGE32, 0, 1000);
  Make(kStep, WC_STATICW, "", SS_LEFT | SS_NOPREFIX, {180, kStepTop, 5520, kStepHeight});
  // Selectable, so that the counts and an error can be copied.
  Make(kChanges, WC_EDITW, "", ES_MULTILINE | ES_READONLY | WS_TABSTOP, {180, 1440, 5520, 765});
  Make(kCommand, WC_BUTTONW, "", BS_DEFPUSHBUTTON | WS_TABSTOP, {4440, 2340, 1260, 315});
}

void UpdateWindow::Load() {
  model_.Form_Load();
  model_.Start();
}

void UpdateWindow::SetProgress(int permille) {
  SendMessageW(Ctl(kProgress), PBM_SETPOS, static_cast<WPARAM>(permille), 0);
}

void UpdateWindow::Fit() {
  HWND step = Ctl(kStep);
  RECT box{};
  GetClientRect(step, &box);
  const std::wstring text = platform::Wide(TextOf(kStep));
  RECT need{0, 0, box.right, 0};
  HDC dc = GetDC(step);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(step, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(step, dc);
  const int dpi = static_cast<int>(GetDpiForWindow(Handle()));
  const int needTwips = MulDiv(need.bottom, 1440, dpi > 0 ? dpi : 96) + 30;
  const int extra = std::max(0, needTwips - kStepHeight);
  if (extra == stepExtra_) return;
  const int grow = extra - stepExtra_;
  stepExtra_ = extra;
  Move(kStep, {180, kStepTop, 5520, kStepHeight + extra});
  Move(kChanges, {180, 1440 + extra, 5520, 765});
  Move(kCommand, {4440, 2340 + extra, 1260, 315});
  RECT outer{};
  GetWindowRect(Handle(), &outer);
  SetWindowPos(Handle(), nullptr, 0, 0, outer.right - outer.left,
               outer.bottom - outer.top + MulDiv(grow, dpi > 0 ? dpi : 96, 1440),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void UpdateWindow::SetChanges(const std::string& text) { SetTextOf(kChanges, WithCrLf(text)); }

void UpdateWindow::SetCommand(const std::string& caption, bool enabled) {
  SetTextOf(kCommand, caption);
  EnableWindow(Ctl(kCommand), enabled);
}

void UpdateWindow::Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  // A window already gone drops it: the queue goes with the window.
  PostMessageW(Handle(), kMsgPosted, 0, 0);
}

void UpdateWindow::OnAppMessage(UINT message, WPARAM, LPARAM) {
  if (message != kMsgPosted) return;
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (posted_.empty()) return;
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
  }
}

void UpdateWindow::OnCommand(int id, int code) {
  if (id == kCommand && code == BN_CLICKED) model_.Command_Click();
}

void UpdateWindow::OnCancel() {
  if (model_.Form_QueryUnload()) End();
}

}  // namespace kovant::winui

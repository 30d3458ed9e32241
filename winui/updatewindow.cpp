#include "winui/updatewindow.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/windows.h"

namespace kovant::winui {
namespace {

constexpr UINT kMsgPosted = WM_APP + 10;

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
    : ModalWindow(owner, window::layout::Update()), model_(app, *this, std::move(from)) {}

void UpdateWindow::Build() {
  MakeControls(
      [](std::string_view name) {
        if (name == "Before") return MadeAs{kBefore};
        if (name == "Progress") return MadeAs{kProgress};
        if (name == "StepLine") return MadeAs{kStep};
        if (name == "Changes") return MadeAs{kChanges, ES_MULTILINE | ES_READONLY, ES_AUTOHSCROLL};
        if (name == "Command") return MadeAs{kCommand, BS_DEFPUSHBUTTON};
        return MadeAs{};
      },
      kCommand + 1);
  SendMessageW(Ctl(kProgress), PBM_SETRANGE32, 0, 1000);
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
  const window::layout::Window& layout = window::layout::Update();
  const window::layout::Rect stepLine = layout["StepLine"].place;
  const int extra = std::max(0, needTwips - stepLine.height);
  if (extra == stepExtra_) return;
  const int grow = extra - stepExtra_;
  stepExtra_ = extra;
  // The step's box grows by the lines it needs; what stands below it moves down.
  Move(kStep, {stepLine.left, stepLine.top, stepLine.width, stepLine.height + extra});
  for (const auto& [id, name] : {std::pair{kChanges, "Changes"}, std::pair{kCommand, "Command"}}) {
    window::layout::Rect place = layout[name].place;
    place.top += extra;
    Move(id, place);
  }
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

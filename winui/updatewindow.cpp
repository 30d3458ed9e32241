#include "winui/updatewindow.h"

#include <commctrl.h>

#include <string>

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

// kovant.exe: one window per user. A second start brings the running
// window up, hands it Ctrl+F1 and ends.
#include <windows.h>

#include <objbase.h>

#include <filesystem>
#include <system_error>

#include "dict/census.h"
#include "dict/freshness.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/win/ddelink.h"
#include "platform/win/winclipboard.h"
#include "platform/win/windesktop.h"
#include "platform/windows.h"
#include "settings/settings.h"
#include "winui/mainwindow.h"

namespace {

using kovant::platform::LinkItem;
using kovant::window::Field;

// The user's own hive: the machine's needs administrator rights, which a
// per-user installation lacks, so a note there would fail at every start.
constexpr const char* kSoftwareKey = "HKEY_CURRENT_USER\\Software";
constexpr const char* kRunPathKey = "Morvix\\KOVANT\\RunPath";

void ShowWarning(const std::string& text) {
  MessageBoxW(nullptr, kovant::platform::Wide(text).c_str(), kovant::winui::kAppTitle, MB_OK | MB_ICONWARNING);
}

// The running window brought up and handed Ctrl+F1, as a user would.
void HandOver() {
  HWND running = nullptr;
  // It may still be making its window.
  for (int attempt = 0; attempt < 100 && !running; ++attempt) {
    running = FindWindowW(kovant::winui::kMainClass, nullptr);
    if (!running) Sleep(50);
  }
  if (!running) return;
  if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
  SetForegroundWindow(running);
  INPUT keys[4]{};
  const WORD codes[4] = {VK_CONTROL, VK_F1, VK_F1, VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = codes[i];
    keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(4, keys, sizeof(INPUT));
}

// The program's folder noted for other programs; a warning when it cannot be.
bool NoteProgramFolder(const std::string& programFolder) {
  const kovant::platform::Registry registry(kovant::platform::Registry::DefaultRoot());
  if (!registry.OpenKey(kSoftwareKey)) {
    ShowWarning("レジストリを開くことができません。");
    return false;
  }
  auto stored = registry.QueryValue(kSoftwareKey, kRunPathKey, 128);
  if (stored && kovant::settings::TrimAtNul(*stored) == kovant::settings::TrimAtNul(programFolder)) return true;
  if (!registry.SetValue(kSoftwareKey, kRunPathKey, programFolder)) {
    // The program runs on: the note only helps other programs find it.
    ShowWarning(
        "レジストリにプログラムのフォルダを記録できないため、"
        "他のプログラムからぴこらんのフォルダが見つからないことがあります。");
  }
  return true;
}

int Run(HINSTANCE instance) {
  kovant::window::AppState state;
  auto choice = kovant::dict::ChooseDictionaryFolder(kovant::dict::LocalToday());
  state.ProgramFolder = std::move(choice.folder);
  state.PassedOver = std::move(choice.passedOver);
  state.SettingsFolder = kovant::platform::SettingsFolder();
  std::error_code ignored;  // a folder that cannot be made shows as settings not saved
  std::filesystem::create_directories(kovant::platform::Wide(state.SettingsFolder), ignored);
  kovant::platform::WinClipboard clipboard;
  state.clipboard = &clipboard;
  kovant::platform::WinDesktop desktop(clipboard);
  state.desktop = &desktop;
  if (!NoteProgramFolder(state.ProgramFolder)) return 1;
  kovant::settings::LoadSettings(state.Settings, state.SettingsFolder, kovant::settings::kIniFileName);

  kovant::winui::MainWindow window(state);
  if (!window.Create(instance)) {
    ShowWarning("ウィンドウを作れません。");
    return 1;
  }
  if (!window.Form_Load()) return 1;

  kovant::platform::DdeLinkServer link(
      [&window](LinkItem item, const std::string& value) {
        window.SetText(item == LinkItem::Cmd ? Field::Cmd : Field::DistName, value);
      },
      [&window](LinkItem item) -> std::string {
        if (item == LinkItem::Cmd) return window.Text(Field::Cmd);
        if (item == LinkItem::DistName) return window.Text(Field::DistName);
        const int addr = kovant::platform::AddrIndex(item);
        return addr >= 0 ? window.Text(static_cast<Field>(static_cast<int>(Field::Addr0) + addr)) : std::string();
      });
  // Without the link the window still works; other programs are told so by
  // their own failed call-up.
  if (const std::string error = link.Start(); !error.empty()) ShowWarning(error);
  window.onAnswered = [&link] { link.Answered(); };

  window.Show();
  return window.Run();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // One per user session: the mutex lives as long as this process.
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\KOVANT.Instance");
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    HandOver();
    CloseHandle(mutex);
    return 0;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int status = Run(instance);
  CoUninitialize();
  if (mutex) CloseHandle(mutex);
  return status;
}

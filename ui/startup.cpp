#include "ui/startup.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "dict/census.h"
#include "dict/freshness.h"
#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "platform/link.h"
#include "platform/registry.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "ui/mainwindow.h"

namespace kovant::ui {

std::optional<std::string> NoteProgramFolder(const platform::Registry& registry, const std::string& programFolder) {
  if (!registry.OpenKey(kSoftwareKey)) return std::nullopt;
  auto stored = registry.QueryValue(kSoftwareKey, kRunPathKey, 128);
  if (stored && settings::TrimAtNul(*stored) == settings::TrimAtNul(programFolder)) return std::string();
  if (registry.SetValue(kSoftwareKey, kRunPathKey, programFolder)) return std::string();
  // The program runs on: the note only helps other programs find it.
  return std::string(
      "レジストリにプログラムのフォルダを記録できないため、"
      "他のプログラムからぴこらんのフォルダが見つからないことがあります。");
}

bool HandOver(platform::Desktop& desktop) {
  static const std::string kPrefix = "ぴこらん";
  for (const platform::TopWindow& w : desktop.TopLevelWindows()) {
    if (w.caption.rfind(kPrefix, 0) == 0) {
      desktop.Activate(w.id);
      desktop.SendKey(platform::Key::CtrlF1);
      return true;
    }
  }
  return false;
}

int RunProgram(QApplication& app) {
  QApplication::setWindowIcon(ApplicationIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.kovant.kovant"));
  const platform::SessionBackends session = platform::MakeSessionBackends(platform::SettingsFolder());
  // Creation: a second start hands over and ends before touching anything.
  // Where the desktop shows us no windows, the running one is asked over
  // the link, with the token the launcher gave us to pass on.
  auto lock = platform::InstanceLock::Acquire();
  if (!lock) {
    if (!HandOver(*session.desktop)) {
      QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
      if (token.isEmpty()) token = qEnvironmentVariable("DESKTOP_STARTUP_ID");
      platform::RaiseRunningProgram(token);
    }
    return 0;
  }
  if (!lock->Trusted()) {
    std::fprintf(stderr,
                 "kovant: 二重起動を確認するためのファイル %s が使えないため、二重起動を確認せずに起動します。\n",
                 platform::InstanceLock::LockPath().c_str());
  }
  AppState state;
  auto choice = dict::ChooseDictionaryFolder(dict::LocalToday());
  state.ProgramFolder = std::move(choice.folder);
  state.PassedOver = std::move(choice.passedOver);
  state.SettingsFolder = platform::SettingsFolder();
  std::error_code ignored;  // a folder that cannot be made shows as settings not saved
  std::filesystem::create_directories(state.SettingsFolder, ignored);
  settings::MoveFormerSettings(state.SettingsFolder, platform::FormerSettingsFolders());
  state.desktop = session.desktop.get();
  state.clipboard = session.clipboard.get();

  const auto noted = NoteProgramFolder(platform::Registry(platform::Registry::DefaultRoot()), state.ProgramFolder);
  if (!noted) {
    ShowWarningBox(nullptr, QStringLiteral("レジストリを開くことができません。"));
    return 1;
  }
  if (!noted->empty()) ShowWarningBox(nullptr, QString::fromStdString(*noted));
  settings::LoadSettings(state.Settings, state.SettingsFolder, settings::kIniFileName);

  Kovant1 window(state);
  if (!window.Form_Load()) return 1;

  platform::LinkServer link(
      [&window](platform::LinkItem item, const QString& value) {
        (item == platform::LinkItem::Cmd ? window.Cmd : window.DistName)->setText(value);
      },
      [&window](platform::LinkItem item) -> QString {
        if (item == platform::LinkItem::Cmd) return window.Cmd->text();
        if (item == platform::LinkItem::DistName) return window.DistName->text();
        return window.Addr[static_cast<size_t>(platform::AddrIndex(item))]->text();
      });
  link.SetRaise([&window](const QString& token) { window.BringForward(token); });
  link.Register();  // without a session bus the program runs without the link
  QObject::connect(&window, &Kovant1::Answered, &link, &platform::LinkServer::Answered);

  window.show();
  const int status = app.exec();
  // The last copy stays on the clipboard after we are gone.
  session.clipboard->KeepAfterExit();
  return status;
}

}  // namespace kovant::ui

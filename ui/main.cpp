#include <QApplication>

#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/session.h"
#include "ui/startup.h"

int main(int argc, char** argv) {
  // The backends' helpers (the clipboard keeper) run without Qt.
  if (std::optional<int> status = kovant::platform::RunHelperMode(argc, argv)) return *status;
  // Answered before Qt starts: they need no window.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(
          "使い方: kovant [--help] [--version]\n"
          "  郵便番号から住所を、住所から郵便番号を引き、指定の形式でコピーするウィンドウを開きます。\n"
          "  すでに起動しているときは、そのウィンドウを前面に出して終わります。\n"
          "  コマンドラインからは kovant-lookup、ほかのプログラムからは kovant-link を使います。\n",
          stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kovant %s\n", KOVANT_VERSION);
      return 0;
    }
  }
  if (!kovant::platform::DesktopSessionReachable()) {
    std::fputs(
        "kovant: ウィンドウを表示できません。デスクトップのセッション（X11 または Wayland）の中で起動してください。\n",
        stderr);
    return 1;
  }
  QApplication app(argc, argv);
  return kovant::ui::RunProgram(app);
}

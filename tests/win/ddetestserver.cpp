// The link's server over a fake program: pokes are kept, and a call-up
// (a non-blank Cmd) is answered at once with a hand-written address, as if
// the user had pressed "コピー". With --no-answer call-ups stay unanswered.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <map>
#include <string>

#include "platform/win/ddelink.h"

using kovant::platform::DdeLinkServer;
using kovant::platform::LinkItem;

namespace {

constexpr UINT kAnswer = WM_APP + 1;

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// The user's pick: a hand-written address, the supplement naming the caller.
void FillAnswer(std::map<LinkItem, std::string>& items) {
  items[LinkItem::Addr0] = "123-45";
  items[LinkItem::Addr1] = "123-4567";
  items[LinkItem::Addr2] = "東京都";
  items[LinkItem::Addr3] = "見本市";
  items[LinkItem::Addr4] = "髙﨑町～一丁目";
  items[LinkItem::Addr5] = "①番地　" + items[LinkItem::DistName];
}

struct Options {
  bool answer = true;
  HANDLE parent = nullptr;  // the test that started it: it ends with it
};

Options Parse(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--no-answer") == 0) options.answer = false;
    if (std::wcscmp(argv[i], L"--parent") == 0 && i + 1 < argc) {
      options.parent = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10)));
    }
  }
  return options;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const Options options = Parse(argc, argv);
  const bool answer = options.answer;
  HANDLE parent = options.parent;
  std::map<LinkItem, std::string> items;
  const DWORD thread = GetCurrentThreadId();
  DdeLinkServer server(
      [&](LinkItem item, const std::string& text) {
        items[item] = text;
        // Answered later, from the message loop, as the window would.
        if (item == LinkItem::Cmd && !Blank(text)) {
          items[item].clear();
          if (answer) PostThreadMessageW(thread, kAnswer, 0, 0);
        }
      },
      [&](LinkItem item) { return items[item]; });
  if (std::string error = server.Start(); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  for (;;) {
    // Every message queued is handled before waiting again: the wait wakes
    // for new ones only.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      if (msg.message == kAnswer && !msg.hwnd) {
        FillAnswer(items);
        server.Answered();
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const DWORD woke = MsgWaitForMultipleObjects(parent ? 1 : 0, &parent, FALSE, INFINITE, QS_ALLINPUT);
    if (parent && woke == WAIT_OBJECT_0) return 0;
  }
}

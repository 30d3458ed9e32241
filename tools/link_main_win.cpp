// kovant-link.exe: asks the running program for an address over DDE, the
// way another application calls its window up, and prints the six answer
// texts (former code, code, prefecture, city, town, supplement) in UTF-8.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win/ddeclient.h"
#include "platform/win/ddelink.h"
#include "tools/link_options.h"

namespace {

using kovant::platform::DdeClient;
using namespace kovant::tools;

constexpr DWORD kCallTimeoutMs = 10000;  // one poke or request

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // UTF-8 out, byte for byte, whether to a console or a pipe.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(argv[i]));
  std::vector<const char*> pointers;
  for (const std::string& a : args) pointers.push_back(a.c_str());
  const LinkOptions options = ParseLinkOptions(argc, pointers.data());
  switch (options.action) {
    case LinkAction::Help: std::fputs(LinkUsageText().c_str(), stdout); return 0;
    case LinkAction::Version: std::printf("kovant-link %s\n", KOVANT_VERSION); return 0;
    case LinkAction::Usage: std::fputs((options.error + LinkUsageText()).c_str(), stderr); return 2;
    case LinkAction::Call: break;
  }

  DdeClient client;
  if (std::string error = client.Connect(kovant::platform::kDdeService, kovant::platform::kDdeTopic); !error.empty()) {
    return Fail(error, 2);
  }
  // Watch the answer before calling the window up, so it cannot be missed.
  if (std::string error = client.StartAdvise(AnswerItem(0), CF_UNICODETEXT, kCallTimeoutMs); !error.empty()) {
    return Fail(error, 2);
  }
  for (const auto& [item, value] : LinkPokes(options)) {
    if (std::string error = client.Poke(item, value, CF_UNICODETEXT, kCallTimeoutMs); !error.empty()) {
      return Fail(error, 2);
    }
  }
  if (!client.WaitAdvise(static_cast<DWORD>(options.timeoutSeconds * 1000))) {
    std::fputs(NoAnswerText(options.caption).c_str(), stderr);
    return 1;
  }
  for (int i = 0; i < kAnswerTexts; ++i) {
    std::string text;
    if (std::string error = client.Request(AnswerItem(i), CF_UNICODETEXT, kCallTimeoutMs, &text); !error.empty()) {
      return Fail(error, 2);
    }
    std::printf("%s\n", PrintableAnswer(text).c_str());
  }
  return 0;
}

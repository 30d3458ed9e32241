// kovant-link.exe: asks the running program for an address over DDE, the
// way another application calls its window up, and prints the six answer
// texts (former code, code, prefecture, city, town, supplement) in UTF-8.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform/win/ddeclient.h"
#include "platform/win/ddelink.h"

namespace {

using kovant::platform::DdeClient;

constexpr DWORD kCallTimeoutMs = 10000;  // one poke or request

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

int Usage(int status) {
  std::fputs(
      "使い方: kovant-link [--caption TEXT] [--timeout SECONDS]\n"
      "        kovant-link --version | --help\n"
      "  起動中のぴこらんを呼び出し、利用者が「コピー」を押すのを待って、\n"
      "  答えの 6 つのテキストを 1 行ずつ書きます。TEXT は答えのあとで\n"
      "  前面に出すウィンドウのタイトルの一部です（ふつうは呼び出し元自身の\n"
      "  ウィンドウ。そのタイトルのウィンドウがないと答えは返りません）。\n"
      "  SECONDS は待つ秒数（既定: 120）。\n"
      "終了状態: 0 答えあり、1 時間切れ、2 ぴこらんが起動していない・使い方の誤り\n",
      status == 0 ? stdout : stderr);
  return status;
}

// An answer as one line of bounded length: control characters (a line end
// would start a seventh line for the reader) escaped, the text cut at 4 KiB.
std::string Printable(const std::string& answer) {
  constexpr size_t kMaxBytes = 4096;
  std::string out;
  size_t i = 0;
  for (; i < answer.size() && i < kMaxBytes; ++i) {
    const auto u = static_cast<unsigned char>(answer[i]);
    if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else if (u == '\\') {
      out += "\\\\";
    } else {
      out += answer[i];
    }
  }
  if (i < answer.size()) {
    // Not in the middle of a character.
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
    out += "…";
  }
  return out;
}

struct Options {
  std::string caption;
  double timeoutSeconds = 120;
};

// -1 when the options are good, else the exit status.
int Parse(int argc, wchar_t** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--caption") == 0 && i + 1 < argc) {
      options->caption = Utf8(argv[++i]);
    } else if (std::wcscmp(argv[i], L"--timeout") == 0 && i + 1 < argc) {
      wchar_t* end = nullptr;
      options->timeoutSeconds = std::wcstod(argv[++i], &end);
      // A positive number of seconds within a day; nan and inf are no timeouts.
      const double t = options->timeoutSeconds;
      if (!end || *end || !(t > 0) || t > 86400) return Usage(2);
    } else if (std::wcscmp(argv[i], L"--help") == 0 || std::wcscmp(argv[i], L"-h") == 0) {
      return Usage(0);
    } else if (std::wcscmp(argv[i], L"--version") == 0) {
      std::printf("kovant-link %s\n", KOVANT_VERSION);
      return 0;
    } else {
      return Usage(2);
    }
  }
  return -1;
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
  Options options;
  if (const int status = Parse(argc, argv, &options); status >= 0) return status;

  DdeClient client;
  if (std::string error = client.Connect(kovant::platform::kDdeService, kovant::platform::kDdeTopic); !error.empty()) {
    return Fail(error, 2);
  }
  // Watch the answer before calling the window up, so it cannot be missed.
  if (std::string error = client.StartAdvise("Addr(0)", CF_UNICODETEXT, kCallTimeoutMs); !error.empty()) {
    return Fail(error, 2);
  }
  for (const auto& [item, value] : {std::pair<std::string, std::string>{"DistName", options.caption}, {"Cmd", "1"}}) {
    if (std::string error = client.Poke(item, value, CF_UNICODETEXT, kCallTimeoutMs); !error.empty()) {
      return Fail(error, 2);
    }
  }
  if (!client.WaitAdvise(static_cast<DWORD>(options.timeoutSeconds * 1000))) {
    std::fprintf(stderr, "応答がありませんでした。\n");
    // The window keeps the request while no window carries the caption
    // (it says so itself): the user can still act on it.
    if (!options.caption.empty()) {
      std::fprintf(stderr,
                   "タイトルに「%s」を含むウィンドウがないと、ぴこらんは答えを返しません。"
                   "そのウィンドウを開いてから「コピー」を押すか、--caption なしで実行してください。\n",
                   options.caption.c_str());
    }
    return 1;
  }
  for (int i = 0; i < 6; ++i) {
    std::string text;
    if (std::string error = client.Request("Addr(" + std::to_string(i) + ")", CF_UNICODETEXT, kCallTimeoutMs, &text);
        !error.empty()) {
      return Fail(error, 2);
    }
    std::printf("%s\n", Printable(text).c_str());
  }
  return 0;
}

#include "tools/link_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kovant::tools {

namespace {

constexpr double kMaxTimeoutSeconds = 86400;

// A positive number of seconds within a day; nan and inf are no timeouts.
bool ParseTimeout(const std::string& text, double* seconds) {
  char* end = nullptr;
  errno = 0;
  const double t = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !(t > 0) || t > kMaxTimeoutSeconds) return false;
  *seconds = t;
  return true;
}

}  // namespace

LinkOptions ParseLinkOptions(int argc, const char* const* argv) {
  LinkOptions o;
  auto wrong = [&o](std::string why) {
    o.action = LinkAction::Usage;
    o.error = "kovant-link: " + std::move(why) + "\n";
    return o;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return o.action = LinkAction::Help, o;
    if (arg == "--version") return o.action = LinkAction::Version, o;
    if (arg != "--caption" && arg != "--timeout") return wrong("知らないオプションです: " + arg);
    if (i + 1 >= argc) return wrong(arg + " の値がありません。");
    const std::string value = argv[++i];
    if (arg == "--caption") {
      o.caption = value;
    } else if (!ParseTimeout(value, &o.timeoutSeconds)) {
      return wrong("--timeout は 0 より大きく 86400 までの秒数です: " + value);
    }
  }
  return o;
}

std::string LinkUsageText() {
  return "使い方: kovant-link [--caption TEXT] [--timeout SECONDS]\n"
         "        kovant-link --version | --help\n"
         "  起動中のぴこらんを呼び出し、利用者が「コピー」を押すのを待って、\n"
         "  答えの 6 つのテキストを 1 行ずつ書きます。TEXT は答えのあとで\n"
         "  前面に出すウィンドウのタイトルの一部です（ふつうは呼び出し元自身の\n"
         "  ウィンドウ。そのタイトルのウィンドウがないと答えは返りません）。\n"
         "  SECONDS は待つ秒数（既定: 120）。\n"
         "終了状態: 0 答えあり、1 時間切れ、2 ぴこらんが起動していない・使い方の誤り\n";
}

std::vector<std::pair<std::string, std::string>> LinkPokes(const LinkOptions& options) {
  return {{"DistName", options.caption}, {"Cmd", "1"}};
}

std::string AnswerItem(int index) { return "Addr(" + std::to_string(index) + ")"; }

std::string PrintableAnswer(std::string_view text) {
  constexpr size_t kMaxCharacters = 4096;
  // The cut falls before the first character past the limit, never inside
  // one: a character starts at each byte that is no continuation byte.
  size_t cut = 0;
  for (size_t characters = 0; cut < text.size(); ++cut) {
    const bool starts = (static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80;
    if (starts && ++characters > kMaxCharacters) break;
  }
  std::string out;
  for (size_t i = 0; i < cut; ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else if (u == '\\') {
      out += "\\\\";
    } else {
      out += text[i];
    }
  }
  if (cut < text.size()) out += "…";
  return out;
}

std::string NoAnswerText(const std::string& caption) {
  std::string text = "応答がありませんでした。\n";
  // The window keeps the request while no window carries the caption (it
  // says so itself): the user can still act on it.
  if (!caption.empty()) {
    text += "タイトルに「" + caption +
            "」を含むウィンドウがないと、ぴこらんは答えを返しません。"
            "そのウィンドウを開いてから「コピー」を押すか、--caption なしで実行してください。\n";
  }
  return text;
}

}  // namespace kovant::tools

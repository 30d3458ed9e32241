// kovant-link's command line and answer lines, which its Linux and its
// Windows program share (built and run on both).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tools/link_options.h"

namespace kovant::tools {
namespace {

LinkOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "kovant-link");
  return ParseLinkOptions(static_cast<int>(args.size()), args.data());
}

TEST(LinkOptions, TakesTheCaptionAndTimeoutAndRefusesWhatIsWrong) {
  const LinkOptions plain = Parse({});
  EXPECT_EQ(plain.action, LinkAction::Call);
  EXPECT_EQ(plain.timeoutSeconds, 120);
  EXPECT_EQ(plain.caption, "");

  const LinkOptions both = Parse({"--timeout", "0.5", "--caption", "見積書 - メモ帳"});
  EXPECT_EQ(both.action, LinkAction::Call) << both.error;
  EXPECT_EQ(both.timeoutSeconds, 0.5);
  EXPECT_EQ(both.caption, "見積書 - メモ帳");
  EXPECT_EQ(Parse({"--timeout", "86400"}).timeoutSeconds, 86400);
  // A caption may look like an option: it is the value.
  EXPECT_EQ(Parse({"--caption", "--help"}).caption, "--help");

  for (const char* bad : {"0", "-1", "nan", "inf", "1e9", "86400.5", "x", "5s", "", "1e999"}) {
    const LinkOptions o = Parse({"--timeout", bad});
    EXPECT_EQ(o.action, LinkAction::Usage) << bad;
    EXPECT_NE(o.error.find("--timeout"), std::string::npos) << bad;
  }
  for (const char* option : {"--caption", "--timeout"}) {
    const LinkOptions o = Parse({option});
    EXPECT_EQ(o.action, LinkAction::Usage) << option;
    EXPECT_EQ(o.error, std::string("kovant-link: ") + option + " の値がありません。\n");
  }
  for (const char* unknown : {"--bogus", "-x", "caption", "--caption=x"}) {
    const LinkOptions o = Parse({unknown});
    EXPECT_EQ(o.action, LinkAction::Usage) << unknown;
    EXPECT_NE(o.error.find(unknown), std::string::npos) << o.error;
  }
  // --help and --version end the reading, whatever follows.
  EXPECT_EQ(Parse({"--caption", "x", "-h", "--bogus"}).action, LinkAction::Help);
  EXPECT_EQ(Parse({"--version", "--timeout", "0"}).action, LinkAction::Version);
  EXPECT_EQ(Parse({"--timeout", "0", "--help"}).action, LinkAction::Usage);
  const std::string usage = LinkUsageText();
  for (const char* named : {"--caption", "--timeout", "--version", "--help", "既定: 120"}) {
    EXPECT_NE(usage.find(named), std::string::npos) << named;
  }
}

TEST(LinkOptions, PokesTheCaptionBeforeTheCallAndAsksForSixTexts) {
  LinkOptions o;
  o.caption = "請求書";
  EXPECT_EQ(LinkPokes(o), (std::vector<std::pair<std::string, std::string>>{{"DistName", "請求書"}, {"Cmd", "1"}}));
  std::vector<std::string> items;
  for (int i = 0; i < kAnswerTexts; ++i) items.push_back(AnswerItem(i));
  EXPECT_EQ(items, (std::vector<std::string>{"Addr(0)", "Addr(1)", "Addr(2)", "Addr(3)", "Addr(4)", "Addr(5)"}));
  EXPECT_EQ(NoAnswerText(""), "応答がありませんでした。\n");
  EXPECT_NE(NoAnswerText("請求書").find("「請求書」を含むウィンドウ"), std::string::npos);
}

TEST(LinkOptions, AnAnswerIsOneBoundedLine) {
  EXPECT_EQ(PrintableAnswer("東京都"), "東京都");
  EXPECT_EQ(PrintableAnswer("a\nb\r\tc\x7F\\d"), "a\\x0Ab\\x0D\\x09c\\x7F\\\\d");
  EXPECT_EQ(PrintableAnswer(std::string(4096, 'a')), std::string(4096, 'a'));
  EXPECT_EQ(PrintableAnswer(std::string(4097, 'a')), std::string(4096, 'a') + "…");
  // 4,096 characters, whatever their length in bytes, cut before one and
  // never inside: "あ" is three bytes, "𠮷" four.
  auto times = [](std::string_view piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += piece;
    return s;
  };
  EXPECT_EQ(PrintableAnswer(times("あ", 4096)), times("あ", 4096));
  EXPECT_EQ(PrintableAnswer(times("あ", 5000)), times("あ", 4096) + "…");
  EXPECT_EQ(PrintableAnswer("a" + times("𠮷", 4096)), "a" + times("𠮷", 4095) + "…");
  // An escaped control character counts as the one character it is.
  EXPECT_EQ(PrintableAnswer("\n" + times("b", 4096)), "\\x0A" + times("b", 4095) + "…");
}

}  // namespace
}  // namespace kovant::tools

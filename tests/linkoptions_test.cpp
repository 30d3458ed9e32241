// kovant-link's command line and answer lines, which its Linux and its
// Windows program share (built and run on both).
#include <gtest/gtest.h>

#include <string>
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
  // Cut before a character, never inside one: 4096 bytes of "あ" end at
  // 1365 whole characters; one byte less than whole ones keeps them all.
  std::string kana;
  for (int i = 0; i < 2000; ++i) kana += "あ";
  std::string whole;
  for (int i = 0; i < 1365; ++i) whole += "あ";
  EXPECT_EQ(PrintableAnswer(kana), whole + "…");
  EXPECT_EQ(PrintableAnswer("a" + kana), "a" + whole + "…");
  EXPECT_EQ(PrintableAnswer(kana.substr(0, 4095)), kana.substr(0, 4095));
}

}  // namespace
}  // namespace kovant::tools

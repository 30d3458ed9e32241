#include <gtest/gtest.h>

#include "copy/compose.h"

using namespace kovant;
using settings::Settings;

namespace {

dict::CurrentResult Tokyo() {
  dict::CurrentResult r;
  r.OldCode = "100";
  r.NewCode = "100-0001";
  r.Address1 = "東京都";
  r.Address2 = "千代田区";
  r.Address3 = "千代田";
  return r;
}

std::string Compose(const Settings& s, const dict::CurrentResult& r = Tokyo(), int kind = 1) {
  return copy::ComposeCopyText(kind, r, s);
}

TEST(ComposeCopyText, DefaultsMarkWidthAndCodeKind) {
  Settings s = settings::DefaultSettings();
  EXPECT_EQ(Compose(s), "〒100-0001東京都千代田区千代田");
  s.NumType = 1;
  EXPECT_EQ(Compose(s), "〒１００-０００１東京都千代田区千代田");
  s.NumType = 0;
  s.MarkSet = 1;
  EXPECT_EQ(Compose(s), "100-0001東京都千代田区千代田");
  s.MarkSet = 2;  // any value but 0 means no mark
  EXPECT_EQ(Compose(s).substr(0, 3), "100");
}

TEST(ComposeCopyText, FormerCodePadding) {
  Settings s = settings::DefaultSettings();
  s.MarkSet = 1;
  auto r = Tokyo();
  // Three digits with the text separator: no separator, four blanks follow.
  EXPECT_EQ(Compose(s, r, 0), "100    東京都千代田区千代田");
  s.Sep[0] = 3;
  EXPECT_EQ(Compose(s, r, 0), "100     東京都千代田区千代田");
  s.Sep[0] = 4;
  r.OldCode = "123-45";
  EXPECT_EQ(Compose(s, r, 0), "123-45  東京都千代田区千代田");
  s.NumType = 1;
  EXPECT_EQ(Compose(s, r, 0), "１２３-４５　　東京都千代田区千代田");
}

TEST(ComposeCopyText, ItemOrder) {
  Settings s = settings::DefaultSettings();
  auto r = Tokyo();
  r.Supplement = "１－１";
  s.Seq = {"5", "4", "3", "2", "1"};
  EXPECT_EQ(Compose(s, r), "１－１千代田千代田区東京都〒100-0001");
  s.Seq = {"0", "0", "0", "0", "0"};
  EXPECT_EQ(Compose(s, r), "");
  // A later item overwrites an earlier one with the same position.
  s.Seq = {"1", "1", "0", "0", "0"};
  EXPECT_EQ(Compose(s, r), "東京都");
  s.Seq = {"1", "3", "0", "0", "0"};  // gaps are fine
  EXPECT_EQ(Compose(s, r), "〒100-0001東京都");
}

TEST(ComposeCopyText, Separators) {
  Settings s = settings::DefaultSettings();
  auto r = Tokyo();
  r.Address1 = "";
  s.Sep[2] = 3;
  EXPECT_EQ(Compose(s, r), "〒100-0001 千代田区千代田");
  s = settings::DefaultSettings();
  s.Sep[1] = 1;
  EXPECT_EQ(Compose(s), "〒100-0001\r\n東京都千代田区千代田");
  s = settings::DefaultSettings();
  s.Sep[5] = 2;
  EXPECT_EQ(Compose(s), "〒100-0001東京都千代田区千代田\t");
  s = settings::DefaultSettings();
  s.Sep[1] = 4;
  s.Sep[2] = 4;
  s.SepText[1] = "／";
  s.SepText[2] = "・";
  EXPECT_EQ(Compose(s), "〒100-0001／東京都・千代田区千代田");
}

TEST(ComposeCopyText, HandEditedValuesCountAsZero) {
  Settings s = settings::DefaultSettings();
  s.Seq = {"1", "7", "x", "", "-1"};
  EXPECT_EQ(Compose(s), "〒100-0001");
  s = settings::DefaultSettings();
  s.Sep[0] = 9;
  s.Sep[1] = -3;
  EXPECT_EQ(Compose(s), "〒1000001東京都千代田区千代田");
}

}  // namespace

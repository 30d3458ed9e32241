// Address lines found in blocks pasted whole, as hand-written signatures
// and letterheads hold them.
#include <gtest/gtest.h>

#include "dict/addressblock.h"

namespace kovant::test {
namespace {

TEST(AddressBlock, TheAddressLineOfASignatureWithoutCodeLabelsOrContactLines) {
  using dict::AddressInBlock;
  // One line stays as it is, whatever it holds.
  EXPECT_EQ(AddressInBlock("〒100-0001 東京都千代田区千代田1-1"), "〒100-0001 東京都千代田区千代田1-1");
  EXPECT_EQ(AddressInBlock("株式会社サンプル\n〒100-0001 東京都千代田区千代田1-1\nTEL 03-0000-0000"),
            "東京都千代田区千代田1-1");
  // The code on a line of its own, CR LF, blanks of both widths, a label.
  EXPECT_EQ(AddressInBlock("―――――――――\r\nサンプル町田工業（株）\r\n　〒１００－０００１\r\n"
                           "　住所：東京都千代田区千代田１－１　サンプルビル５Ｆ　\r\nＴＥＬ：03-0000-0000\r\n"),
            "東京都千代田区千代田１－１　サンプルビル５Ｆ");
  // Without a prefecture: the first line of a place with a number; the
  // company's "町" without one is passed over.
  EXPECT_EQ(AddressInBlock("町田商会\n府中市宮町1-2-3\nyamada@example.jp"), "府中市宮町1-2-3");
  // Broken after the city: the next line with the number joins it.
  EXPECT_EQ(AddressInBlock("〒100-0001\n東京都千代田区\n千代田1-1\n山田"), "東京都千代田区千代田1-1");
  EXPECT_EQ(AddressInBlock("東京都府中市\n山田 太郎\n"), "東京都府中市");
  // A mail or web line that names a place is no address.
  EXPECT_EQ(AddressInBlock("https://example.jp/東京都\n大阪府大阪市北区栄町1"), "大阪府大阪市北区栄町1");
  // Nothing like an address: the lines on one line, for the resolver to say why.
  EXPECT_EQ(AddressInBlock("山田\n\n太郎\n"), "山田 太郎");
}

}  // namespace
}  // namespace kovant::test

#include "base/Text.h"

#include <gtest/gtest.h>

namespace launcher {
namespace {

TEST(GbkText, CutsAndSearchesWholeCharactersOnly) {
  // 0x5C ("\") is a valid second byte in GBK: 0x955C is one character.
  const std::string text =
      "a\x95\x5C"
      "b\x95\x5C";
  EXPECT_EQ(GbkPrefixLength(text, 2), 1u);
  EXPECT_EQ(GbkPrefixLength(text, 3), 3u);
  EXPECT_EQ(GbkPrefixLength(text, 100), text.size());
  EXPECT_EQ(GbkFindLast(text, '\\'), std::string::npos);
  EXPECT_EQ(GbkFindLast("C:\\dir\\a\x95\x5C.exe", '\\'), 6u);
  EXPECT_EQ(GbkFindLast("x.y.z", '.'), 3u);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(GbkPrefixLength("ab\x95", 3), 3u);
}

TEST(GbkText, ConvertsBothWays) {
  const std::string gbk = Gbk("启动失败");
  EXPECT_EQ(gbk, "\xC6\xF4\xB6\xAF\xCA\xA7\xB0\xDC");
  EXPECT_EQ(GbkToUtf8(gbk), "启动失败");
  EXPECT_EQ(GbkToUtf8("ok\xFF"), "ok\xEF\xBF\xBD");
  std::size_t bad = 0;
  EXPECT_FALSE(Utf8ToGbk("ab😀", &bad));
  EXPECT_EQ(bad, 2u);
  EXPECT_FALSE(Utf8ToGbk("a\xC3", &bad));
  EXPECT_TRUE(IsValidUtf8("星辰"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));
  EXPECT_FALSE(IsValidUtf8(gbk));
}

}  // namespace
}  // namespace launcher

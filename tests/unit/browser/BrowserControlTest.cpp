#include "ui/Browser.h"

#include <gtest/gtest.h>

#include "base/Text.h"

namespace ui {
namespace {

TEST(PageText, ConvertsToTheModelCodePageAndNeverRefuses) {
  EXPECT_EQ(PageTextToGbk("abc"), "abc");
  EXPECT_EQ(PageTextToGbk("星辰-6"), launcher::Gbk("星辰-6"));
  // One "?" for each character GBK cannot hold, wherever it is.
  EXPECT_EQ(PageTextToGbk("😀星😀😀x"), "?" + launcher::Gbk("星") + "??x");
  // Broken bytes: one "?" each, and what follows still converts.
  EXPECT_EQ(PageTextToGbk("a\xFF"
                          "b"),
            "a?b");
  EXPECT_EQ(PageTextToGbk("a\xE6\x98"), "a??");
  EXPECT_EQ(PageTextToGbk(""), "");
}

}  // namespace
}  // namespace ui

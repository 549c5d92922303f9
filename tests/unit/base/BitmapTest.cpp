#include "base/Bitmap.h"

#include <gtest/gtest.h>

#include <climits>

namespace launcher {
namespace {

TEST(CopyBitmapPart, CopiesAndClipsWithoutReadingOutside) {
  Bitmap sheet;
  sheet.width = 4;
  sheet.height = 3;
  sheet.bitsPerPixel = 32;
  for (int i = 0; i < 12; ++i) {
    for (int c = 0; c < 4; ++c) {
      sheet.pixels.push_back(static_cast<std::uint8_t>(i * 10 + c));
    }
  }
  Bitmap part = CopyBitmapPart(sheet, 1, 1, 2, 2);
  ASSERT_EQ(part.width, 2);
  EXPECT_EQ(part.Pixel(0, 0)[0], 50);
  EXPECT_EQ(part.Pixel(1, 1)[3], 103);

  Bitmap clipped = CopyBitmapPart(sheet, 3, -1, 3, 3);
  ASSERT_EQ(clipped.width, 3);
  EXPECT_EQ(clipped.Pixel(0, 0)[3], 0) << "outside the source: transparent black";
  EXPECT_EQ(clipped.Pixel(0, 1)[0], 30);
  EXPECT_EQ(clipped.Pixel(1, 1)[0], 0);

  EXPECT_TRUE(CopyBitmapPart(sheet, 0, 0, 0, 5).Empty());
  EXPECT_TRUE(CopyBitmapPart(sheet, 0, 0, -2, 5).Empty());
  Bitmap far = CopyBitmapPart(sheet, INT_MAX - 1, INT_MAX - 1, 2, 2);
  EXPECT_EQ(far.width, 2);
  EXPECT_EQ(far.pixels, std::vector<std::uint8_t>(16, 0));
  EXPECT_TRUE(CopyBitmapPart(Bitmap{}, 0, 0, 2, 2).Empty());
}

}  // namespace
}  // namespace launcher

// Pixel conversions and the shapes built from pixels. Needs no display.
#include "ui/gtk/PixelOps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

namespace uitest {
namespace {

using namespace ui;
using namespace ui::gtk;

// How many times each pixel of a width x height area is covered by rects.
std::vector<int> Coverage(const std::vector<Rect>& rects, int width, int height) {
  std::vector<int> cover(static_cast<std::size_t>(width) * height, 0);
  for (const Rect& r : rects) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        ++cover[static_cast<std::size_t>(y) * width + x];
      }
    }
  }
  return cover;
}

TEST(PixelOpsTest, MaskRectanglesCoverExactlyTheMaskOnce) {
  std::mt19937 random(1234);
  for (int round = 0; round < 50; ++round) {
    const int width = 1 + static_cast<int>(random() % 40);
    const int height = 1 + static_cast<int>(random() % 30);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * height);
    // Blocks of repeated rows, as shaped pictures have, and noise.
    std::vector<std::uint8_t> row(width);
    for (int y = 0; y < height; ++y) {
      if (random() % 3 == 0) {
        for (auto& v : row) {
          v = random() % 2;
        }
      }
      std::copy(row.begin(), row.end(), mask.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    const std::vector<Rect> rects = MaskRects(mask, width, height);
    const std::vector<int> cover = Coverage(rects, width, height);
    for (std::size_t i = 0; i < mask.size(); ++i) {
      ASSERT_EQ(cover[i], mask[i]) << "round " << round << " pixel " << i;
    }
  }
}

TEST(PixelOpsTest, RepeatedRowsGrowOneRectangleAndAHoleSplitsRows) {
  // A 10 x 6 ring: full rows, then rows with a hole in the middle, then full rows.
  std::vector<std::uint8_t> mask(60, 1);
  for (int y = 2; y < 4; ++y) {
    for (int x = 3; x < 7; ++x) {
      mask[y * 10 + x] = 0;
    }
  }
  EXPECT_EQ(MaskRects(mask, 10, 6),
            (std::vector<Rect>{{0, 0, 10, 2}, {0, 2, 3, 4}, {7, 2, 10, 4}, {0, 4, 10, 6}}));
  EXPECT_TRUE(MaskRects(std::vector<std::uint8_t>(60, 0), 10, 6).empty());
}

TEST(PixelOpsTest, AlphaThresholdDecidesWhichPixelsCount) {
  Bitmap p;
  p.width = 4;
  p.height = 1;
  p.bitsPerPixel = 32;
  p.pixels = {0, 0, 0, 0, 9, 9, 9, 1, 9, 9, 9, 127, 9, 9, 9, 128};
  const AlphaShape shape = AlphaRects(p, 128);
  EXPECT_EQ(shape.shown, (std::vector<Rect>{{1, 0, 4, 1}}));
  EXPECT_EQ(shape.opaque, (std::vector<Rect>{{3, 0, 4, 1}}));
  p.bitsPerPixel = 24;
  p.pixels.resize(12);
  EXPECT_EQ(AlphaRects(p, 255).opaque, (std::vector<Rect>{{0, 0, 4, 1}}));
}

TEST(PixelOpsTest, PremultipliedSurfaceHoldsCairosWords) {
  Bitmap p;
  p.width = 3;
  p.height = 1;
  p.bitsPerPixel = 32;
  p.pixels = {255, 128, 0, 128, 10, 20, 30, 255, 200, 200, 200, 0};
  SurfacePtr s = MakePremultipliedSurface(p, {0, 0, 3, 1});
  ASSERT_TRUE(s);
  const auto* words = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s.get()));
  EXPECT_EQ(words[0], 0x80804000u);
  EXPECT_EQ(words[1], 0xFF0A141Eu);
  EXPECT_EQ(words[2], 0u);
  // Converting again into the same surface reuses it; another size replaces it.
  SurfacePtr target = MakePremultipliedSurface(p, {0, 0, 1, 1});
  ASSERT_TRUE(PremultiplyInto(p, &target));
  EXPECT_EQ(cairo_image_surface_get_width(target.get()), 3);
  cairo_surface_t* kept = target.get();
  p.pixels[7] = 0;
  ASSERT_TRUE(PremultiplyInto(p, &target));
  EXPECT_EQ(target.get(), kept);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(kept))[1], 0u);
  // A part outside the picture gives nothing; a part across its edge is clipped.
  EXPECT_FALSE(MakePremultipliedSurface(p, {3, 0, 5, 1}));
  SurfacePtr part = MakeOpaqueSurface(p, {2, -1, 9, 4});
  ASSERT_TRUE(part);
  EXPECT_EQ(cairo_image_surface_get_width(part.get()), 1);
  EXPECT_EQ(cairo_image_surface_get_height(part.get()), 1);
}

TEST(PixelOpsTest, KeyMaskMarksEveryPixelNotInTheKeyColour) {
  SurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 2));
  CairoPtr cr(cairo_create(s.get()));
  cairo_set_source_rgb(cr.get(), 0, 1, 0);
  cairo_paint(cr.get());
  cairo_set_source_rgb(cr.get(), 0, 254 / 255.0, 0);  // one step off the key: shown
  cairo_rectangle(cr.get(), 1, 0, 1, 1);
  cairo_fill(cr.get());
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  cairo_rectangle(cr.get(), 3, 1, 1, 1);
  cairo_fill(cr.get());
  std::vector<std::uint8_t> mask;
  NonKeyMask(s.get(), 0x00FF00u, &mask);
  EXPECT_EQ(mask, (std::vector<std::uint8_t>{0, 1, 0, 0, 0, 0, 0, 1}));

  // Repainted: only the area looked at counts, and only a real change is one.
  cairo_set_source_rgb(cr.get(), 1, 0, 0);
  cairo_rectangle(cr.get(), 0, 1, 2, 1);
  cairo_fill(cr.get());
  EXPECT_FALSE(UpdateNonKeyMask(s.get(), 0x00FF00u, {2, 0, 4, 2}, &mask));
  EXPECT_TRUE(UpdateNonKeyMask(s.get(), 0x00FF00u, {0, 1, 1, 2}, &mask));
  EXPECT_EQ(mask, (std::vector<std::uint8_t>{0, 1, 0, 0, 1, 0, 0, 1}));
  EXPECT_TRUE(UpdateNonKeyMask(s.get(), 0x00FF00u, {0, 0, 4, 2}, &mask));
  EXPECT_EQ(mask, (std::vector<std::uint8_t>{0, 1, 0, 0, 1, 1, 0, 1}));
  EXPECT_FALSE(UpdateNonKeyMask(s.get(), 0x00FF00u, {0, 0, 4, 2}, &mask));
}

}  // namespace
}  // namespace uitest

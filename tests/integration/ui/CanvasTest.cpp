// The cairo canvas on an image surface: what each drawing operation leaves in the pixels.
// Needs no display.
#include <gtest/gtest.h>

#include <cstddef>

#include "base/Text.h"
#include "ui/Canvas.h"
#include "ui/Window.h"
#include "ui/gtk/CairoCanvas.h"

namespace uitest {
namespace {

using namespace ui;
using launcher::Gbk;
using ui::gtk::CairoCanvas;

// A white 64 x 48 image with a canvas on it.
class CanvasTest : public ::testing::Test {
 protected:
  CanvasTest()
      : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight)),
        cr_(cairo_create(surface_.get())) {
    cairo_set_source_rgb(cr_.get(), 1, 1, 1);
    cairo_paint(cr_.get());
  }

  // 0xRRGGBB of a pixel.
  std::uint32_t At(int x, int y) {
    cairo_surface_flush(surface_.get());
    const unsigned char* data = cairo_image_surface_get_data(surface_.get());
    const int stride = cairo_image_surface_get_stride(surface_.get());
    return reinterpret_cast<const std::uint32_t*>(data +
                                                  static_cast<std::ptrdiff_t>(y) * stride)[x] &
           0xFFFFFFu;
  }
  int CountOf(std::uint32_t color, const Rect& in) {
    int n = 0;
    for (int y = in.top; y < in.bottom; ++y) {
      for (int x = in.left; x < in.right; ++x) {
        n += At(x, y) == color ? 1 : 0;
      }
    }
    return n;
  }
  // Bounding box of the pixels that are not white.
  Rect Ink() {
    Rect box{kWidth, kHeight, 0, 0};
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (At(x, y) == 0xFFFFFFu) {
          continue;
        }
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
               std::max(box.bottom, y + 1)};
      }
    }
    return box;
  }

  static constexpr int kWidth = 64;
  static constexpr int kHeight = 48;
  gtk::SurfacePtr surface_;
  gtk::CairoPtr cr_;
};

Bitmap Picture(int width, int height, int bitsPerPixel, std::vector<std::uint8_t> pixels) {
  Bitmap b;
  b.width = width;
  b.height = height;
  b.bitsPerPixel = bitsPerPixel;
  b.pixels = std::move(pixels);
  return b;
}

TEST_F(CanvasTest, BitmapCopiesAPartStretchedByNearestPixelIgnoringAlpha) {
  // Three columns: red, green, blue; the alpha says transparent but a copy is opaque.
  const Bitmap p = Picture(3, 1, 32, {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0});
  {
    CairoCanvas canvas(cr_.get());
    canvas.DrawBitmap(p, {1, 0, 3, 1}, {10, 10, 30, 20});  // green, blue doubled in width
  }
  EXPECT_EQ(At(10, 10), 0x00FF00u);
  EXPECT_EQ(At(19, 19), 0x00FF00u);
  EXPECT_EQ(At(20, 10), 0x0000FFu);
  EXPECT_EQ(At(29, 19), 0x0000FFu);
  EXPECT_EQ(At(30, 10), 0xFFFFFFu);
  EXPECT_EQ(At(10, 20), 0xFFFFFFu);
  EXPECT_EQ(At(9, 10), 0xFFFFFFu);
  EXPECT_EQ(CountOf(0xFF0000u, {0, 0, kWidth, kHeight}), 0) << "red was outside src";
}

TEST_F(CanvasTest, BlendUsesStraightAlpha) {
  // Pure red at half alpha over white gives pink, not the darker red a premultiplied reading
  // of the same bytes would give.
  const Bitmap p = Picture(2, 1, 32, {255, 0, 0, 128, 0, 0, 255, 0});
  {
    CairoCanvas canvas(cr_.get());
    canvas.BlendBitmap(p, {0, 0, 2, 1}, {0, 0, 2, 1});
  }
  const std::uint32_t pink = At(0, 0);
  EXPECT_EQ(pink >> 16, 0xFFu);
  EXPECT_NEAR(static_cast<int>((pink >> 8) & 0xFF), 127, 1);
  EXPECT_NEAR(static_cast<int>(pink & 0xFF), 127, 1);
  EXPECT_EQ(At(1, 0), 0xFFFFFFu) << "alpha 0 leaves the content";
}

TEST_F(CanvasTest, MaskShowsThePictureWhereBlackAndKeepsTheContentWhereWhite) {
  const Bitmap p = Picture(2, 1, 24, {255, 0, 0, 0, 0, 255});
  const Bitmap mask = Picture(2, 1, 24, {0, 0, 0, 255, 255, 255});
  {
    CairoCanvas canvas(cr_.get());
    canvas.FillRect({0, 0, kWidth, kHeight}, Rgb(0, 255, 0));
    canvas.DrawMasked(p, mask, {4, 4, 12, 8}, false);  // natural size: 2 x 1
    canvas.DrawMasked(p, mask, {20, 20, 40, 30}, true);
  }
  EXPECT_EQ(At(4, 4), 0xFF0000u);
  EXPECT_EQ(At(5, 4), 0x00FF00u);
  EXPECT_EQ(At(4, 5), 0x00FF00u) << "natural size: nothing below the picture";
  EXPECT_EQ(At(20, 20), 0xFF0000u);
  EXPECT_EQ(At(29, 29), 0xFF0000u);
  EXPECT_EQ(At(30, 20), 0x00FF00u);
  EXPECT_EQ(At(39, 29), 0x00FF00u);
}

TEST_F(CanvasTest, EdgesAreTwoPixelBevelsLightOnTheLitSide) {
  {
    CairoCanvas canvas(cr_.get());
    canvas.FillRect({0, 0, kWidth, kHeight}, Rgb(240, 240, 240));
    canvas.DrawEdge({0, 0, 20, 20}, EdgeKind::kRaised);
    canvas.DrawEdge({30, 0, 50, 20}, EdgeKind::kSunken);
  }
  auto luminance = [this](int x, int y) { return static_cast<int>(At(x, y) & 0xFF); };
  // Raised: top-left lighter than bottom-right, on both rings; the face is untouched.
  EXPECT_GT(luminance(5, 0), luminance(5, 19));
  EXPECT_GT(luminance(5, 1), luminance(5, 18));
  EXPECT_GT(luminance(0, 5), luminance(19, 5));
  EXPECT_EQ(At(10, 10), 0xF0F0F0u);
  EXPECT_EQ(At(19, 0), At(19, 5)) << "the far corner belongs to the dark side";
  // Sunken: the other way round.
  EXPECT_LT(luminance(35, 0), luminance(35, 19));
  EXPECT_LT(luminance(35, 1), luminance(35, 18));
  EXPECT_EQ(At(40, 10), 0xF0F0F0u);
}

TEST_F(CanvasTest, FocusRectangleIsDottedAndUndoneByDrawingItAgain) {
  CairoCanvas canvas(cr_.get());
  canvas.FillRect({0, 0, kWidth, kHeight}, Rgb(200, 100, 50));
  canvas.DrawFocusRect({10, 10, 30, 20});
  cairo_surface_flush(surface_.get());
  EXPECT_NE(At(10, 10), 0xC86432u);
  EXPECT_EQ(At(11, 10), 0xC86432u);
  EXPECT_NE(At(12, 10), 0xC86432u);
  EXPECT_EQ(At(20, 15), 0xC86432u) << "inside stays";
  canvas.DrawFocusRect({10, 10, 30, 20});
  EXPECT_EQ(CountOf(0xC86432u, {0, 0, kWidth, kHeight}), kWidth * kHeight);
}

TEST_F(CanvasTest, SaveMovesTheOriginAndClipsUntilRestored) {
  {
    CairoCanvas canvas(cr_.get());
    canvas.Save({10, 5}, {10, 5, 30, 25});
    canvas.FillRect({0, 0, 100, 100}, Rgb(0, 0, 255));  // clipped to the saved rectangle
    canvas.Save({0, 0}, {0, 0, 20, 20});
    canvas.ClipRegion(Region{{{0, 0, 5, 5}, {15, 15, 20, 20}}});
    canvas.FillRect({0, 0, 20, 20}, Rgb(255, 0, 0));
    canvas.Restore();
    canvas.Restore();
    canvas.FillRect({0, 0, 2, 2}, Rgb(0, 255, 0));  // back at the origin, unclipped
  }
  EXPECT_EQ(
      CountOf(0x0000FFu, {0, 0, kWidth, kHeight}) + CountOf(0xFF0000u, {0, 0, kWidth, kHeight}),
      20 * 20);
  EXPECT_EQ(CountOf(0xFF0000u, {0, 0, kWidth, kHeight}), 2 * 25);
  EXPECT_EQ(At(10, 5), 0xFF0000u);
  EXPECT_EQ(At(29, 24), 0xFF0000u);
  EXPECT_EQ(At(20, 15), 0x0000FFu);
  EXPECT_EQ(At(0, 0), 0x00FF00u);
}

TEST_F(CanvasTest, CentredTextSitsInTheMiddleOfItsRectangleAndStaysInside) {
  const Rect box{4, 8, 60, 40};
  {
    // Through the framework's canvas, as a window paints: the model's text on its way to Pango.
    CairoCanvas cairo(cr_.get());
    Canvas canvas(cairo);
    canvas.DrawText(launcher::Gbk("登录"), box, kDtCenter | kDtVCenter | kDtSingleLine,
                    Rgb(0, 0, 0), FontKind::kMenu);
  }
  const Rect ink = Ink();
  ASSERT_FALSE(ink.Empty()) << "the ideographs were drawn";
  EXPECT_EQ(ink.Intersect(box), ink);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, (box.left + box.right) / 2.0, 2.0);
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, (box.top + box.bottom) / 2.0, 3.0);
  const Size measured = MeasureText(launcher::Gbk("登录"), FontKind::kMenu);
  EXPECT_LE(ink.Width(), measured.cx);
  EXPECT_LE(ink.Height(), measured.cy);
}

TEST_F(CanvasTest, TextIsClippedToItsRectangle) {
  {
    CairoCanvas canvas(cr_.get());
    canvas.DrawText("WWWWWWWWWWWW", {10, 10, 30, 30}, kDtLeft | kDtSingleLine, Rgb(0, 0, 0),
                    FontKind::kGuiBold);
    canvas.TextOut(0, 32, "x", Rgb(255, 0, 0), FontKind::kGui);
  }
  EXPECT_EQ(CountOf(0xFFFFFFu, {30, 0, kWidth, 31}), (kWidth - 30) * 31);
  EXPECT_GT(CountOf(0xFFFFFFu, {10, 10, 30, 30}), 0);
  EXPECT_LT(CountOf(0xFFFFFFu, {10, 10, 30, 30}), 20 * 20);
  EXPECT_LT(CountOf(0xFFFFFFu, {0, 32, 12, kHeight}), 12 * (kHeight - 32)) << "TextOut drew";
}

}  // namespace
}  // namespace uitest

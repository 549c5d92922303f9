// Pixel conversions between the skin's pictures and cairo's image surfaces, and the shapes that
// follow from pixels. Pure: no display needed, any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Bitmap.h"
#include "ui/Geometry.h"
#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

using launcher::Bitmap;

// The part src of picture (clipped to it) as a new image surface of src's clipped size: RGB24
// when opaque (the picture's alpha, if any, is ignored), premultiplied ARGB32 otherwise (a
// 24-bit picture comes out fully opaque). Null when nothing of src lies in the picture or the
// surface cannot be made.
SurfacePtr MakeOpaqueSurface(const Bitmap& picture, const Rect& src);
SurfacePtr MakePremultipliedSurface(const Bitmap& picture, const Rect& src);
// The whole picture, premultiplied, into *target, which is reused when it already is an ARGB32
// surface of the picture's size (a fresh one would cost its page faults on every update) and
// replaced otherwise. False, with *target untouched, when no surface could be made.
bool PremultiplyInto(const Bitmap& picture, SurfacePtr* target);

// Premultiplies one straight-alpha pixel into cairo's native 0xAARRGGBB word.
inline std::uint32_t Premultiply(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  auto mul = [a](std::uint32_t c) {
    std::uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;  // c * a / 255, rounded
  };
  return (std::uint32_t{a} << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

// Collects the pixels of a width x height mask where a test holds as rectangles: one per
// horizontal run, and runs that repeat unchanged in the following rows grow down instead of
// starting new rectangles (a shaped picture is mostly such rows). Rows are fed top to bottom.
class RunCollector {
 public:
  explicit RunCollector(int width) : width_(width) {}
  // inside(x) tells whether pixel x of row y is in the shape.
  template <typename Inside>
  void AddRow(int y, Inside&& inside) {
    current_.clear();
    int x = 0;
    while (x < width_) {
      while (x < width_ && !inside(x)) {
        ++x;
      }
      if (x == width_) {
        break;
      }
      int start = x;
      while (x < width_ && inside(x)) {
        ++x;
      }
      current_.push_back({start, x});
    }
    EndRow(y);
  }
  // The rectangles so far (call after the last row).
  std::vector<Rect> Finish();

 private:
  struct Run {
    int left;
    int right;
    bool operator==(const Run&) const = default;
  };
  void EndRow(int y);

  int width_;
  std::vector<Run> current_;
  std::vector<Run> open_;
  int openTop_ = 0;
  int nextRow_ = 0;
  std::vector<Rect> rects_;
};

// The pixels of a 32-bit picture that show at all (alpha above 0) and those at least minAlpha
// opaque, found in one pass. A picture without alpha is its whole rectangle for both.
struct AlphaShape {
  std::vector<Rect> shown;
  std::vector<Rect> opaque;
};
AlphaShape AlphaRects(const Bitmap& picture, std::uint8_t minAlpha);

// One byte per pixel of an ARGB32 or RGB24 image surface: 1 where the colour is not key
// (0x00RRGGBB), 0 where it is. Rows top to bottom, no padding.
void NonKeyMask(cairo_surface_t* surface, std::uint32_t keyRgb, std::vector<std::uint8_t>* mask);
// Brings such a mask up to date within area only (a paint's damage); a mask of another size is
// made anew from the whole surface. True when any byte changed.
bool UpdateNonKeyMask(cairo_surface_t* surface, std::uint32_t keyRgb, const Rect& area,
                      std::vector<std::uint8_t>* mask);
// The pixels of such a mask that are 1.
std::vector<Rect> MaskRects(const std::vector<std::uint8_t>& mask, int width, int height);

// A cairo region holding the rectangles (empty when there are none).
RegionPtr RegionFromRects(const std::vector<Rect>& rects);

}  // namespace ui::gtk

// Pictures as the windows draw them: pixels exactly as the PNG decoder (config/Png.h) gave them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace launcher {

// Rows top to bottom, no padding. 24 bits: R, G, B. 32 bits: R, G, B, A with straight (not
// premultiplied) alpha.
struct Bitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // 24 or 32; 0 while empty
  std::vector<std::uint8_t> pixels;

  bool Empty() const { return width <= 0 || height <= 0; }
  bool HasAlpha() const { return bitsPerPixel == 32; }
  int BytesPerPixel() const { return bitsPerPixel / 8; }
  std::size_t Stride() const { return static_cast<std::size_t>(width) * BytesPerPixel(); }
  const std::uint8_t* Pixel(int x, int y) const {
    return pixels.data() + static_cast<std::size_t>(y) * Stride() +
           static_cast<std::size_t>(x) * BytesPerPixel();
  }
};

// Largest picture we decode, on each side and in all; a skin needs far less, and a lying header
// must not make us allocate gigabytes.
constexpr int kMaxPictureSide = 16384;
constexpr std::int64_t kMaxPicturePixels = 64ll << 20;

// A copy of the rectangle (left, top, width, height) of source, in source's pixel format. Parts
// of the rectangle outside the source come out as zero bytes (black, fully transparent); a
// rectangle with no area gives an empty bitmap.
Bitmap CopyBitmapPart(const Bitmap& source, int left, int top, int width, int height);

}  // namespace launcher

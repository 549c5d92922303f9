#include "base/Bitmap.h"

#include <algorithm>
#include <cstring>

namespace launcher {

Bitmap CopyBitmapPart(const Bitmap& source, int left, int top, int width, int height) {
  Bitmap part;
  if (width <= 0 || height <= 0 || source.bitsPerPixel == 0) {
    return part;
  }
  if (static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
    return part;
  }
  part.width = width;
  part.height = height;
  part.bitsPerPixel = source.bitsPerPixel;
  part.pixels.assign(part.Stride() * height, 0);
  // The overlap of the wanted rectangle with the source, in 64 bits so that no sum overflows.
  std::int64_t x0 = std::max<std::int64_t>(left, 0);
  std::int64_t y0 = std::max<std::int64_t>(top, 0);
  std::int64_t x1 = std::min<std::int64_t>(static_cast<std::int64_t>(left) + width, source.width);
  std::int64_t y1 = std::min<std::int64_t>(static_cast<std::int64_t>(top) + height, source.height);
  if (x0 >= x1 || y0 >= y1) {
    return part;
  }
  const int bpp = source.BytesPerPixel();
  const std::size_t rowBytes = static_cast<std::size_t>(x1 - x0) * bpp;
  for (std::int64_t y = y0; y < y1; ++y) {
    std::memcpy(part.pixels.data() + static_cast<std::size_t>(y - top) * part.Stride() +
                    static_cast<std::size_t>(x0 - left) * bpp,
                source.Pixel(static_cast<int>(x0), static_cast<int>(y)), rowBytes);
  }
  return part;
}

}  // namespace launcher

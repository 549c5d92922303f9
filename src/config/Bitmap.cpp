#include "config/Bitmap.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace launcher {

bool DecodePng(const std::uint8_t* data, std::size_t size, Bitmap* out) {
  *out = Bitmap{};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide ||
      image.height > kMaxPictureSide ||
      static_cast<std::int64_t>(image.width) * image.height > kMaxPicturePixels) {
    png_image_free(&image);
    return false;
  }
  // Colour type 2 stays 24-bit; alpha (or tRNS) gives 32-bit straight alpha. Grey and palette
  // pictures expand to the same two forms.
  bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  Bitmap result;
  result.width = static_cast<int>(image.width);
  result.height = static_cast<int>(image.height);
  result.bitsPerPixel = alpha ? 32 : 24;
  result.pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  *out = std::move(result);
  return true;
}

Bitmap CopyBitmapPart(const Bitmap& source, int left, int top, int width, int height) {
  Bitmap part;
  if (width <= 0 || height <= 0 || source.bitsPerPixel == 0) return part;
  if (static_cast<std::int64_t>(width) * height > kMaxPicturePixels) return part;
  part.width = width;
  part.height = height;
  part.bitsPerPixel = source.bitsPerPixel;
  part.pixels.assign(part.Stride() * height, 0);
  // The overlap of the wanted rectangle with the source, in 64 bits so that no sum overflows.
  std::int64_t x0 = std::max<std::int64_t>(left, 0);
  std::int64_t y0 = std::max<std::int64_t>(top, 0);
  std::int64_t x1 = std::min<std::int64_t>(static_cast<std::int64_t>(left) + width, source.width);
  std::int64_t y1 = std::min<std::int64_t>(static_cast<std::int64_t>(top) + height, source.height);
  if (x0 >= x1 || y0 >= y1) return part;
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

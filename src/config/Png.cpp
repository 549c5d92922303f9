#include "config/Png.h"

#include <png.h>

#include <cstring>

namespace launcher {

namespace {

struct PngSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->size - source->position) {
    png_error(png, "truncated");
  }
  std::memcpy(out, source->data + source->position, length);
  source->position += length;
}

void OnPngWarning(png_structp, png_const_charp) {}

// The libpng read structures, released on every path out of DecodePng.
struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t size, Bitmap* out) {
  *out = Bitmap{};
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    return false;
  }
  PngReader reader;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, OnPngWarning);
  if (!reader.png) {
    return false;
  }
  reader.info = png_create_info_struct(reader.png);
  if (!reader.info) {
    return false;
  }
  PngSource source{data, size, 0};
  Bitmap result;
  std::vector<png_bytep> rows;
  // libpng reports errors by longjmp; nothing with a destructor is created between here and a
  // jump except what lives outside this frame (reader, result, rows).
  if (setjmp(png_jmpbuf(reader.png))) {
    return false;
  }
  png_set_read_fn(reader.png, &source, ReadFromMemory);
  png_read_info(reader.png, reader.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  png_get_IHDR(reader.png, reader.info, &width, &height, &bitDepth, &colorType, nullptr, nullptr,
               nullptr);
  if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
    return false;
  }
  // Colour type 2 stays 24-bit; an alpha channel or a transparent colour gives 32-bit straight
  // alpha. Grey and palette pictures expand to the same two forms; 16-bit samples drop to 8.
  bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 ||
               png_get_valid(reader.png, reader.info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_palette_to_rgb(reader.png);
  }
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
    png_set_expand_gray_1_2_4_to_8(reader.png);
  }
  if (png_get_valid(reader.png, reader.info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(reader.png);
  }
  if (bitDepth == 16) {
    png_set_strip_16(reader.png);
  }
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) {
    png_set_gray_to_rgb(reader.png);
  }
  png_set_interlace_handling(reader.png);
  png_read_update_info(reader.png, reader.info);
  if (png_get_rowbytes(reader.png, reader.info) !=
      static_cast<png_size_t>(width) * (alpha ? 4u : 3u)) {
    return false;
  }

  result.width = static_cast<int>(width);
  result.height = static_cast<int>(height);
  result.bitsPerPixel = alpha ? 32 : 24;
  result.pixels.resize(result.Stride() * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    rows[y] = result.pixels.data() + y * result.Stride();
  }
  png_read_image(reader.png, rows.data());
  png_read_end(reader.png, nullptr);
  *out = std::move(result);
  return true;
}

namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// The libpng write structures, released on every path out of EncodePng.
struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWriter() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

}  // namespace

std::vector<std::uint8_t> EncodePng(const Bitmap& picture) {
  std::vector<std::uint8_t> out;
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32) ||
      picture.pixels.size() < picture.Stride() * static_cast<std::size_t>(picture.height)) {
    return out;
  }
  PngWriter writer;
  writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, OnPngWarning);
  if (!writer.png) {
    return out;
  }
  writer.info = png_create_info_struct(writer.png);
  if (!writer.info) {
    return out;
  }
  std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(
        picture.pixels.data() + static_cast<std::size_t>(y) * picture.Stride());
  }
  // Errors jump back here; what lives across the jump is outside this frame's new objects.
  if (setjmp(png_jmpbuf(writer.png))) {
    return {};
  }
  png_set_write_fn(writer.png, &out, WriteToVector, FlushNothing);
  png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), 8,
               picture.HasAlpha() ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(writer.png, writer.info, rows.data());
  png_write_png(writer.png, writer.info, PNG_TRANSFORM_IDENTITY, nullptr);
  return out;
}

}  // namespace launcher

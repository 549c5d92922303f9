// The skin's pictures on Windows: GDI+ decodes them. What it is given and what comes out are
// made to match the other platforms' decoder (Png.cpp): only PNG, the same size bounds, the same
// pixel layout, and no colour correction (the chunks that would ask GDI+ for one are left out).
#include <windows.h>
// After windows.h, which the GDI+ headers expect to come first.
#include <gdiplus.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <string_view>

#include "config/Png.h"

namespace launcher {
namespace {

namespace gp = Gdiplus::DllExports;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// GDI+ started once for the process and never shut down: pictures are decoded until the end,
// from any thread, and a shutdown would pull it from under a thread still decoding.
bool StartGdiplus() {
  static const bool started = [] {
    Gdiplus::GdiplusStartupInput input;  // version 1, nothing suppressed
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return started;
}

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

// What the chunk walk learnt of a PNG before anything is decoded.
struct PngFacts {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool alpha = false;
  // The file as GDI+ gets it: every chunk up to IEND but those of colour correction.
  std::string bytes;
};

// Walks the chunks from the signature to IEND as the other decoder reads them: the header
// first, whole chunks, critical chunks with a correct checksum. False for anything else.
bool ReadChunks(const std::uint8_t* data, std::size_t size, PngFacts* facts) {
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) {
    return false;
  }
  facts->bytes.assign(reinterpret_cast<const char*>(data), 8);
  std::size_t pos = 8;
  bool first = true;
  bool seenData = false;
  for (;;) {
    if (size - pos < 12) {
      return false;
    }
    const std::uint32_t length = ReadBigEndian32(data + pos);
    if (length > 0x7FFFFFFFu || size - pos - 12 < length) {
      return false;
    }
    const std::uint8_t* type = data + pos + 4;
    const std::uint8_t* body = type + 4;
    const std::string_view name(reinterpret_cast<const char*>(type), 4);
    const bool critical = (type[0] & 0x20) == 0;
    if (critical && crc32(crc32(0, type, 4), body, length) != ReadBigEndian32(body + length)) {
      return false;
    }
    if (first) {
      if (name != "IHDR" || length != 13) {
        return false;
      }
      facts->width = ReadBigEndian32(body);
      facts->height = ReadBigEndian32(body + 4);
      const std::uint8_t colorType = body[9];
      if (colorType != 0 && colorType != 2 && colorType != 3 && colorType != 4 && colorType != 6) {
        return false;
      }
      facts->alpha = (colorType & 4) != 0;
      first = false;
    } else if (name == "IDAT") {
      seenData = true;
    } else if (name == "tRNS" && !seenData) {
      facts->alpha = true;
    }
    const std::size_t chunkSize = 12 + static_cast<std::size_t>(length);
    if (name != "gAMA" && name != "cHRM" && name != "sRGB" && name != "iCCP") {
      facts->bytes.append(reinterpret_cast<const char*>(data + pos), chunkSize);
    }
    pos += chunkSize;
    if (name == "IEND") {
      return seenData;
    }
  }
}

// Owns a GDI+ bitmap.
struct GdipBitmap {
  Gdiplus::GpBitmap* bitmap = nullptr;
  ~GdipBitmap() {
    if (bitmap) {
      gp::GdipDisposeImage(bitmap);
    }
  }
};

// Owns a COM stream.
struct Stream {
  IStream* stream = nullptr;
  ~Stream() {
    if (stream) {
      stream->Release();
    }
  }
};

// A stream over a copy of bytes, owned by the stream.
bool MakeStream(const std::string& bytes, Stream* out) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) {
    return false;
  }
  void* p = GlobalLock(memory);
  if (!p) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(p, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &out->stream))) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t size, Bitmap* out) {
  *out = Bitmap{};
  PngFacts facts;
  if (!data || !ReadChunks(data, size, &facts)) {
    return false;
  }
  const std::uint32_t width = facts.width;
  const std::uint32_t height = facts.height;
  if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
    return false;
  }
  Stream stream;
  GdipBitmap decoded;
  if (!StartGdiplus() || !MakeStream(facts.bytes, &stream) ||
      gp::GdipCreateBitmapFromStream(stream.stream, &decoded.bitmap) != Gdiplus::Ok) {
    return false;
  }
  UINT decodedWidth = 0;
  UINT decodedHeight = 0;
  if (gp::GdipGetImageWidth(decoded.bitmap, &decodedWidth) != Gdiplus::Ok ||
      gp::GdipGetImageHeight(decoded.bitmap, &decodedHeight) != Gdiplus::Ok ||
      decodedWidth != width || decodedHeight != height) {
    return false;
  }
  // Straight alpha in GDI+'s ARGB, which lies in memory as B, G, R, A; without alpha B, G, R.
  const Gdiplus::PixelFormat format = facts.alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
  Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData locked{};
  if (gp::GdipBitmapLockBits(decoded.bitmap, &rect, Gdiplus::ImageLockModeRead, format, &locked) !=
      Gdiplus::Ok) {
    return false;
  }
  Bitmap result;
  result.width = static_cast<int>(width);
  result.height = static_cast<int>(height);
  result.bitsPerPixel = facts.alpha ? 32 : 24;
  result.pixels.resize(result.Stride() * height);
  const int bytesPerPixel = result.BytesPerPixel();
  for (std::uint32_t y = 0; y < height; ++y) {
    const auto* from = static_cast<const std::uint8_t*>(locked.Scan0) +
                       static_cast<std::ptrdiff_t>(y) * locked.Stride;
    std::uint8_t* to = result.pixels.data() + y * result.Stride();
    for (std::uint32_t x = 0; x < width; ++x, from += bytesPerPixel, to += bytesPerPixel) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      if (facts.alpha) {
        to[3] = from[3];
      }
    }
  }
  gp::GdipBitmapUnlockBits(decoded.bitmap, &locked);
  *out = std::move(result);
  return true;
}

// Only the packer, a program of the other platforms, writes PNG files.
std::vector<std::uint8_t> EncodePng(const Bitmap&) { return {}; }

}  // namespace launcher

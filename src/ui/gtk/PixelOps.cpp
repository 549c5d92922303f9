#include "ui/gtk/PixelOps.h"

#include <algorithm>

namespace ui::gtk {
namespace {

// src clipped to the picture.
Rect ClipToPicture(const Bitmap& picture, const Rect& src) {
  return src.Intersect({0, 0, picture.width, picture.height});
}

// Fills a new surface of the part's size row by row; put(row of picture pixels, out row, count)
// converts one row.
template <typename Put>
SurfacePtr Convert(const Bitmap& picture, const Rect& src, cairo_format_t format, Put&& put) {
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32)) return {};
  Rect part = ClipToPicture(picture, src);
  if (part.Empty()) return {};
  SurfacePtr surface(cairo_image_surface_create(format, part.Width(), part.Height()));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < part.Height(); ++y) {
    auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    put(picture.Pixel(part.left, part.top + y), out, part.Width());
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

}  // namespace

SurfacePtr MakeOpaqueSurface(const Bitmap& picture, const Rect& src) {
  const int step = picture.BytesPerPixel();
  return Convert(picture, src, CAIRO_FORMAT_RGB24,
                 [step](const std::uint8_t* in, std::uint32_t* out, int count) {
                   for (int i = 0; i < count; ++i, in += step) {
                     out[i] = 0xFF000000u | (std::uint32_t{in[0]} << 16) |
                              (std::uint32_t{in[1]} << 8) | in[2];
                   }
                 });
}

SurfacePtr MakePremultipliedSurface(const Bitmap& picture, const Rect& src) {
  if (!picture.HasAlpha()) {
    // Nothing to multiply; the opaque words are valid ARGB32 as they are.
    SurfacePtr opaque = MakeOpaqueSurface(picture, src);
    if (!opaque) return {};
    Rect part = ClipToPicture(picture, src);
    SurfacePtr surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, part.Width(), part.Height()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    CairoPtr cr(cairo_create(surface.get()));
    cairo_set_source_surface(cr.get(), opaque.get(), 0, 0);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    cr.reset();
    cairo_surface_flush(surface.get());
    return surface;
  }
  return Convert(
      picture, src, CAIRO_FORMAT_ARGB32, [](const std::uint8_t* in, std::uint32_t* out, int count) {
        for (int i = 0; i < count; ++i, in += 4) {
          const std::uint8_t a = in[3];
          if (a == 0xFF) {
            out[i] =
                0xFF000000u | (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
          } else if (a == 0) {
            out[i] = 0;
          } else {
            out[i] = Premultiply(in[0], in[1], in[2], a);
          }
        }
      });
}

void RunCollector::EndRow(int y) {
  // A row that repeats the open runs exactly extends them; anything else closes them.
  if (nextRow_ == y && current_ == open_) {
    nextRow_ = y + 1;
    return;
  }
  for (const Run& r : open_) rects_.push_back({r.left, openTop_, r.right, nextRow_});
  open_ = current_;
  openTop_ = y;
  nextRow_ = y + 1;
}

std::vector<Rect> RunCollector::Finish() {
  for (const Run& r : open_) rects_.push_back({r.left, openTop_, r.right, nextRow_});
  open_.clear();
  return std::move(rects_);
}

std::vector<Rect> AlphaRects(const Bitmap& picture, std::uint8_t minAlpha) {
  if (picture.Empty()) return {};
  if (!picture.HasAlpha()) return {{0, 0, picture.width, picture.height}};
  RunCollector runs(picture.width);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* alpha = picture.Pixel(0, y) + 3;
    runs.AddRow(y, [alpha, minAlpha](int x) { return alpha[std::size_t{4} * x] >= minAlpha; });
  }
  return runs.Finish();
}

void NonKeyMask(cairo_surface_t* surface, std::uint32_t keyRgb, std::vector<std::uint8_t>* mask) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  mask->resize(static_cast<std::size_t>(width) * height);
  std::uint8_t* out = mask->data();
  for (int y = 0; y < height; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width; ++x) *out++ = (row[x] & 0x00FFFFFFu) != keyRgb ? 1 : 0;
  }
}

std::vector<Rect> MaskRects(const std::vector<std::uint8_t>& mask, int width, int height) {
  if (width <= 0 || height <= 0 || mask.size() < static_cast<std::size_t>(width) * height) {
    return {};
  }
  RunCollector runs(width);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = mask.data() + static_cast<std::size_t>(y) * width;
    runs.AddRow(y, [row](int x) { return row[x] != 0; });
  }
  return runs.Finish();
}

RegionPtr RegionFromRects(const std::vector<Rect>& rects) {
  std::vector<cairo_rectangle_int_t> boxes;
  boxes.reserve(rects.size());
  for (const Rect& r : rects) {
    if (!r.Empty()) boxes.push_back({r.left, r.top, r.Width(), r.Height()});
  }
  return RegionPtr(cairo_region_create_rectangles(boxes.data(), static_cast<int>(boxes.size())));
}

}  // namespace ui::gtk

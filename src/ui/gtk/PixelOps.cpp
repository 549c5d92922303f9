#include "ui/gtk/PixelOps.h"

#include <algorithm>

namespace ui::gtk {
namespace {

// src clipped to the picture.
Rect ClipToPicture(const Bitmap& picture, const Rect& src) {
  return src.Intersect({0, 0, picture.width, picture.height});
}

// Fills surface, of the part's size, row by row from the part of the picture; put(row of
// picture pixels, out row, count) converts one row.
template <typename Put>
void Fill(const Bitmap& picture, const Rect& part, cairo_surface_t* surface, Put&& put) {
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < part.Height(); ++y) {
    auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    put(picture.Pixel(part.left, part.top + y), out, part.Width());
  }
  cairo_surface_mark_dirty(surface);
}

// A new surface of the part's size, filled by put.
template <typename Put>
SurfacePtr Convert(const Bitmap& picture, const Rect& src, cairo_format_t format, Put&& put) {
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32)) {
    return {};
  }
  Rect part = ClipToPicture(picture, src);
  if (part.Empty()) {
    return {};
  }
  SurfacePtr surface(cairo_image_surface_create(format, part.Width(), part.Height()));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    return {};
  }
  Fill(picture, part, surface.get(), put);
  return surface;
}

void PutOpaque3(const std::uint8_t* in, std::uint32_t* out, int count) {
  for (int i = 0; i < count; ++i, in += 3) {
    out[i] = 0xFF000000u | (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
  }
}

void PutOpaque4(const std::uint8_t* in, std::uint32_t* out, int count) {
  for (int i = 0; i < count; ++i, in += 4) {
    out[i] = 0xFF000000u | (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
  }
}

void PutPremultiplied(const std::uint8_t* in, std::uint32_t* out, int count) {
  for (int i = 0; i < count; ++i, in += 4) {
    const std::uint8_t a = in[3];
    if (a == 0xFF) {
      out[i] = 0xFF000000u | (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    } else if (a == 0) {
      out[i] = 0;
    } else {
      out[i] = Premultiply(in[0], in[1], in[2], a);
    }
  }
}

// Straight RGBA or opaque RGB rows into premultiplied words.
void PutAsPremultiplied(const Bitmap& picture, const std::uint8_t* in, std::uint32_t* out,
                        int count) {
  if (picture.HasAlpha()) {
    PutPremultiplied(in, out, count);
  } else {
    PutOpaque3(in, out, count);
  }
}

}  // namespace

SurfacePtr MakeOpaqueSurface(const Bitmap& picture, const Rect& src) {
  return Convert(picture, src, CAIRO_FORMAT_RGB24, picture.HasAlpha() ? PutOpaque4 : PutOpaque3);
}

SurfacePtr MakePremultipliedSurface(const Bitmap& picture, const Rect& src) {
  return Convert(picture, src, CAIRO_FORMAT_ARGB32,
                 [&picture](const std::uint8_t* in, std::uint32_t* out, int count) {
                   PutAsPremultiplied(picture, in, out, count);
                 });
}

bool PremultiplyInto(const Bitmap& picture, SurfacePtr* target) {
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32)) {
    return false;
  }
  cairo_surface_t* s = target->get();
  const bool reusable = s && cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32 &&
                        cairo_image_surface_get_width(s) == picture.width &&
                        cairo_image_surface_get_height(s) == picture.height;
  if (!reusable) {
    SurfacePtr fresh(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height));
    if (cairo_surface_status(fresh.get()) != CAIRO_STATUS_SUCCESS) {
      return false;
    }
    *target = std::move(fresh);
  }
  Fill(picture, {0, 0, picture.width, picture.height}, target->get(),
       [&picture](const std::uint8_t* in, std::uint32_t* out, int count) {
         PutAsPremultiplied(picture, in, out, count);
       });
  return true;
}

void RunCollector::EndRow(int y) {
  // A row that repeats the open runs exactly extends them; anything else closes them.
  if (nextRow_ == y && current_ == open_) {
    nextRow_ = y + 1;
    return;
  }
  for (const Run& r : open_) {
    rects_.push_back({r.left, openTop_, r.right, nextRow_});
  }
  open_ = current_;
  openTop_ = y;
  nextRow_ = y + 1;
}

std::vector<Rect> RunCollector::Finish() {
  for (const Run& r : open_) {
    rects_.push_back({r.left, openTop_, r.right, nextRow_});
  }
  open_.clear();
  return std::move(rects_);
}

AlphaShape AlphaRects(const Bitmap& picture, std::uint8_t minAlpha) {
  if (picture.Empty()) {
    return {};
  }
  if (!picture.HasAlpha()) {
    const Rect all{0, 0, picture.width, picture.height};
    return {{all}, {all}};
  }
  RunCollector shown(picture.width);
  RunCollector opaque(picture.width);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* alpha = picture.Pixel(0, y) + 3;
    auto at = [alpha](int x) { return alpha[std::size_t{4} * x]; };
    shown.AddRow(y, [&at](int x) { return at(x) != 0; });
    opaque.AddRow(y, [&at, minAlpha](int x) { return at(x) >= minAlpha; });
  }
  return {shown.Finish(), opaque.Finish()};
}

void NonKeyMask(cairo_surface_t* surface, std::uint32_t keyRgb, std::vector<std::uint8_t>* mask) {
  mask->clear();
  UpdateNonKeyMask(surface, keyRgb, {}, mask);
}

bool UpdateNonKeyMask(cairo_surface_t* surface, std::uint32_t keyRgb, const Rect& area,
                      std::vector<std::uint8_t>* mask) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const std::size_t size = static_cast<std::size_t>(width) * height;
  Rect part = area.Intersect({0, 0, width, height});
  bool changed = false;
  if (mask->size() != size) {
    mask->assign(size, 0);
    part = {0, 0, width, height};
    changed = true;
  }
  for (int y = part.top; y < part.bottom; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    std::uint8_t* out = mask->data() + static_cast<std::size_t>(y) * width;
    for (int x = part.left; x < part.right; ++x) {
      const std::uint8_t shown = (row[x] & 0x00FFFFFFu) != keyRgb ? 1 : 0;
      changed = changed || out[x] != shown;
      out[x] = shown;
    }
  }
  return changed;
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
    if (!r.Empty()) {
      boxes.push_back({r.left, r.top, r.Width(), r.Height()});
    }
  }
  return RegionPtr(cairo_region_create_rectangles(boxes.data(), static_cast<int>(boxes.size())));
}

}  // namespace ui::gtk

#include "ui/gtk/CairoCanvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <string>

#include "ui/gtk/PixelOps.h"

namespace ui::gtk {
namespace {

void SetColor(cairo_t* cr, ColorRef color) {
  cairo_set_source_rgb(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0);
}

void AddRect(cairo_t* cr, const Rect& r) {
  if (!r.Empty()) {
    cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
  }
}

void Fill(cairo_t* cr, const Rect& r, ColorRef color) {
  if (r.Empty()) {
    return;
  }
  SetColor(cr, color);
  AddRect(cr, r);
  cairo_fill(cr);
}

// The classic 3-D edge colours.
constexpr ColorRef k3dLight = Rgb(227, 227, 227);
constexpr ColorRef kHighlight = Rgb(255, 255, 255);
constexpr ColorRef kShadow = Rgb(160, 160, 160);
constexpr ColorRef kDarkShadow = Rgb(105, 105, 105);

// One pixel wide frame: the top and left lines in light, the bottom and right lines (which own
// the far corners) in dark.
void Bevel(cairo_t* cr, const Rect& r, ColorRef light, ColorRef dark) {
  if (r.Empty()) {
    return;
  }
  Fill(cr, {r.left, r.top, r.right - 1, r.top + 1}, light);
  Fill(cr, {r.left, r.top, r.left + 1, r.bottom - 1}, light);
  Fill(cr, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
  Fill(cr, {r.right - 1, r.top, r.right, r.bottom}, dark);
}

const PangoFontDescription* FontFor(FontKind font) {
  // The desktop's sans-serif at the size the skins were laid out for; characters it lacks
  // (Chinese, with a Latin default) come from a font that has them, through fontconfig.
  static FontDescriptionPtr regular(pango_font_description_from_string("Sans 9"));
  static FontDescriptionPtr bold([] {
    PangoFontDescription* d = pango_font_description_copy(regular.get());
    pango_font_description_set_weight(d, PANGO_WEIGHT_BOLD);
    return d;
  }());
  return font == FontKind::kGuiBold ? bold.get() : regular.get();
}

}  // namespace

ObjectPtr<PangoLayout> MakeTextLayout(PangoContext* context, std::string_view utf8, FontKind font,
                                      bool singleLine) {
  ObjectPtr<PangoLayout> layout(pango_layout_new(context));
  pango_layout_set_font_description(layout.get(), FontFor(font));
  pango_layout_set_single_paragraph_mode(layout.get(), singleLine);
  pango_layout_set_text(layout.get(), utf8.data(), static_cast<int>(utf8.size()));
  return layout;
}

Size LayoutSize(PangoLayout* layout) {
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  return {width, height};
}

// A layout for drawing on cr, with cr's font options.
static ObjectPtr<PangoLayout> LayoutOn(cairo_t* cr, std::string_view utf8, FontKind font,
                                       bool singleLine) {
  ObjectPtr<PangoContext> context(pango_cairo_create_context(cr));
  return MakeTextLayout(context.get(), utf8, font, singleLine);
}

PangoContext* MeasuringContext() {
  static ObjectPtr<PangoContext> context([] {
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
    CairoPtr cr(cairo_create(surface.get()));
    return pango_cairo_create_context(cr.get());
  }());
  return context.get();
}

CairoCanvas::CairoCanvas(cairo_t* cr) : cr_(cr) { cairo_save(cr_); }

CairoCanvas::~CairoCanvas() {
  while (depth_ > 0) {
    Restore();
  }
  cairo_restore(cr_);
}

void CairoCanvas::PaintPart(cairo_surface_t* part, const Rect& src, const Rect& clippedSrc,
                            const Rect& dst) {
  // Pattern space is the part's own pixels; a dst point maps to src by the stretch factors.
  const double sx = static_cast<double>(src.Width()) / dst.Width();
  const double sy = static_cast<double>(src.Height()) / dst.Height();
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(part);
  cairo_matrix_t m;
  cairo_matrix_init(&m, sx, 0, 0, sy, -dst.left * sx + (src.left - clippedSrc.left),
                    -dst.top * sy + (src.top - clippedSrc.top));
  cairo_pattern_set_matrix(pattern, &m);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  // Inside the picture, edge pixels repeat rather than fade; parts of src outside it stay
  // undrawn.
  cairo_pattern_set_extend(pattern, src == clippedSrc ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
  cairo_save(cr_);
  cairo_set_source(cr_, pattern);
  AddRect(cr_, dst);
  cairo_fill(cr_);
  cairo_restore(cr_);
  cairo_pattern_destroy(pattern);
}

void CairoCanvas::DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) {
  if (src.Empty() || dst.Empty()) {
    return;
  }
  SurfacePtr part = MakeOpaqueSurface(picture, src);
  if (!part) {
    return;
  }
  PaintPart(part.get(), src, src.Intersect({0, 0, picture.width, picture.height}), dst);
}

void CairoCanvas::BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) {
  if (src.Empty() || dst.Empty()) {
    return;
  }
  SurfacePtr part = MakePremultipliedSurface(picture, src);
  if (!part) {
    return;
  }
  PaintPart(part.get(), src, src.Intersect({0, 0, picture.width, picture.height}), dst);
}

void CairoCanvas::DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst,
                             bool stretch) {
  if (dst.Empty() || picture.Empty() || mask.Empty()) {
    return;
  }
  // The picture where the mask shows it, transparent elsewhere, at dst's size; then OVER.
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, dst.Width(), dst.Height()));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    return;
  }
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  backend::ComposeMasked(picture, mask, dst.Width(), dst.Height(), stretch,
                         reinterpret_cast<std::uint32_t*>(data),
                         static_cast<std::size_t>(stride) / sizeof(std::uint32_t));
  cairo_surface_mark_dirty(surface.get());
  cairo_save(cr_);
  cairo_set_source_surface(cr_, surface.get(), dst.left, dst.top);
  AddRect(cr_, dst);
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void CairoCanvas::FillRect(const Rect& rect, ColorRef color) { Fill(cr_, rect, color); }

void CairoCanvas::DrawEdge(const Rect& rect, EdgeKind kind) {
  const Rect inner = rect.Inflate(-1, -1);
  if (kind == EdgeKind::kRaised) {
    Bevel(cr_, rect, k3dLight, kDarkShadow);
    Bevel(cr_, inner, kHighlight, kShadow);
  } else {
    Bevel(cr_, rect, kShadow, kHighlight);
    Bevel(cr_, inner, kDarkShadow, k3dLight);
  }
}

void CairoCanvas::DrawFocusRect(const Rect& rect) {
  if (rect.Empty()) {
    return;
  }
  // Every other pixel of the outline, inverted, so that drawing it twice takes it away.
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_DIFFERENCE);
  cairo_set_source_rgb(cr_, 1, 1, 1);
  for (int x = rect.left; x < rect.right; ++x) {
    if (((x - rect.left) & 1) == 0) {
      cairo_rectangle(cr_, x, rect.top, 1, 1);
      if (rect.Height() > 1) {
        cairo_rectangle(cr_, x, rect.bottom - 1, 1, 1);
      }
    }
  }
  for (int y = rect.top + 1; y < rect.bottom - 1; ++y) {
    if (((y - rect.top) & 1) == 0) {
      cairo_rectangle(cr_, rect.left, y, 1, 1);
      if (rect.Width() > 1) {
        cairo_rectangle(cr_, rect.right - 1, y, 1, 1);
      }
    }
  }
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void CairoCanvas::DrawText(std::string_view utf8, const Rect& rect, unsigned flags, ColorRef color,
                           FontKind font) {
  if (utf8.empty() || rect.Empty()) {
    return;
  }
  const bool singleLine = (flags & kDtSingleLine) != 0;
  ObjectPtr<PangoLayout> layout = LayoutOn(cr_, utf8, font, singleLine);
  if (flags & kDtCenter) {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
  }
  const Size size = LayoutSize(layout.get());
  int x = rect.left;
  int y = rect.top;
  if (flags & kDtCenter) {
    x += (rect.Width() - size.cx) / 2;
  }
  if ((flags & kDtVCenter) && singleLine) {
    y += (rect.Height() - size.cy) / 2;
  }
  cairo_save(cr_);
  AddRect(cr_, rect);
  cairo_clip(cr_);
  SetColor(cr_, color);
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout.get());
  cairo_restore(cr_);
}

void CairoCanvas::TextOut(int x, int y, std::string_view utf8, ColorRef color, FontKind font) {
  if (utf8.empty()) {
    return;
  }
  ObjectPtr<PangoLayout> layout = LayoutOn(cr_, utf8, font, true);
  cairo_save(cr_);
  SetColor(cr_, color);
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout.get());
  cairo_restore(cr_);
}

void CairoCanvas::Save(Point offset, const Rect& clip) {
  cairo_save(cr_);
  ++depth_;
  cairo_new_path(cr_);
  cairo_rectangle(cr_, clip.left, clip.top, std::max(clip.Width(), 0), std::max(clip.Height(), 0));
  cairo_clip(cr_);
  cairo_translate(cr_, offset.x, offset.y);
}

void CairoCanvas::ClipRegion(const Region& region) {
  cairo_new_path(cr_);
  for (const Rect& r : region.rects) {
    AddRect(cr_, r);
  }
  cairo_clip(cr_);  // an empty path clips everything away, as an empty region should
}

void CairoCanvas::Restore() {
  if (depth_ == 0) {
    return;
  }
  --depth_;
  cairo_restore(cr_);
}

}  // namespace ui::gtk

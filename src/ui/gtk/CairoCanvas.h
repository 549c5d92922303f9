// The backend's canvas on a cairo context, with Pango for text. Used for a window's paint
// (on the context of a draw signal or on a window's offscreen image) and usable on any image
// surface. UI thread only (Pango's default font map is not shared between threads).
#pragma once

#include <string_view>

#include "ui/backend/Backend.h"
#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

class CairoCanvas : public backend::NativeCanvas {
 public:
  // Draws on cr, which the caller keeps alive; the current origin of cr is the client origin.
  // The canvas saves cr's state and gives it back as it found it when destroyed.
  explicit CairoCanvas(cairo_t* cr);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) override;
  void BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) override;
  void DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst,
                  bool stretch) override;
  void FillRect(const Rect& rect, ColorRef color) override;
  void DrawEdge(const Rect& rect, EdgeKind kind) override;
  void DrawFocusRect(const Rect& rect) override;
  void DrawText(std::string_view utf8, const Rect& rect, unsigned flags, ColorRef color,
                FontKind font) override;
  void TextOut(int x, int y, std::string_view utf8, ColorRef color, FontKind font) override;
  void Save(Point offset, const Rect& clip) override;
  void ClipRegion(const Region& region) override;
  void Restore() override;

 private:
  void PaintPart(cairo_surface_t* part, const Rect& src, const Rect& clippedSrc, const Rect& dst);

  cairo_t* cr_;
  int depth_ = 0;  // Saves not yet restored
};

// A layout of text (UTF-8) in one of the framework's fonts, for measuring and drawing alike,
// so that what MeasureText promises is what DrawText draws.
ObjectPtr<PangoLayout> MakeTextLayout(PangoContext* context, std::string_view utf8, FontKind font,
                                      bool singleLine);
// Size in pixels of a layout's logical extent.
Size LayoutSize(PangoLayout* layout);
// The context MeasureText uses (made on first use, kept for the process).
PangoContext* MeasuringContext();

}  // namespace ui::gtk

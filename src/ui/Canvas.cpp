#include "ui/Canvas.h"

#include "base/Text.h"
#include "ui/backend/Backend.h"

namespace ui {

void Canvas::DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) {
  native_.DrawBitmap(picture, src, dst);
}

void Canvas::BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) {
  native_.BlendBitmap(picture, src, dst);
}

void Canvas::DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst, bool stretch) {
  native_.DrawMasked(picture, mask, dst, stretch);
}

void Canvas::FillRect(const Rect& rect, ColorRef color) { native_.FillRect(rect, color); }

void Canvas::DrawEdge(const Rect& rect, EdgeKind kind) { native_.DrawEdge(rect, kind); }

void Canvas::DrawFocusRect(const Rect& rect) { native_.DrawFocusRect(rect); }

void Canvas::DrawText(std::string_view text, const Rect& rect, unsigned flags, ColorRef color,
                      FontKind font) {
  native_.DrawText(launcher::GbkToUtf8(text), rect, flags, color, font);
}

void Canvas::TextOut(int x, int y, std::string_view text, ColorRef color, FontKind font) {
  native_.TextOut(x, y, launcher::GbkToUtf8(text), color, font);
}

void Canvas::Save(Point offset, const Rect& clip) { native_.Save(offset, clip); }

void Canvas::ClipRegion(const Region& region) { native_.ClipRegion(region); }

void Canvas::Restore() { native_.Restore(); }

}  // namespace ui

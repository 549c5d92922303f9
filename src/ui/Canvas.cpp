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

namespace backend {

void ComposeMasked(const Bitmap& picture, const Bitmap& mask, int width, int height, bool stretch,
                   std::uint32_t* out, std::size_t rowWords) {
  // Nearest source pixel of a destination pixel, at natural size or stretched.
  auto source = [stretch, width, height](int i, int size, bool vertical) {
    if (!stretch) {
      return i;
    }
    const int span = vertical ? height : width;
    return static_cast<int>((2LL * i + 1) * size / (2LL * span));
  };
  // Mask pixel that lets the picture through: a dark one.
  auto shows = [&mask](int x, int y) {
    const std::uint8_t* p = mask.Pixel(x, y);
    return p[0] + p[1] + p[2] < 3 * 128;
  };
  for (int y = 0; y < height; ++y) {
    std::uint32_t* row = out + static_cast<std::size_t>(y) * rowWords;
    const int py = source(y, picture.height, true);
    const int my = source(y, mask.height, true);
    for (int x = 0; x < width; ++x) {
      const int px = source(x, picture.width, false);
      const int mx = source(x, mask.width, false);
      const bool inMask = mx < mask.width && my < mask.height;
      const bool inPicture = px < picture.width && py < picture.height;
      std::uint32_t value = 0;  // the content stays
      if (inMask && shows(mx, my)) {
        if (inPicture) {
          const std::uint8_t* p = picture.Pixel(px, py);
          value = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        } else {
          value = 0xFF000000u;  // a dark mask pixel with no picture over it blackens
        }
      }
      row[x] = value;
    }
  }
}

}  // namespace backend

}  // namespace ui

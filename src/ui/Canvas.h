// What a paint handler draws with. The framework hands one to each window's erase and paint
// messages, already moved to the window's client origin and clipped to it.
#pragma once

#include <string_view>

#include "base/Bitmap.h"
#include "ui/Geometry.h"

namespace ui {

using launcher::Bitmap;

// The fonts the system's windows use.
enum class FontKind {
  kMenu,     // the desktop's menu font: button captions
  kGui,      // the default interface font
  kGuiBold,  // the same, bold: the game window's title
};

// Text layout flags (values of the platform the classes were written for).
enum : unsigned {
  kDtLeft = 0x0,
  kDtCenter = 0x1,
  kDtVCenter = 0x4,
  kDtSingleLine = 0x20,
};

enum class EdgeKind { kRaised, kSunken };

// System colours.
enum class SysColor { kBtnFace, kBtnText, kBtnHighlight, kGrayText, kWindow };
ColorRef GetSysColor(SysColor color);

namespace backend {
class NativeCanvas;
}

// Valid for the paint it was handed to; the framework makes one per paint around the backend's
// canvas.
class Canvas {
 public:
  explicit Canvas(backend::NativeCanvas& native) : native_(native) {}
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Copies the src rectangle of picture to dst, stretched (nearest pixel) when the sizes
  // differ. Opaque: the picture's alpha is not applied.
  void DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst);
  // The same, blended over what is there by the picture's straight alpha.
  void BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst);
  // Where mask is black the picture shows, where it is white what is there stays. Both are
  // drawn at natural size (stretch false) or stretched from their full size to dst.
  void DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst, bool stretch);
  void FillRect(const Rect& rect, ColorRef color);
  void DrawEdge(const Rect& rect, EdgeKind kind);
  void DrawFocusRect(const Rect& rect);
  // Text in the model's code page, transparent background.
  void DrawText(std::string_view text, const Rect& rect, unsigned flags, ColorRef color,
                FontKind font);
  void TextOut(int x, int y, std::string_view text, ColorRef color, FontKind font);

  // Framework use: paint a descendant. Moves the origin by offset and clips to clip (both in
  // the current coordinates); Restore undoes the last Save.
  void Save(Point offset, const Rect& clip);
  void ClipRegion(const Region& region);  // in the current coordinates
  void Restore();

 private:
  backend::NativeCanvas& native_;
};

}  // namespace ui

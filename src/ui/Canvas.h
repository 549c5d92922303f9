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

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Copies the src rectangle of picture to dst, stretched (nearest pixel) when the sizes
  // differ. Opaque: the picture's alpha is not applied.
  virtual void DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) = 0;
  // The same, blended over what is there by the picture's straight alpha.
  virtual void BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) = 0;
  // Where mask is black the picture shows, where it is white what is there stays. Both are
  // drawn at natural size (stretch false) or stretched from their full size to dst.
  virtual void DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst,
                          bool stretch) = 0;
  virtual void FillRect(const Rect& rect, ColorRef color) = 0;
  virtual void DrawEdge(const Rect& rect, EdgeKind kind) = 0;
  virtual void DrawFocusRect(const Rect& rect) = 0;
  // Text in the model's code page, transparent background.
  virtual void DrawText(std::string_view text, const Rect& rect, unsigned flags, ColorRef color,
                        FontKind font) = 0;
  virtual void TextOut(int x, int y, std::string_view text, ColorRef color, FontKind font) = 0;

  // Framework use: paint a descendant. Moves the origin by offset and clips to clip (both in
  // the current coordinates); Restore undoes the last Save.
  virtual void Save(Point offset, const Rect& clip) = 0;
  virtual void ClipRegion(const Region& region) = 0;  // in the current coordinates
  virtual void Restore() = 0;
};

}  // namespace ui

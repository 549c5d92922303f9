// Points, rectangles, regions and colours, in the platform's integer pixel model.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ui {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  static Rect FromSize(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
  }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Point TopLeft() const { return {left, top}; }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect Inflate(int dx, int dy) const { return {left - dx, top - dy, right + dx, bottom + dy}; }
  Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
           std::min(bottom, o.bottom)};
    return r.Empty() ? Rect{} : r;
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A union of rectangles.
struct Region {
  std::vector<Rect> rects;
  bool Contains(Point p) const {
    return std::any_of(rects.begin(), rects.end(), [p](const Rect& r) { return r.Contains(p); });
  }
  bool Empty() const { return rects.empty(); }
};

// 0x00BBGGRR, red in the lowest byte.
using ColorRef = std::uint32_t;
constexpr ColorRef Rgb(int r, int g, int b) {
  return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(ColorRef c) { return c & 0xFF; }
constexpr int GreenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr int BlueOf(ColorRef c) { return (c >> 16) & 0xFF; }

}  // namespace ui

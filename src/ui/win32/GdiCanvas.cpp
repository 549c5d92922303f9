// The framework's canvas on a GDI device context, and the fonts and bitmaps it draws with.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "ui/Canvas.h"
#include "ui/win32/Win32Core.h"

namespace ui::win32 {
namespace {

BITMAPINFO TopDownInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top to bottom, as the pictures keep them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The destination rectangle that the clipped part of src fills when src is stretched to dst.
Rect MapPart(const Rect& src, const Rect& part, const Rect& dst) {
  auto map = [](int v, int from0, int fromSize, int to0, int toSize) {
    return to0 + static_cast<int>(static_cast<long long>(v - from0) * toSize / fromSize);
  };
  return {map(part.left, src.left, src.Width(), dst.left, dst.Width()),
          map(part.top, src.top, src.Height(), dst.top, dst.Height()),
          map(part.right, src.left, src.Width(), dst.left, dst.Width()),
          map(part.bottom, src.top, src.Height(), dst.top, dst.Height())};
}

bool Drawable(const Bitmap& picture) {
  return !picture.Empty() && (picture.bitsPerPixel == 24 || picture.bitsPerPixel == 32) &&
         picture.pixels.size() >= picture.Stride() * static_cast<std::size_t>(picture.height);
}

// The part of src inside the picture (the rest stays undrawn) and where it lands in dst; false
// when nothing would be drawn.
bool VisiblePart(const Bitmap& picture, const Rect& src, const Rect& dst, Rect* part, Rect* to) {
  if (src.Empty() || dst.Empty() || !Drawable(picture)) {
    return false;
  }
  *part = src.Intersect({0, 0, picture.width, picture.height});
  if (part->Empty()) {
    return false;
  }
  *to = MapPart(src, *part, dst);
  return !to->Empty();
}

// Blends a premultiplied width x height block onto dc at dst, stretched to dst's size.
void BlendPixels(HDC dc, const std::vector<std::uint32_t>& pixels, int width, int height,
                 const Rect& dst) {
  void* bits = nullptr;
  HBITMAP section = MakeDibSection(width, height, &bits);
  if (!section) {
    return;
  }
  std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, section);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, dst.left, dst.top, dst.Width(), dst.Height(), memory, 0, 0, width, height, blend);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(section);
}

HFONT MakeFont(FontKind kind) {
  // The desktop's fonts at their sizes, asked for with the Chinese character set: the skins'
  // texts are Chinese, and the font mapper then keeps the face where it has the characters (a
  // Chinese desktop's) and otherwise takes one that has them, whatever the desktop's language.
  LOGFONTW font{};
  bool found = false;
  if (kind == FontKind::kMenu) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      font = metrics.lfMenuFont;
      found = true;
    }
  }
  // The stock interface font, as the system's windows were laid out with; bold for titles.
  if (!found && !GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font)) {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  if (kind == FontKind::kGuiBold) {
    font.lfWeight = FW_BOLD;
  }
  font.lfCharSet = GB2312_CHARSET;
  HFONT made = CreateFontIndirectW(&font);
  return made ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void PrepareText(HDC dc, ColorRef color, FontKind font) {
  SelectObject(dc, FontFor(font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(color));
}

}  // namespace

HFONT FontFor(FontKind font) {
  static HFONT fonts[3] = {MakeFont(FontKind::kMenu), MakeFont(FontKind::kGui),
                           MakeFont(FontKind::kGuiBold)};
  return fonts[static_cast<int>(font)];
}

void WritePixels(const Bitmap& picture, const Rect& part, PixelAlpha alpha, std::uint32_t* out) {
  for (int y = 0; y < part.Height(); ++y) {
    for (int x = 0; x < part.Width(); ++x) {
      const std::uint8_t* p = picture.Pixel(part.left + x, part.top + y);
      const std::uint32_t a = picture.HasAlpha() && alpha != PixelAlpha::kOpaque ? p[3] : 255;
      std::uint32_t r = p[0];
      std::uint32_t g = p[1];
      std::uint32_t b = p[2];
      if (a != 255 && alpha == PixelAlpha::kPremultiplied) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
      }
      out[static_cast<std::size_t>(y) * part.Width() + x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
}

std::vector<std::uint32_t> PixelsOf(const Bitmap& picture, const Rect& part, PixelAlpha alpha) {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(part.Width()) * part.Height());
  WritePixels(picture, part, alpha, out.data());
  return out;
}

HBITMAP MakeDibSection(int width, int height, void** bits) {
  if (width <= 0 || height <= 0) {
    return nullptr;
  }
  BITMAPINFO info = TopDownInfo(width, height);
  *bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  if (section && !*bits) {
    DeleteObject(section);
    return nullptr;
  }
  return section;
}

HRGN MakeRegion(const Region& region, int dx, int dy) {
  std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + sizeof(RECT) * region.rects.size());
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = 0;
  auto* rects = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
  RECT bounds{0, 0, 0, 0};
  for (const Rect& r : region.rects) {
    if (r.Empty()) {
      continue;
    }
    RECT w{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    if (header->nCount == 0) {
      bounds = w;
    } else {
      UnionRect(&bounds, &bounds, &w);
    }
    rects[header->nCount++] = w;
  }
  header->rcBound = bounds;
  header->nRgnSize = static_cast<DWORD>(sizeof(RECT) * header->nCount);
  if (header->nCount == 0) {
    return CreateRectRgn(0, 0, 0, 0);  // an empty region: nothing
  }
  return ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + header->nRgnSize),
                         reinterpret_cast<RGNDATA*>(data.data()));
}

GdiCanvas::GdiCanvas(HDC dc) : dc_(dc) { baseState_ = SaveDC(dc_); }

GdiCanvas::~GdiCanvas() {
  if (baseState_) {
    RestoreDC(dc_, baseState_);
  }
}

void GdiCanvas::DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) {
  Rect part;
  Rect to;
  if (!VisiblePart(picture, src, dst, &part, &to)) {
    return;
  }
  const std::vector<std::uint32_t> pixels = PixelsOf(picture, part, PixelAlpha::kOpaque);
  BITMAPINFO info = TopDownInfo(part.Width(), part.Height());
  // Nearest pixel, as the framework promises.
  const int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchDIBits(dc_, to.left, to.top, to.Width(), to.Height(), 0, 0, part.Width(), part.Height(),
                pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(dc_, oldMode);
}

void GdiCanvas::BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) {
  Rect part;
  Rect to;
  if (!VisiblePart(picture, src, dst, &part, &to)) {
    return;
  }
  BlendPixels(dc_, PixelsOf(picture, part, PixelAlpha::kPremultiplied), part.Width(), part.Height(),
              to);
}

void GdiCanvas::DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst,
                           bool stretch) {
  if (dst.Empty() || !Drawable(picture) || !Drawable(mask)) {
    return;
  }
  // The picture where the mask shows it, transparent elsewhere, at dst's size; then blended.
  const int w = dst.Width();
  const int h = dst.Height();
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, 0);
  backend::ComposeMasked(picture, mask, w, h, stretch, pixels.data(), static_cast<std::size_t>(w));
  BlendPixels(dc_, pixels, w, h, dst);
}

void GdiCanvas::FillRect(const Rect& rect, ColorRef color) {
  if (rect.Empty()) {
    return;
  }
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(color));
  ::FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void GdiCanvas::DrawEdge(const Rect& rect, EdgeKind kind) {
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  ::DrawEdge(dc_, &r, kind == EdgeKind::kRaised ? EDGE_RAISED : EDGE_SUNKEN, BF_RECT);
}

void GdiCanvas::DrawFocusRect(const Rect& rect) {
  if (rect.Empty()) {
    return;
  }
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  ::DrawFocusRect(dc_, &r);
}

void GdiCanvas::DrawText(std::string_view utf8, const Rect& rect, unsigned flags, ColorRef color,
                         FontKind font) {
  if (utf8.empty() || rect.Empty()) {
    return;
  }
  const std::wstring text = Widen(utf8);
  const int saved = SaveDC(dc_);
  PrepareText(dc_, color, font);
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  // The layout flags carry the system's values.
  DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r,
            flags & (DT_CENTER | DT_VCENTER | DT_SINGLELINE));
  RestoreDC(dc_, saved);
}

void GdiCanvas::TextOut(int x, int y, std::string_view utf8, ColorRef color, FontKind font) {
  if (utf8.empty()) {
    return;
  }
  const std::wstring text = Widen(utf8);
  const int saved = SaveDC(dc_);
  PrepareText(dc_, color, font);
  SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
  RestoreDC(dc_, saved);
}

void GdiCanvas::Save(Point offset, const Rect& clip) {
  SaveDC(dc_);
  ++depth_;
  // The clip is in the current coordinates, before the origin moves.
  IntersectClipRect(dc_, clip.left, clip.top, std::max(clip.right, clip.left),
                    std::max(clip.bottom, clip.top));
  OffsetViewportOrgEx(dc_, offset.x, offset.y, nullptr);
}

void GdiCanvas::ClipRegion(const Region& region) {
  // Clip regions are in device coordinates: the current origin moves the framework's.
  POINT origin{0, 0};
  GetViewportOrgEx(dc_, &origin);
  HRGN rgn = MakeRegion(region, origin.x, origin.y);
  if (!rgn) {
    return;
  }
  ExtSelectClipRgn(dc_, rgn, RGN_AND);  // an empty region clips everything away
  DeleteObject(rgn);
}

void GdiCanvas::Restore() {
  if (depth_ == 0) {
    return;
  }
  --depth_;
  RestoreDC(dc_, -1);
}

}  // namespace ui::win32

namespace ui::backend {

Size MeasureText(std::string_view utf8, FontKind font) {
  const std::wstring text = win32::Widen(utf8);
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, win32::FontFor(font));
  SIZE size{0, 0};
  GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return {size.cx, size.cy};
}

}  // namespace ui::backend

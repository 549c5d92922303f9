// What the core files of the Win32 backend (the process and its loops, the top-levels, GDI
// painting) share among themselves. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/win32/Win32.h"

namespace ui::win32 {

// ---------------------------------------------------------------------------------------------
// Top-levels (Win32Window.cpp)

// The class every framework top-level is made of; registered by InitPlatform.
inline constexpr wchar_t kTopLevelClass[] = L"LauncherTopLevel";
LRESULT CALLBACK TopLevelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// A key message for a window inside one of our top-levels (the top-level itself or a native
// child, such as the web view with the keyboard) goes to the framework first, before the loop
// translates or dispatches it: true when the framework consumed it.
bool RouteKeyToFramework(const MSG& msg);

// The icons every top-level shows changed: each takes the current ones.
void RefreshWindowIcons();

// ---------------------------------------------------------------------------------------------
// Painting (GdiCanvas.cpp)

// One paint's surface over a device context whose origin is the window's client origin. Save
// and Restore nest; whatever is still saved is undone when the canvas goes.
class GdiCanvas final : public backend::NativeCanvas {
 public:
  explicit GdiCanvas(HDC dc);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

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
  HDC dc_;
  int baseState_ = 0;
  int depth_ = 0;
};

// The font of a kind, made once and kept for the process.
HFONT FontFor(FontKind font);

// How a picture's alpha goes into 32-bit B, G, R, A words (0xAARRGGBB): ignored and set full,
// premultiplied (what blending and layered windows take), or as it is (what icons take).
enum class PixelAlpha { kOpaque, kPremultiplied, kStraight };
// The part (inside the picture) as such words, rows part.Width() apart.
void WritePixels(const Bitmap& picture, const Rect& part, PixelAlpha alpha, std::uint32_t* out);
std::vector<std::uint32_t> PixelsOf(const Bitmap& picture, const Rect& part, PixelAlpha alpha);

// A 32-bit top-down DIB section of width x height whose pixels (B, G, R, A words) are at
// *bits; null when it cannot be made.
HBITMAP MakeDibSection(int width, int height, void** bits);

// A Win32 region of the framework's rectangles; null stays null for callers to test. The caller
// deletes it.
HRGN MakeRegion(const Region& region, int dx = 0, int dy = 0);

}  // namespace ui::win32

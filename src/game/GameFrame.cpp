#include "game/GameFrame.h"

#include <cstdint>
#include <limits>

namespace launcher {
namespace {

using Wide = std::int64_t;

int Clamp(Wide v) {
  if (v > std::numeric_limits<int>::max()) {
    return std::numeric_limits<int>::max();
  }
  if (v < std::numeric_limits<int>::min()) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(v);
}

// (x, y, width, height) with every sum in range.
ui::Rect RectOf(Wide x, Wide y, Wide width, Wide height) {
  return {Clamp(x), Clamp(y), Clamp(x + width), Clamp(y + height)};
}

}  // namespace

std::optional<std::size_t> FramePieceEntry(const std::vector<int>& edgeImages,
                                           const std::vector<GamePicInfo>& gamePics, int piece) {
  if (piece < 1 || piece > static_cast<int>(edgeImages.size())) {
    return std::nullopt;
  }
  const Wide index = static_cast<Wide>(edgeImages[static_cast<std::size_t>(piece - 1)]) - 1;
  if (index < 0 || index >= static_cast<Wide>(gamePics.size())) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(index);
}

FramePieces FramePiecesFromConfig(const std::vector<int>& edgeImages,
                                  const std::vector<GamePicInfo>& gamePics) {
  FramePieces pieces;
  for (int n = 1; n <= kFramePieceCount; ++n) {
    if (auto entry = FramePieceEntry(edgeImages, gamePics, n)) {
      const GamePicInfo& pic = gamePics[*entry];
      pieces.size[static_cast<std::size_t>(n - 1)] = {pic.width, pic.height};
    }
  }
  return pieces;
}

std::vector<PieceDraw> FramePaintPlan(const FramePieces& p, ui::Size client, bool maximized) {
  const Wide w = client.cx;
  const Wide h = client.cy;
  if (maximized) {
    return {{2, RectOf(0, 0, w, p.H(2))}};
  }
  return {
      {1, RectOf(0, 0, p.W(1), p.H(1))},
      {3, RectOf(w - p.W(3), 0, p.W(3), p.H(3))},
      {2, RectOf(p.W(1), 0, w - p.W(1) - p.W(3), p.H(2))},
      {4, RectOf(0, p.H(1), p.W(4), h - p.H(1) - p.H(6))},
      {5, RectOf(w - p.W(5), p.H(3), p.W(5), h - p.H(3) - p.H(8))},
      {6, RectOf(0, h - p.H(6), p.W(6), p.H(6))},
      {8, RectOf(w - p.W(8), h - p.H(8), p.W(8), p.H(8))},
      {7, RectOf(p.W(6), h - p.H(7), w - p.W(6) - p.W(8), p.H(7))},
  };
}

int FrameHitTest(const FramePieces& p, const ui::Rect& window, ui::Point screen, bool framed) {
  if (!framed) {
    return ui::kHtClient;
  }
  const Wide x = screen.x;
  const Wide y = screen.y;
  const Wide l = window.left;
  const Wide t = window.top;
  const Wide r = window.right;
  const Wide b = window.bottom;
  if (x <= l + p.W(1) && y <= t + p.H(1)) {
    return ui::kHtTopLeft;
  }
  if (x >= r - p.W(3) && y <= t + p.H(3)) {
    return ui::kHtTopRight;
  }
  if (x <= l + p.W(6) && y >= b - p.H(6)) {
    return ui::kHtBottomLeft;
  }
  if (x >= r - p.W(8) && y >= b - p.H(8)) {
    return ui::kHtBottomRight;
  }
  if (x <= l + p.W(4)) {
    return ui::kHtLeft;
  }
  if (x >= r - p.W(5)) {
    return ui::kHtRight;
  }
  if (y >= b - p.H(7)) {
    return ui::kHtBottom;
  }
  return ui::kHtClient;
}

unsigned SizeCommandForHit(int hit) {
  if (hit < ui::kHtLeft || hit > ui::kHtBottomRight) {
    return 0;
  }
  // The directions follow the hit codes: left 1, right 2, top 3, ... bottom-right 8.
  return ui::kScSize + static_cast<unsigned>(hit - ui::kHtLeft + 1);
}

ui::Cursor CursorForFrameHit(int hit) {
  switch (hit) {
    case ui::kHtTop:
    case ui::kHtBottom:
      return ui::Cursor::kSizeNS;
    case ui::kHtLeft:
    case ui::kHtRight:
      return ui::Cursor::kSizeWE;
    case ui::kHtTopLeft:
    case ui::kHtBottomRight:
      return ui::Cursor::kSizeNWSE;
    case ui::kHtTopRight:
    case ui::kHtBottomLeft:
      return ui::Cursor::kSizeNESW;
    default:
      return ui::Cursor::kArrow;
  }
}

ui::Rect GameButtonRect(ui::Size window, const FramePieces& pieces, const GameButtonInfo& button,
                        const GamePicInfo& picture, bool maximized) {
  Wide left = static_cast<Wide>(window.cx) + button.x;
  if (!maximized) {
    left -= pieces.W(5);
  }
  return RectOf(left, button.y, picture.width, picture.height);
}

ui::Rect GamePageRect(ui::Size window, const FramePieces& p, bool maximized) {
  const Wide w = window.cx;
  const Wide h = window.cy;
  if (maximized) {
    return RectOf(0, p.H(2), w, h - p.H(2));
  }
  return RectOf(p.W(4), p.H(2), w - p.W(4) - p.W(5), h - p.H(2) - p.H(7));
}

ui::Rect FirstRestoreRect(const ui::Rect& workArea, int minGameWidth, int minGameHeight) {
  // Integer division truncates toward zero, as the rule asks.
  Wide left = (static_cast<Wide>(workArea.Width()) - minGameWidth) / 2;
  Wide top = (static_cast<Wide>(workArea.Height()) - minGameHeight) / 2;
  if (left < 0) {
    left = 0;
  }
  if (top < 0) {
    top = 0;
  }
  return RectOf(left, top, minGameWidth, minGameHeight);
}

void ApplySizingLimit(ui::Rect& proposed, int minTrackWidth, int minTrackHeight) {
  if (proposed.Width() < minTrackWidth) {
    proposed.right = Clamp(static_cast<Wide>(proposed.left) + minTrackWidth);
  }
  if (proposed.Height() < minTrackHeight) {
    proposed.bottom = Clamp(static_cast<Wide>(proposed.top) + minTrackHeight);
  }
}

ui::Rect FullScreenWindowRect(const ui::Rect& window, const ui::Rect& clientOnScreen,
                              ui::Size screen) {
  return {window.left - clientOnScreen.left, window.top - clientOnScreen.top,
          Clamp(static_cast<Wide>(window.right) - clientOnScreen.right + screen.cx),
          Clamp(static_cast<Wide>(window.bottom) - clientOnScreen.bottom + screen.cy)};
}

bool InTitleStrip(int y, int windowTop, int stripHeight) {
  return y > windowTop && static_cast<Wide>(y) < static_cast<Wide>(windowTop) + stripHeight;
}

std::optional<ButtonFaces> GameButtonFaces(const GamePicInfo& picture) {
  const Wide step = static_cast<Wide>(picture.height) + picture.interval;
  const Wide hoverTop = static_cast<Wide>(picture.y) + 2 * step;
  const Wide pressedTop = static_cast<Wide>(picture.y) + step;
  for (Wide top : {pressedTop, hoverTop}) {
    if (top < std::numeric_limits<int>::min() || top > std::numeric_limits<int>::max()) {
      return std::nullopt;
    }
  }
  return ButtonFaces{RectOf(picture.x, picture.y, picture.width, picture.height),
                     RectOf(picture.x, pressedTop, picture.width, picture.height),
                     RectOf(picture.x, hoverTop, picture.width, picture.height)};
}

}  // namespace launcher

// The game window's frame as plain rectangle arithmetic: the sizes of the eight frame pieces,
// what is painted where, which part of the frame the pointer is over, where the title-strip
// buttons and the page go, and the rectangles of the restored and full-screen states. Value in,
// value out; CGameDialog applies the results to its windows.
//
// Sums are taken in 64 bits and brought back into int range, so that configured numbers at the
// ends of the int range give far-away rectangles rather than overflow.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "config/LauncherConfig.h"
#include "ui/Geometry.h"
#include "ui/Window.h"

namespace launcher {

// The pieces, numbered 1 to 8 as the configuration's edgeImage1..8:
// 1 top-left, 2 top edge and title strip, 3 top-right, 4 left, 5 right, 6 bottom-left,
// 7 bottom, 8 bottom-right.
constexpr int kFramePieceCount = 8;

struct FramePieces {
  std::array<ui::Size, kFramePieceCount> size{};  // index piece - 1

  int W(int piece) const { return size[static_cast<std::size_t>(piece - 1)].cx; }
  int H(int piece) const { return size[static_cast<std::size_t>(piece - 1)].cy; }
  // The title strip is as high as the top edge piece.
  int StripHeight() const { return H(2); }
};

// The gamePics entry (0-based) that edgeImageN names for piece N, or nothing when the value
// names no entry (0, negative, beyond the list): such a piece is empty, 0 x 0.
std::optional<std::size_t> FramePieceEntry(const std::vector<int>& edgeImages,
                                           const std::vector<GamePicInfo>& gamePics, int piece);

// Sizes of the eight pieces from the configuration (empty pieces for missing entries).
FramePieces FramePiecesFromConfig(const std::vector<int>& edgeImages,
                                  const std::vector<GamePicInfo>& gamePics);

// One piece copied from its full size to dst (client coordinates), stretched when they differ.
struct PieceDraw {
  int piece = 0;
  ui::Rect dst;
  friend bool operator==(const PieceDraw&, const PieceDraw&) = default;
};

// What a paint of a client area of this size draws, in order: maximized, the strip across the
// top alone; framed, the corners and edges around the page (top corners first, the strip between
// them, then the sides, the bottom corners and the bottom edge between them).
std::vector<PieceDraw> FramePaintPlan(const FramePieces& pieces, ui::Size client, bool maximized);

// Hit code (ui::kHt*) of a screen point for a framed window at window (screen coordinates).
// Without a frame (maximized or full screen) everything is client area. There is no top edge and
// no caption: the top corners reach down the whole strip, and the strip drags the window itself.
int FrameHitTest(const FramePieces& pieces, const ui::Rect& window, ui::Point screen, bool framed);

// The system command that starts sizing from a frame hit code (kScSize plus the direction), or 0
// for codes that size nothing.
unsigned SizeCommandForHit(int hit);

// The pointer shape over a hit code.
ui::Cursor CursorForFrameHit(int hit);

// Where a title-strip button goes in a window of the given size: x counts from the right end of
// the window (inside the right edge piece when framed), y from the top; the picture entry gives
// the size.
ui::Rect GameButtonRect(ui::Size window, const FramePieces& pieces, const GameButtonInfo& button,
                        const GamePicInfo& picture, bool maximized);

// Where the page goes: below the strip, and inside the side and bottom pieces when framed.
ui::Rect GamePageRect(ui::Size window, const FramePieces& pieces, bool maximized);

// The restored window's first rectangle: minGameWidth x minGameHeight, centred on the work area's
// size but measured from the screen origin, never above or left of it.
ui::Rect FirstRestoreRect(const ui::Rect& workArea, int minGameWidth, int minGameHeight);

// Size limit of a proposed window rectangle: too narrow or too low moves the right or bottom
// edge out, whichever edge is being dragged.
void ApplySizingLimit(ui::Rect& proposed, int minTrackWidth, int minTrackHeight);

// The window rectangle whose client area covers the screen (0, 0, width, height), given the
// window's and its client area's rectangles on the screen.
ui::Rect FullScreenWindowRect(const ui::Rect& window, const ui::Rect& clientOnScreen,
                              ui::Size screen);

// A double click at screen height y toggles maximize and restore when y lies strictly inside the
// strip of a window whose top is at windowTop.
bool InTitleStrip(int y, int windowTop, int stripHeight);

// The three pictures of a title-strip button, stacked in the sheet below one another with
// interval pixels between them: normal, pressed, hover. Nothing when a place does not fit an int.
struct ButtonFaces {
  ui::Rect normal, pressed, hover;
};
std::optional<ButtonFaces> GameButtonFaces(const GamePicInfo& picture);

}  // namespace launcher

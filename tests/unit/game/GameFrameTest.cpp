#include "game/GameFrame.h"

#include <gtest/gtest.h>

#include <limits>

#include "GameTestSupport.h"

namespace launcher {
namespace {

using gametest::R;
using ui::Point;
using ui::Rect;

// The packaged pieces: strip 27 high, sides 3 wide, bottom 3 high.
FramePieces Packaged() {
  FramePieces p;
  p.size = {{{6, 27}, {58, 27}, {6, 27}, {3, 2}, {3, 2}, {4, 5}, {2, 3}, {4, 5}}};
  return p;
}

TEST(FramePieces, EdgeImagesNameEntriesAndAMissingEntryIsAnEmptyPiece) {
  std::vector<GamePicInfo> pics(16);
  for (int i = 0; i < 16; ++i) {
    pics[static_cast<std::size_t>(i)] = {i, 0, 10 + i, 20 + i, 0, 1};
  }
  const std::vector<int> edges{9, 10, 11, 12, 13, 14, 15, 16};
  FramePieces p = FramePiecesFromConfig(edges, pics);
  EXPECT_EQ(p.W(1), 18);
  EXPECT_EQ(p.H(8), 35);
  EXPECT_EQ(p.StripHeight(), 29);

  // 0, negative, one beyond the list, far beyond: no entry, a 0 x 0 piece.
  for (int bad : {0, -1, 17, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
    std::vector<int> e = edges;
    e[1] = bad;
    EXPECT_EQ(FramePieceEntry(e, pics, 2), std::nullopt) << bad;
    FramePieces q = FramePiecesFromConfig(e, pics);
    EXPECT_EQ(q.W(2), 0) << bad;
    EXPECT_EQ(q.H(2), 0) << bad;
    EXPECT_EQ(q.W(1), 18);
  }
  EXPECT_EQ(FramePieceEntry(edges, pics, 9), std::nullopt) << "there are eight pieces";
  EXPECT_EQ(FramePieceEntry(edges, {}, 1), std::nullopt);
}

TEST(FramePaintPlan, FramedWindowOf1000x630) {
  const std::vector<PieceDraw> expected{
      {1, Rect::FromSize(0, 0, 6, 27)},     {3, Rect::FromSize(994, 0, 6, 27)},
      {2, Rect::FromSize(6, 0, 988, 27)},   {4, Rect::FromSize(0, 27, 3, 598)},
      {5, Rect::FromSize(997, 27, 3, 598)}, {6, Rect::FromSize(0, 625, 4, 5)},
      {8, Rect::FromSize(996, 625, 4, 5)},  {7, Rect::FromSize(4, 627, 992, 3)},
  };
  EXPECT_EQ(FramePaintPlan(Packaged(), {1000, 630}, false), expected);
  EXPECT_EQ(R(GamePageRect({1000, 630}, Packaged(), false)), R(Rect::FromSize(3, 27, 994, 600)));
}

TEST(FramePaintPlan, HugePiecesGiveEmptyAreasNotOverflows) {
  // The sanitizer build stops on any signed overflow in the arithmetic.
  FramePieces p;
  p.size.fill({std::numeric_limits<int>::max(), std::numeric_limits<int>::max()});
  const auto plan = FramePaintPlan(p, {100, 100}, false);
  EXPECT_EQ(plan.size(), 8u);
  EXPECT_TRUE(plan[2].dst.Empty()) << "the strip between the corners has no room";
  EXPECT_TRUE(GamePageRect({100, 100}, p, false).Empty());
  EXPECT_EQ(FrameHitTest(p, {0, 0, 100, 100}, {50, 50}, true), ui::kHtTopLeft);
}

TEST(FrameHitTest, ZoneBordersOfAFramedWindow) {
  const Rect window{100, 50, 1100, 680};  // L T R B
  struct Case {
    Point at;
    int hit;
  } cases[] = {
      {{100, 50}, ui::kHtTopLeft},       {{106, 77}, ui::kHtTopLeft},  // x <= L+6, y <= T+27
      {{107, 77}, ui::kHtClient},        {{106, 78}, ui::kHtClient},
      {{103, 78}, ui::kHtLeft},          {{104, 78}, ui::kHtClient},  // x <= L+3
      {{1094, 50}, ui::kHtTopRight},     {{1094, 77}, ui::kHtTopRight},
      {{1093, 60}, ui::kHtClient},       {{1100, 78}, ui::kHtRight},
      {{104, 675}, ui::kHtBottomLeft},   {{105, 675}, ui::kHtClient},  // x <= L+4, y >= B-5
      {{105, 677}, ui::kHtBottom},       {{104, 674}, ui::kHtClient},
      {{103, 674}, ui::kHtLeft},         {{1096, 675}, ui::kHtBottomRight},
      {{1095, 675}, ui::kHtClient},      {{1096, 674}, ui::kHtClient},
      {{1097, 674}, ui::kHtRight},       {{1097, 400}, ui::kHtRight},  // x >= R-3
      {{1096, 400}, ui::kHtClient},      {{600, 677}, ui::kHtBottom},  // y >= B-3
      {{600, 676}, ui::kHtClient},       {{600, 50}, ui::kHtClient},   // no top edge
      {{1100, 680}, ui::kHtBottomRight}, {{5000, 5000}, ui::kHtBottomRight},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameHitTest(Packaged(), window, c.at, true), c.hit) << c.at.x << "," << c.at.y;
    EXPECT_EQ(FrameHitTest(Packaged(), window, c.at, false), ui::kHtClient)
        << "maximized and full screen have no frame";
  }
}

TEST(FrameHitTest, SizingDirectionsAndCursors) {
  struct Case {
    int hit;
    unsigned command;
    ui::Cursor cursor;
  } cases[] = {
      {ui::kHtLeft, 0xF001, ui::Cursor::kSizeWE},
      {ui::kHtRight, 0xF002, ui::Cursor::kSizeWE},
      {ui::kHtTop, 0xF003, ui::Cursor::kSizeNS},
      {ui::kHtTopLeft, 0xF004, ui::Cursor::kSizeNWSE},
      {ui::kHtTopRight, 0xF005, ui::Cursor::kSizeNESW},
      {ui::kHtBottom, 0xF006, ui::Cursor::kSizeNS},
      {ui::kHtBottomLeft, 0xF007, ui::Cursor::kSizeNESW},
      {ui::kHtBottomRight, 0xF008, ui::Cursor::kSizeNWSE},
      {ui::kHtClient, 0, ui::Cursor::kArrow},
      {ui::kHtCaption, 0, ui::Cursor::kArrow},
      {ui::kHtSysMenu, 0, ui::Cursor::kArrow},
      {ui::kHtMenu, 0, ui::Cursor::kArrow},
      {9, 0, ui::Cursor::kArrow},
      {18, 0, ui::Cursor::kArrow},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SizeCommandForHit(c.hit), c.command) << c.hit;
    EXPECT_EQ(CursorForFrameHit(c.hit), c.cursor) << c.hit;
  }
}

TEST(RestoreRect, FirstRestoreCentresTheMinimumSizeOnTheWorkArea) {
  struct Case {
    Rect work;
    int w, h;
    const char* expected;
  } cases[] = {
      {{0, 0, 1920, 1040}, 1000, 630, "(460,205,1460,835)"},
      // Measured from the screen origin, not from the work area's corner.
      {{200, 30, 2120, 1070}, 1000, 630, "(460,205,1460,835)"},
      // Larger than the work area: at the origin, still the configured size.
      {{0, 0, 800, 600}, 1000, 630, "(0,0,1000,630)"},
      // Halves truncate toward zero.
      {{0, 0, 1001, 631}, 1000, 630, "(0,0,1000,630)"},
      {{0, 0, 1003, 633}, 1000, 630, "(1,1,1001,631)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(R(FirstRestoreRect(c.work, c.w, c.h)), c.expected);
  }
}

TEST(SizingLimit, TooSmallMovesTheRightAndBottomEdgesOut) {
  struct Case {
    Rect proposed;
    const char* expected;
  } cases[] = {
      // A bottom-left drag past the minimum: the left edge stays where dragged.
      {{700, 100, 1500, 730}, "(700,100,1700,730)"}, {{100, 300, 1100, 700}, "(100,300,1100,930)"},
      {{100, 100, 1100, 730}, "(100,100,1100,730)"}, {{100, 100, 1300, 900}, "(100,100,1300,900)"},
      {{500, 500, 400, 400}, "(500,500,1500,1130)"},
  };
  for (const Case& c : cases) {
    Rect r = c.proposed;
    ApplySizingLimit(r, 1000, 630);
    EXPECT_EQ(R(r), c.expected);
  }
}

TEST(ButtonFaces, StackedBelowOneAnotherWithTheirInterval) {
  auto faces = GameButtonFaces({84, 10, 28, 26, 2, 3});
  ASSERT_TRUE(faces);
  EXPECT_EQ(R(faces->normal), "(84,10,112,36)");
  EXPECT_EQ(R(faces->pressed), "(84,38,112,64)");
  EXPECT_EQ(R(faces->hover), "(84,66,112,92)");
  EXPECT_FALSE(GameButtonFaces({0, 0, 10, std::numeric_limits<int>::max(), 0, 3}));
}

}  // namespace
}  // namespace launcher

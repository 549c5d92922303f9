#include "skin/SkinButton.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/fake/FakeUi.h"

namespace ui {
void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace ui

namespace launcher {
namespace {

using ui::Point;
using ui::Rect;
using ui::fake::DrawOp;
using ui::fake::MouseKind;

constexpr ui::ColorRef kMagenta = ui::Rgb(255, 0, 255);

// A picture in one colour; 32-bit pictures get the given alpha.
Bitmap Solid(int width, int height, ui::ColorRef color = ui::Rgb(10, 20, 30), int bits = 24,
             std::uint8_t alpha = 255) {
  Bitmap b{width, height, bits, {}};
  for (int i = 0; i < width * height; ++i) {
    b.pixels.push_back(static_cast<std::uint8_t>(ui::RedOf(color)));
    b.pixels.push_back(static_cast<std::uint8_t>(ui::GreenOf(color)));
    b.pixels.push_back(static_cast<std::uint8_t>(ui::BlueOf(color)));
    if (bits == 32) {
      b.pixels.push_back(alpha);
    }
  }
  return b;
}

// A mask from rows of 'M' (magenta, outside) and '.' (inside).
Bitmap Mask(const std::vector<std::string>& rows) {
  Bitmap b = Solid(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (rows[y][x] != 'M') {
        continue;
      }
      std::uint8_t* p = b.pixels.data() + b.Stride() * y + 3 * static_cast<std::size_t>(x);
      p[0] = 255, p[1] = 0, p[2] = 255;
    }
  }
  return b;
}

// The faces are told apart by their widths in the draw ops.
enum Face { kNormal, kPressed, kHover, kDisabled, kFocus };
constexpr int kFaceWidth0 = 20;
const char* const kFaceNames[] = {"normal", "pressed", "hover", "disabled", "focus"};
std::optional<Bitmap> FacePicture(Face face, bool given = true) {
  if (!given) {
    return std::nullopt;
  }
  return Solid(kFaceWidth0 + face, 10);
}

// What the first drawing op paints the face with.
std::string FaceOf(const std::vector<DrawOp>& ops) {
  for (const DrawOp& op : ops) {
    if (op.kind == DrawOp::Kind::kBitmap || op.kind == DrawOp::Kind::kMasked) {
      int index = op.pictureWidth - kFaceWidth0;
      return index >= 0 && index < 5 ? kFaceNames[index] : "other picture";
    }
    if (op.kind == DrawOp::Kind::kFill) {
      return op.color == ui::GetSysColor(ui::SysColor::kBtnFace) ? "button face" : "other fill";
    }
  }
  return "nothing";
}

// A top-level at (100, 100) that records the commands its controls send.
class Host : public ui::Window {
 public:
  std::vector<ui::WParam> commands;
  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override {
    if (message == ui::kWmCommand) {
      commands.push_back(wParam);
    }
    return ui::Window::WindowProc(message, wParam, lParam);
  }
};

// Public: the tables' actions reach the helpers through a fixture reference.
class SkinButtonTest : public ::testing::Test {
 public:
  static constexpr int kId = 201;
  // The button's place in the host, and points on the screen.
  static constexpr Rect kPlace{10, 10, 70, 40};
  static constexpr Point kInside{120, 120};
  static constexpr Point kAlsoInside{125, 125};
  static constexpr Point kOutside{250, 150};

  Host host;

  void SetUp() override {
    ui::fake::Reset();
    ASSERT_TRUE(host.Create("", ui::kWsPopup | ui::kWsVisible, Rect::FromSize(100, 100, 300, 200),
                            nullptr, 0));
  }

  void Make(CxSkinButton& button, unsigned style = 0, Rect place = kPlace, int id = kId,
            const char* caption = "") {
    ASSERT_TRUE(button.Create(caption, ui::kWsChild | ui::kWsVisible | style, place, &host, id));
  }
  // Normal, pressed, hover, disabled, focus.
  static inline const std::vector<bool> kNoFocusPicture = {1, 1, 1, 1, 0};
  // All five faces (or those given), stretched, no border or margin.
  static void SkinAll(CxSkinButton& button, std::vector<bool> given = {1, 1, 1, 1, 1}) {
    button.SetSkin(FacePicture(kNormal, given[0]), FacePicture(kPressed, given[1]),
                   FacePicture(kHover, given[2]), FacePicture(kDisabled, given[3]),
                   FacePicture(kFocus, given[4]), std::nullopt, 1, 0, 0);
  }

  void Move(Point p) { ui::fake::Mouse(host, MouseKind::kMove, 0, p); }
  void Down(Point p) { ui::fake::Mouse(host, MouseKind::kDown, 1, p, ui::kMkLButton); }
  void Up(Point p) { ui::fake::Mouse(host, MouseKind::kUp, 1, p); }
  void DoubleClick(Point p) {
    ui::fake::Mouse(host, MouseKind::kDoubleClick, 1, p, ui::kMkLButton);
  }
  void Click(Point p) { ui::fake::Click(host, p); }
  void Space() {
    ui::fake::Key(host, true, ui::kVkSpace);
    ui::fake::Key(host, false, ui::kVkSpace);
  }
  std::string Face() { return FaceOf(ui::fake::Paint(host)); }
  static bool Checked(CxSkinButton& b) { return b.SendMessage(ui::kBmGetCheck) == 1; }
  std::size_t Clicks() const { return host.commands.size(); }
};

TEST_F(SkinButtonTest, SkinButtonPointerWalksThroughItsStates) {
  CxSkinButton button;
  Make(button);
  SkinAll(button, kNoFocusPicture);  // a press focuses the button
  struct Step {
    const char* what;
    std::function<void()> act;
    const char* face;
    std::size_t clicks;
  };
  const std::vector<Step> steps = {
      {"at rest", [] {}, "normal", 0},
      {"pointer arrives", [&] { Move(kInside); }, "hover", 0},
      {"pointer moves on over it", [&] { Move(kAlsoInside); }, "hover", 0},
      {"pointer goes to the parent", [&] { Move(kOutside); }, "normal", 0},
      {"pointer back", [&] { Move(kInside); }, "hover", 0},
      {"pointer leaves the window", [&] { ui::fake::PointerLeaves(host); }, "normal", 0},
      {"press", [&] { Move(kInside), Down(kInside); }, "pressed", 0},
      {"dragged out", [&] { Move(kOutside); }, "normal", 0},
      {"dragged back", [&] { Move(kInside); }, "pressed", 0},
      // The press ended hovering; it starts again with the next move.
      {"released over it", [&] { Up(kInside); }, "normal", 1},
      {"moves after the release", [&] { Move(kInside); }, "hover", 1},
      {"pressed, released outside", [&] { Down(kInside), Move(kOutside), Up(kOutside); }, "normal",
       1},
      {"released outside with no move first", [&] { Move(kInside), Down(kInside), Up(kOutside); },
       "normal", 1},
      {"clicked again", [&] { Click(kInside); }, "normal", 2},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(Face(), step.face) << step.what;
    EXPECT_EQ(Clicks(), step.clicks) << step.what;
  }
  EXPECT_EQ(host.commands.back(), ui::MakeWParam(kId, ui::kBnClicked));
}

TEST_F(SkinButtonTest, SkinButtonLosingFocusWhilePressedDropsThePress) {
  CxSkinButton button;
  Make(button);
  SkinAll(button);
  Move(kInside);
  Down(kInside);
  ASSERT_EQ(ui::Window::GetCapture(), &button);
  ui::fake::FocusChange(host, false);
  EXPECT_EQ(ui::Window::GetCapture(), nullptr);
  EXPECT_EQ(Face(), "normal");
  Up(kInside);
  EXPECT_EQ(Clicks(), 0u);
}

TEST_F(SkinButtonTest, SkinButtonOpensItsLinkAtThePress) {
  CxSkinButton button;
  Make(button);
  button.SetLinkUrl("http://pay.example/a?x=1;y=2;z=3");
  EXPECT_EQ(button.GetLinkUrl(), "http://pay.example/a?x=1&y=2&z=3");
  const std::vector<std::string> once = {"http://pay.example/a?x=1&y=2&z=3"};

  Move(kInside);
  Down(kInside);
  EXPECT_EQ(ui::fake::ShellOpens(), once) << "before the release";
  Move(kOutside);
  Up(kOutside);
  EXPECT_EQ(ui::fake::ShellOpens(), once) << "a release outside takes nothing back";
  EXPECT_EQ(Clicks(), 0u);

  // The platform's order for a double click: press, release, double click, release.
  Move(kInside);
  Down(kInside);
  Up(kInside);
  DoubleClick(kInside);
  Up(kInside);
  EXPECT_EQ(ui::fake::ShellOpens().size(), 3u) << "the press and the double click: two more";
  EXPECT_EQ(Clicks(), 2u);

  CxSkinButton plain;
  Make(plain, 0, Rect::FromSize(100, 10, 40, 20), kId + 1);
  Click({210, 115});
  EXPECT_EQ(ui::fake::ShellOpens().size(), 3u) << "no address, nothing opened";
}

TEST_F(SkinButtonTest, SkinButtonCheckStateByKind) {
  struct Case {
    const char* what;
    unsigned style;
    std::function<void(SkinButtonTest&)> act;
    bool checked;
    std::size_t clicks;
  };
  const std::vector<Case> cases = {
      {"check box clicked", ui::kBsAutoCheckBox, [](auto& t) { t.Click(kInside); }, true, 1},
      {"check box clicked twice", ui::kBsAutoCheckBox,
       [](auto& t) { t.Click(kInside), t.Click(kInside); }, false, 2},
      {"check box released outside", ui::kBsAutoCheckBox,
       [](auto& t) { t.Move(kInside), t.Down(kInside), t.Move(kOutside), t.Up(kOutside); }, false,
       0},
      {"check box, space bar", ui::kBsAutoCheckBox, [](auto& t) { t.Space(); }, true, 1},
      {"check box, space bar twice", ui::kBsAutoCheckBox, [](auto& t) { t.Space(), t.Space(); },
       false, 2},
      {"radio clicked twice stays checked", ui::kBsAutoRadioButton,
       [](auto& t) { t.Click(kInside), t.Click(kInside); }, true, 2},
      {"radio, space bar", ui::kBsAutoRadioButton, [](auto& t) { t.Space(); }, true, 1},
      {"push button clicked", 0, [](auto& t) { t.Click(kInside); }, false, 1},
      {"push button, space bar", 0, [](auto& t) { t.Space(); }, false, 1},
  };
  for (const Case& c : cases) {
    host.commands.clear();
    CxSkinButton button;
    Make(button, c.style);
    button.SetFocus();
    c.act(*this);
    EXPECT_EQ(Checked(button), c.checked) << c.what;
    EXPECT_EQ(Clicks(), c.clicks) << c.what;
    EXPECT_EQ(button.GetStyle() & 0xF, ui::kBsOwnerDraw) << c.what;
  }
}

TEST_F(SkinButtonTest, SkinButtonCheckMessageOnAPushButtonOnlyRepaints) {
  CxSkinButton button;
  Make(button);
  const int before = ui::fake::Native(host).invalidations;
  button.SendMessage(ui::kBmSetCheck, 1);
  EXPECT_FALSE(Checked(button));
  EXPECT_GT(ui::fake::Native(host).invalidations, before);
}

TEST_F(SkinButtonTest, SkinButtonCheckedLooksPressedUntilUnchecked) {
  CxSkinButton box;
  Make(box, ui::kBsAutoCheckBox);
  SkinAll(box, kNoFocusPicture);
  Click(kInside);
  Move(kOutside);  // no hover, no press: only the check shows
  EXPECT_EQ(Face(), "pressed");
  box.SendMessage(ui::kBmSetCheck, 0);
  EXPECT_EQ(Face(), "normal");
}

TEST_F(SkinButtonTest, SkinButtonRadioUnchecksTheRestOfItsGroup) {
  // Group one: a, b, c (a starts it); group two: d. A plain window in group one is told too.
  CxSkinButton a, b, c, d;
  ui::Window other;
  const unsigned radio = ui::kBsAutoRadioButton;
  Make(a, radio | ui::kWsGroup, Rect::FromSize(10, 10, 20, 20), 1);
  Make(b, radio, Rect::FromSize(40, 10, 20, 20), 2);
  ASSERT_TRUE(
      other.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(200, 150, 5, 5), &host, 9));
  Make(c, radio, Rect::FromSize(70, 10, 20, 20), 3);
  Make(d, radio | ui::kWsGroup, Rect::FromSize(100, 10, 20, 20), 4);

  d.SendMessage(ui::kBmSetCheck, 1);
  b.SendMessage(ui::kBmSetCheck, 1);
  ui::fake::RunPostedWork();
  ASSERT_TRUE(Checked(b) && Checked(d));

  Click({175, 115});  // c, the last of its group: the walk wraps to a and b
  EXPECT_TRUE(Checked(c));
  EXPECT_TRUE(Checked(b)) << "told by a posted message, not at once";
  ui::fake::RunPostedWork();
  EXPECT_FALSE(Checked(a));
  EXPECT_FALSE(Checked(b));
  EXPECT_TRUE(Checked(c));
  EXPECT_TRUE(Checked(d)) << "another group";

  a.SendMessage(ui::kBmSetCheck, 1);  // the first of the group walks forward
  ui::fake::RunPostedWork();
  EXPECT_TRUE(Checked(a));
  EXPECT_FALSE(Checked(c));
  EXPECT_TRUE(Checked(d));
}

TEST_F(SkinButtonTest, SkinButtonFaceByState) {
  struct Case {
    const char* what;
    std::vector<bool> given;  // normal, pressed, hover, disabled, focus
    std::function<void(SkinButtonTest&, CxSkinButton&)> act;
    const char* face;
  };
  const std::vector<bool> all = {1, 1, 1, 1, 1};
  const std::vector<Case> cases = {
      {"hovering", all, [](auto& t, auto&) { t.Move(kInside); }, "hover"},
      {"hovering, no hover picture",
       {1, 1, 0, 1, 1},
       [](auto& t, auto&) { t.Move(kInside); },
       "normal"},
      {"focused", all, [](auto&, auto& b) { b.SetFocus(); }, "focus"},
      {"focused and hovering", all, [](auto& t, auto& b) { b.SetFocus(), t.Move(kInside); },
       "hover"},
      {"focused, no focus picture",
       {1, 1, 1, 1, 0},
       [](auto&, auto& b) { b.SetFocus(); },
       "normal"},
      {"pressed", all, [](auto& t, auto&) { t.Move(kInside), t.Down(kInside); }, "pressed"},
      {"pressed, no pressed picture",
       {1, 0, 1, 1, 1},
       [](auto& t, auto&) { t.Move(kInside), t.Down(kInside); },
       "button face"},
      {"disabled", all, [](auto&, auto& b) { b.EnableWindow(false); }, "disabled"},
      {"disabled, no disabled picture",
       {1, 1, 1, 0, 1},
       [](auto&, auto& b) { b.EnableWindow(false); },
       "normal"},
      {"no normal picture, hovering",
       {0, 1, 1, 1, 1},
       [](auto& t, auto&) { t.Move(kInside); },
       "button face"},
  };
  for (const Case& c : cases) {
    Move(kOutside);
    CxSkinButton button;
    Make(button);
    SkinAll(button, c.given);
    c.act(*this, button);
    EXPECT_EQ(Face(), c.face) << c.what;
  }
}

TEST_F(SkinButtonTest, SkinButtonCaptionAndEdges) {
  const Rect rect{10, 10, 70, 40};
  const ui::ColorRef face = ui::GetSysColor(ui::SysColor::kBtnFace);
  // No pictures, a border of 1 and a focus margin of 3: caption narrowed by 5 on each side.
  CxSkinButton button;
  Make(button, 0, rect, kId, "Go");
  button.SetSkin(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                 1, 1, 3);
  const ui::ColorRef red = ui::Rgb(200, 0, 0);
  EXPECT_EQ(button.SetTextColor(red), ui::GetSysColor(ui::SysColor::kBtnText));

  auto ops = ui::fake::Paint(host);
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0].kind, DrawOp::Kind::kFill);
  EXPECT_EQ(ops[0].color, face);
  EXPECT_EQ(ops[0].dst, rect);
  EXPECT_EQ(ops[1].kind, DrawOp::Kind::kEdge);
  EXPECT_EQ(ops[1].flags, 1u) << "raised";
  EXPECT_EQ(ops[2].kind, DrawOp::Kind::kText);
  EXPECT_EQ(ops[2].text, "Go");
  EXPECT_EQ(ops[2].dst, (Rect{15, 10, 65, 40}));
  EXPECT_EQ(ops[2].color, red);
  EXPECT_EQ(ops[2].flags, ui::kDtSingleLine | ui::kDtCenter | ui::kDtVCenter);
  EXPECT_EQ(ops[2].font, ui::FontKind::kMenu);

  // Pressed (and so focused): sunken, focus rectangle inset by the margin, caption moved by 1.
  Move(kInside);
  Down(kInside);
  ops = ui::fake::Paint(host);
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[1].kind, DrawOp::Kind::kEdge);
  EXPECT_EQ(ops[1].flags, 2u) << "sunken";
  EXPECT_EQ(ops[2].kind, DrawOp::Kind::kFocusRect);
  EXPECT_EQ(ops[2].dst, (Rect{13, 13, 67, 37}));
  EXPECT_EQ(ops[3].dst, (Rect{16, 11, 66, 41}));
  Up(kInside);

  // Disabled: light caption, then grey one moved up and left; no focus rectangle.
  button.EnableWindow(false);
  ops = ui::fake::Paint(host);
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[1].flags, 1u) << "raised";
  EXPECT_EQ(ops[2].color, ui::GetSysColor(ui::SysColor::kBtnHighlight));
  EXPECT_EQ(ops[2].dst, (Rect{15, 10, 65, 40}));
  EXPECT_EQ(ops[3].color, ui::GetSysColor(ui::SysColor::kGrayText));
  EXPECT_EQ(ops[3].dst, (Rect{14, 9, 64, 39}));
}

TEST_F(SkinButtonTest, SkinButtonFocusMarginIsNeverNegative) {
  struct Case {
    std::int16_t margin;
    bool focusRect;
    Rect caption;
  };
  const std::vector<Case> cases = {
      {-3, false, {12, 10, 68, 40}},
      {0, false, {12, 10, 68, 40}},
      {4, true, {16, 10, 64, 40}},
  };
  for (const Case& c : cases) {
    CxSkinButton button;
    Make(button);
    button.SetSkin(FacePicture(kNormal), std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                   std::nullopt, 1, 0, c.margin);
    button.SetFocus();
    const auto ops = ui::fake::Paint(host);
    bool focusRect = false;
    for (const DrawOp& op : ops) {
      focusRect |= op.kind == DrawOp::Kind::kFocusRect;
    }
    EXPECT_EQ(focusRect, c.focusRect) << c.margin;
    EXPECT_EQ(ops.back().dst, c.caption) << c.margin;
  }
}

TEST_F(SkinButtonTest, SkinButtonDrawModes) {
  // The button is 25 x 20 at (10, 10) of the host.
  struct Case {
    std::int16_t mode;
    int pictureWidth, pictureHeight;
    std::size_t ops;
    Rect firstSrc, firstDst, lastSrc, lastDst;
  };
  const std::vector<Case> cases = {
      // Natural size, smaller than the button and larger (clipped).
      {0, 10, 8, 1, {0, 0, 10, 8}, {10, 10, 20, 18}, {0, 0, 10, 8}, {10, 10, 20, 18}},
      {-1, 10, 8, 1, {0, 0, 10, 8}, {10, 10, 20, 18}, {0, 0, 10, 8}, {10, 10, 20, 18}},
      {0, 40, 30, 1, {0, 0, 25, 20}, {10, 10, 35, 30}, {0, 0, 25, 20}, {10, 10, 35, 30}},
      // Stretched.
      {1, 10, 8, 1, {0, 0, 10, 8}, {10, 10, 35, 30}, {0, 0, 10, 8}, {10, 10, 35, 30}},
      // Tiled: 3 x 3, the last column 5 wide and the last row 4 high.
      {2, 10, 8, 9, {0, 0, 10, 8}, {10, 10, 20, 18}, {0, 0, 5, 4}, {30, 26, 35, 30}},
      {7, 10, 8, 9, {0, 0, 10, 8}, {10, 10, 20, 18}, {0, 0, 5, 4}, {30, 26, 35, 30}},
      // A picture that fits exactly is not followed by empty tiles.
      {2, 25, 10, 2, {0, 0, 25, 10}, {10, 10, 35, 20}, {0, 0, 25, 10}, {10, 20, 35, 30}},
  };
  for (const Case& c : cases) {
    CxSkinButton button;
    Make(button, 0, Rect::FromSize(10, 10, 25, 20));
    button.SetSkin(Solid(c.pictureWidth, c.pictureHeight), std::nullopt, std::nullopt, std::nullopt,
                   std::nullopt, std::nullopt, c.mode, 0, 0);
    std::vector<DrawOp> bitmaps;
    for (const DrawOp& op : ui::fake::Paint(host)) {
      if (op.kind == DrawOp::Kind::kBitmap) {
        bitmaps.push_back(op);
      }
    }
    ASSERT_EQ(bitmaps.size(), c.ops) << c.mode;
    EXPECT_EQ(bitmaps.front().src, c.firstSrc) << c.mode;
    EXPECT_EQ(bitmaps.front().dst, c.firstDst) << c.mode;
    EXPECT_EQ(bitmaps.back().src, c.lastSrc) << c.mode;
    EXPECT_EQ(bitmaps.back().dst, c.lastDst) << c.mode;
  }
}

TEST(SkinButtonOutline, RunsOfNonKeyPixels) {
  struct Case {
    const char* what;
    Bitmap mask;
    std::vector<Rect> rects;
  };
  Bitmap translucent = Solid(3, 1, kMagenta, 32, 0);
  translucent.pixels[0] = 1;  // the first pixel is not magenta; alpha plays no part
  const std::vector<Case> cases = {
      {"magenta column in the middle",
       Mask({"..M..", "..M..", "..M.."}),
       {{0, 0, 2, 1}, {3, 0, 5, 1}, {0, 1, 2, 2}, {3, 1, 5, 2}, {0, 2, 2, 3}, {3, 2, 5, 3}}},
      {"all magenta", Mask({"MMM", "MMM"}), {}},
      {"runs touching the edges",
       Mask({"M..M.", "....."}),
       {{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 1, 5, 2}}},
      {"32-bit", translucent, {{0, 0, 1, 1}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeOutlineRegion(c.mask, kMagenta).rects, c.rects) << c.what;
  }
}

TEST_F(SkinButtonTest, SkinButtonMaskShapesTheButton) {
  // 20 x 10 with a magenta column at x = 10; the button is larger.
  std::vector<std::string> rows(10, "..........M.........");
  CxSkinButton button;
  Make(button);
  button.SetSkin(FacePicture(kNormal), std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                 Mask(rows), 0, 0, 0);
  EXPECT_EQ(button.GetRectInParent(), Rect::FromSize(10, 10, 20, 10)) << "mask's size, same place";
  ASSERT_TRUE(button.GetWindowRgn());
  EXPECT_EQ(button.GetWindowRgn()->rects.size(), 20u);

  Click({120, 115});  // on the magenta column: the host's
  EXPECT_EQ(Clicks(), 0u);
  Click({115, 115});
  EXPECT_EQ(Clicks(), 1u);
  // Dragged from the button onto the hole: outside, so not pushed and no click.
  Move({115, 115});
  Down({115, 115});
  Move({120, 115});
  EXPECT_EQ(button.GetState() & ui::kBstPushed, 0u);
  Up({120, 115});
  EXPECT_EQ(Clicks(), 1u);

  auto ops = ui::fake::Paint(host);
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops[0].kind, DrawOp::Kind::kMasked);

  // Stretched: the button keeps its size.
  CxSkinButton stretched;
  Make(stretched, 0, Rect::FromSize(100, 50, 60, 30), kId + 1);
  stretched.SetSkin(FacePicture(kNormal), std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                    Mask(rows), 1, 0, 0);
  EXPECT_EQ(stretched.GetRectInParent(), Rect::FromSize(100, 50, 60, 30));
}

TEST_F(SkinButtonTest, SkinButtonPaintPutsThePushedLookRightFirst) {
  CxSkinButton button;
  Make(button);
  SkinAll(button, kNoFocusPicture);
  Move(kInside);
  Down(kInside);
  Move(kOutside);
  button.SendMessage(ui::kBmSetState, 1);  // pushed, though the pointer is outside
  EXPECT_TRUE(ui::fake::Paint(host).empty()) << "this paint stops; the state change repaints";
  EXPECT_EQ(button.GetState() & ui::kBstPushed, 0u);
  EXPECT_EQ(Face(), "normal");
}

TEST_F(SkinButtonTest, SkinButtonToolTip) {
  CxSkinButton button;
  Make(button);
  button.SetToolTipText("first");
  button.SetToolTipText("second");
  ASSERT_TRUE(button.GetToolTip().IsCreated());
  EXPECT_EQ(button.GetToolTip().GetText(), "second");

  // The button relays its pointer messages: a rest shows the tip, a press hides it.
  Move(kInside);
  ui::fake::FireTimers();
  ui::fake::RunPostedWork();
  EXPECT_TRUE(button.GetToolTip().IsShown());
  Down(kInside);
  EXPECT_FALSE(button.GetToolTip().IsShown());
  Up(kInside);
}

}  // namespace
}  // namespace launcher

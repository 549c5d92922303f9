// The picture button drawn by the GTK backend: its normal, hover and pressed faces on screen as
// a real pointer moves over it, presses and leaves.
#include <gtest/gtest.h>

#include "XScreen.h"
#include "skin/SkinButton.h"

namespace uitest {
namespace {

using namespace ui;
using namespace std::chrono_literals;

launcher::Bitmap Solid(int w, int h, ColorRef c) {
  launcher::Bitmap b;
  b.width = w;
  b.height = h;
  b.bitsPerPixel = 24;
  for (int i = 0; i < w * h; ++i) {
    b.pixels.push_back(static_cast<std::uint8_t>(RedOf(c)));
    b.pixels.push_back(static_cast<std::uint8_t>(GreenOf(c)));
    b.pixels.push_back(static_cast<std::uint8_t>(BlueOf(c)));
  }
  return b;
}

class Grey : public Window {
 public:
  int paints = 0;
  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
    if (message == kWmPaint) {
      reinterpret_cast<Canvas*>(lParam)->FillRect(GetClientRect(), Rgb(128, 128, 128));
      ++paints;
      return 0;
    }
    return Window::WindowProc(message, wParam, lParam);
  }
};

TEST(SkinButtonFaces, NormalHoverAndPressedFacesFollowThePointer) {
  if (!DisplayReady()) {
    GTEST_SKIP() << "no X display";
  }
  XScreen x;
  constexpr ColorRef kNormal = Rgb(220, 30, 30), kPressed = Rgb(30, 200, 30),
                     kHover = Rgb(30, 30, 230);
  x.MoveTo({5, 5});
  Grey top;
  ASSERT_TRUE(
      top.Create("", kWsPopup | kWsVisible, Rect::FromSize(300, 300, 200, 100), nullptr, 0));
  ASSERT_TRUE(PumpUntil([&] { return top.paints > 0; }));
  launcher::CxSkinButton button;
  ASSERT_TRUE(button.Create("", kWsChild | kWsVisible, Rect::FromSize(20, 20, 60, 30), &top, 7));
  button.SetSkin(Solid(60, 30, kNormal), Solid(60, 30, kPressed), Solid(60, 30, kHover),
                 std::nullopt, std::nullopt, std::nullopt, 0, 0, 0);
  const Point face{300 + 20 + 30, 300 + 20 + 15};
  auto is = [](ColorRef c) { return [c](std::uint32_t p) { return ColorDelta(p, Hex(c)) < 8; }; };

  EXPECT_LT(ColorDelta(x.WaitForPixel(face, is(kNormal)), Hex(kNormal)), 8) << "normal face";
  x.MoveTo(face);
  EXPECT_LT(ColorDelta(x.WaitForPixel(face, is(kHover)), Hex(kHover)), 8) << "hover face";
  x.Button(1, true);
  EXPECT_LT(ColorDelta(x.WaitForPixel(face, is(kPressed)), Hex(kPressed)), 8) << "pressed face";
  x.MoveTo({300 + 150, 300 + 80});
  EXPECT_LT(ColorDelta(x.WaitForPixel(face, is(kNormal)), Hex(kNormal)), 8)
      << "pressed look follows the pointer away";
  x.Button(1, false);
  Pump(100ms);
}

}  // namespace
}  // namespace uitest

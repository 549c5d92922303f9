// Layered and colour-keyed top-levels, with and without a compositing manager: what shows on
// the screen and where the pointer goes.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "XScreen.h"
#include "config/Png.h"
#include "ui/gtk/GtkTopLevel.h"
#include "ui/gtk/PixelOps.h"

namespace uitest {
namespace {

using namespace ui;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr ColorRef kKey = Rgb(0, 255, 0);
constexpr ColorRef kBackground = Rgb(0, 90, 200);

// A picture of five 40-pixel columns of rising alpha: nothing, faint red (64), half red (128),
// strong red (200), opaque white.
Bitmap Columns() {
  Bitmap p;
  p.width = 200;
  p.height = 100;
  p.bitsPerPixel = 32;
  p.pixels.resize(static_cast<std::size_t>(p.width) * p.height * 4);
  static constexpr std::uint8_t kColumns[5][4] = {
      {0, 0, 0, 0}, {255, 0, 0, 64}, {255, 0, 0, 128}, {255, 0, 0, 200}, {255, 255, 255, 255}};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      std::copy(kColumns[x / 40], kColumns[x / 40] + 4,
                p.pixels.begin() + static_cast<std::ptrdiff_t>(y * p.width + x) * 4);
    }
  }
  return p;
}

Bitmap LoadSkinPicture() {
  std::ifstream in(LAUNCHER_SOURCE_DIR "/demo/skin/main1.png", std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  Bitmap picture;
  launcher::DecodePng(bytes.data(), bytes.size(), &picture);
  return picture;
}

// A background with a pattern no picture pixel matches: 16-pixel squares of two colours.
class Checker : public Probe {
 public:
  Checker() : Probe(kBackground) {}
  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
    if (message != kWmPaint) {
      return Probe::WindowProc(message, wParam, lParam);
    }
    ++paints;
    auto* canvas = reinterpret_cast<Canvas*>(lParam);
    const Rect all = GetClientRect();
    canvas->FillRect(all, Rgb(230, 230, 230));
    for (int y = 0; y < all.bottom; y += 16) {
      for (int x = (y / 16) % 2 * 16; x < all.right; x += 32) {
        canvas->FillRect(Rect::FromSize(x, y, 16, 16), Rgb(250, 160, 40));
      }
    }
    return 0;
  }
  static std::uint32_t At(Point client) {
    return ((client.x / 16) + (client.y / 16)) % 2 ? 0xE6E6E6u : 0xFAA028u;
  }
};

// The launcher's companion: the key colour everywhere but on its child controls.
class Companion : public Probe {
 public:
  Companion() : Probe(kKey) {}
};

class LayeredWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayReady()) {
      GTEST_SKIP() << "no X display";
    }
  }

  static void OpenBackground(Probe& w, const Rect& r) {
    ASSERT_TRUE(w.Create("", kWsPopup | kWsVisible, r, nullptr, 0));
    ASSERT_TRUE(PumpUntil([&] { return w.paints > 0; }));
    w.UpdateWindow();
  }

  // As the layered dialog does it: created hidden, content given, then shown. Returns the time
  // the content took to reach the screen.
  static std::chrono::microseconds OpenLayered(Probe& w, const Rect& r, const Bitmap& picture) {
    EXPECT_TRUE(w.Create("", kWsPopup, r, nullptr, 0, kWsExLayered));
    EXPECT_TRUE(w.UpdateLayered(picture));
    w.ShowWindow(kSwShow);
    Pump(100ms);
    const auto start = Clock::now();
    w.UpdateLayered(picture);
    w.UpdateWindow();
    gdk_display_sync(gdk_display_get_default());
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  }

  // Both windows of the pair over r; the companion's button is at (20, 20) 40 x 30.
  static void OpenPair(Probe& picture, Companion& companion, Probe& button, const Rect& r) {
    Bitmap opaque;
    opaque.width = r.Width();
    opaque.height = r.Height();
    opaque.bitsPerPixel = 32;
    opaque.pixels.assign(static_cast<std::size_t>(opaque.width) * opaque.height * 4, 255);
    for (std::size_t i = 0; i < opaque.pixels.size(); i += 4) {
      opaque.pixels[i + 1] = 0;  // magenta
    }
    ASSERT_TRUE(picture.Create("", kWsPopup, r, nullptr, 0, kWsExLayered));
    picture.UpdateLayered(opaque);
    // The companion comes up inside the picture window's creation, before it is shown.
    ASSERT_TRUE(companion.Create("", kWsPopup, r, &picture, 0, kWsExLayered));
    ASSERT_TRUE(
        button.Create("", kWsChild | kWsVisible, Rect::FromSize(20, 20, 40, 30), &companion, 3));
    companion.SetLayeredColorKey(kKey);
    companion.ShowWindow(kSwShow);
    picture.ShowWindow(kSwShow);
    ASSERT_TRUE(PumpUntil([&] { return companion.paints > 0; }));
    Pump(100ms);
  }

  XScreen x;
};

TEST_F(LayeredWindowTest, WithoutCompositorThePictureIsShapedByItsAlpha) {
  if (gdk_screen_is_composited(gdk_screen_get_default())) {
    GTEST_SKIP() << "a compositor runs";
  }
  Probe background(kBackground);
  OpenBackground(background, Rect::FromSize(100, 100, 400, 300));
  Probe layered(Rgb(0, 0, 0));
  // Created at another size: the window takes the picture's.
  ASSERT_TRUE(
      layered.Create("", kWsPopup, Rect::FromSize(150, 150, 10, 10), nullptr, 0, kWsExLayered));
  ASSERT_TRUE(layered.UpdateLayered(Columns()));
  EXPECT_EQ(layered.GetWindowRect(), Rect::FromSize(150, 150, 200, 100));
  layered.ShowWindow(kSwShow);
  // Before anything was painted the transparent part is already not there.
  EXPECT_EQ(x.Pixel({170, 160}), Hex(kBackground));
  EXPECT_EQ(x.Pixel({210, 160}), Hex(kBackground));

  const std::uint32_t white =
      x.WaitForPixel({330, 160}, [](std::uint32_t p) { return p == 0xFFFFFFu; });
  EXPECT_EQ(white, 0xFFFFFFu);
  EXPECT_EQ(x.Pixel({150, 249}), Hex(kBackground)) << "alpha 0 never shows black";
  EXPECT_EQ(x.Pixel({210, 200}), Hex(kBackground)) << "a faint shadow is left out";
  // Half and more: drawn over a dark neutral, so the colour keeps its hue.
  for (int column : {250, 290}) {
    const std::uint32_t seen = x.Pixel({column, 160});
    EXPECT_GE(seen >> 16, 0x98u) << std::hex << seen;
    EXPECT_LE(seen & 0xFFFF, 0x2020u) << std::hex << seen;
  }
  EXPECT_NE(x.Pixel({349, 249}), Hex(kBackground));
  EXPECT_EQ(x.Pixel({350, 249}), Hex(kBackground));

  // The pointer goes where the picture shows: through what is left out, to what is drawn.
  x.Click({170, 160});
  x.Click({210, 170});
  ASSERT_TRUE(PumpUntil([&] { return background.Count(kWmLButtonUp) == 2; }));
  EXPECT_EQ(layered.Count(kWmLButtonDown), 0);
  x.Click({232, 160});
  x.Click({340, 240});
  ASSERT_TRUE(PumpUntil([&] { return layered.Count(kWmLButtonUp) == 2; }));
  EXPECT_EQ(background.Count(kWmLButtonDown), 2);
  x.Shot("layered-columns-plain");
}

TEST_F(LayeredWindowTest, KeyColouredPartsOfTheCompanionLetThePointerThrough) {
  Probe background(kBackground);
  OpenBackground(background, Rect::FromSize(560, 80, 420, 300));
  Probe picture(Rgb(0, 0, 0));
  Companion companion;
  Probe button(Rgb(255, 0, 0));
  const Rect r = Rect::FromSize(600, 100, 300, 200);
  picture.hook = [&picture](unsigned message, WParam, LParam) {
    if (message == kWmLButtonDown) {
      picture.SendMessage(kWmSysCommand, kScMove | 2, 0);
    }
    return false;
  };
  OpenPair(picture, companion, button, r);

  // What shows is the picture beneath and the button, never the key colour.
  EXPECT_EQ(x.WaitForPixel({r.left + 5, r.top + 5}, [](std::uint32_t p) { return p == 0xFF00FFu; }),
            0xFF00FFu);
  EXPECT_EQ(x.Pixel({r.left + 25, r.top + 25}), 0xFF0000u);
  EXPECT_EQ(x.Pixel({r.right - 1, r.bottom - 1}), 0xFF00FFu);

  x.Click({r.left + 30, r.top + 30});
  ASSERT_TRUE(PumpUntil([&] { return button.Count(kWmLButtonUp) == 1; }));
  EXPECT_EQ(picture.Count(kWmLButtonDown), 0);

  // A press on the key colour reaches the picture window, which drags.
  x.MoveTo({r.left + 150, r.top + 150});
  x.Button(1, true);
  Pump(50ms);
  x.MoveTo({r.left + 170, r.top + 160});
  Pump(30ms);
  x.MoveTo({r.left + 190, r.top + 170});
  x.Button(1, false);
  ASSERT_TRUE(PumpUntil([&] { return picture.GetWindowRect().left == r.left + 40; }));
  EXPECT_EQ(picture.GetWindowRect(), r.Offset(40, 20));
  EXPECT_EQ(companion.Count(kWmLButtonDown), 0);

  // The shape follows what the companion paints: without the button its place lets through.
  picture.MoveWindow(r);
  companion.events.clear();
  button.ShowWindow(kSwHide);
  companion.UpdateWindow();
  EXPECT_EQ(
      x.WaitForPixel({r.left + 25, r.top + 25}, [](std::uint32_t p) { return p == 0xFF00FFu; }),
      0xFF00FFu);
  picture.events.clear();
  x.Click({r.left + 30, r.top + 30});
  ASSERT_TRUE(PumpUntil([&] { return picture.Count(kWmLButtonDown) == 1; }));
  EXPECT_EQ(button.Count(kWmLButtonDown), 1);
  x.Shot("colour-key-pair");
}

// A native widget hosted over a top-level's drawing area, the way web views are: in a
// container stacked over the whole window that lets input through where it has no child.
GtkWidget* AddNativeChild(Window& topLevel, const Rect& r) {
  GtkWindow* window =
      static_cast<ui::gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(topLevel))->Window();
  GtkWidget* overlay = gtk_bin_get_child(GTK_BIN(window));
  GtkWidget* fixed = gtk_fixed_new();
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay), fixed);
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), fixed, TRUE);
  GtkWidget* child = gtk_drawing_area_new();
  gtk_widget_set_size_request(child, r.Width(), r.Height());
  g_signal_connect(child, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) -> gboolean {
                     cairo_set_source_rgb(cr, 1, 1, 0);
                     cairo_paint(cr);
                     return TRUE;
                   }),
                   nullptr);
  gtk_fixed_put(GTK_FIXED(fixed), child, r.left, r.top);
  gtk_widget_show_all(fixed);
  return child;
}

TEST_F(LayeredWindowTest, NativeChildrenOfTheCompanionShowOverItsKeyColour) {
  Probe background(kBackground);
  OpenBackground(background, Rect::FromSize(560, 380, 420, 300));
  Probe picture(Rgb(0, 0, 0));
  Companion companion;
  Probe button(Rgb(255, 0, 0));
  const Rect r = Rect::FromSize(600, 400, 300, 200);
  OpenPair(picture, companion, button, r);
  GtkWidget* page = AddNativeChild(companion, Rect::FromSize(100, 60, 120, 80));
  EXPECT_EQ(
      x.WaitForPixel({r.left + 110, r.top + 70}, [](std::uint32_t p) { return p == 0xFFFF00u; }),
      0xFFFF00u);
  EXPECT_EQ(x.Pixel({r.left + 219, r.top + 139}), 0xFFFF00u);
  EXPECT_EQ(x.Pixel({r.left + 220, r.top + 139}), 0xFF00FFu);
  x.Click({r.left + 150, r.top + 100});
  Pump(100ms);
  EXPECT_EQ(picture.Count(kWmLButtonDown), 0) << "the page took the click";

  // Hidden, it lets the picture through again.
  gtk_widget_hide(page);
  EXPECT_EQ(
      x.WaitForPixel({r.left + 110, r.top + 70}, [](std::uint32_t p) { return p == 0xFF00FFu; }),
      0xFF00FFu);
}

TEST_F(LayeredWindowTest, SkinPictureOverAPatternWithoutCompositor) {
  if (gdk_screen_is_composited(gdk_screen_get_default())) {
    GTEST_SKIP() << "a compositor runs";
  }
  const Bitmap picture = LoadSkinPicture();
  ASSERT_EQ(picture.width, 760);
  ASSERT_EQ(picture.height, 544);
  Checker background;
  const Rect back = Rect::FromSize(40, 40, 880, 660);
  OpenBackground(background, back);
  Probe layered(Rgb(0, 0, 0));
  const Rect r = Rect::FromSize(100, 100, 760, 544);
  const auto render = OpenLayered(layered, r, picture);

  const auto shapeStart = Clock::now();
  const auto shapes = ui::gtk::AlphaRects(picture, 128);
  const auto shape =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - shapeStart);
  std::printf(
      "layered 760x544 without compositor: render pass %lld us; shapes %lld us (%zu + %zu "
      "rectangles)\n",
      static_cast<long long>(render.count()), static_cast<long long>(shape.count()),
      shapes.shown.size(), shapes.opaque.size());
  RecordProperty("render_us", static_cast<int>(render.count()));
  RecordProperty("shape_us", static_cast<int>(shape.count()));

  // Corners are transparent: the pattern shows; the panel is the picture's own colour.
  const Point corner{r.left + 1, r.top + 1};
  EXPECT_EQ(x.Pixel(corner), Checker::At({corner.x - back.left, corner.y - back.top}));
  const Point panel{r.left + 300, r.top + 300};
  const std::uint8_t* p = picture.Pixel(300, 300);
  ASSERT_EQ(p[3], 255);
  EXPECT_EQ(x.Pixel(panel), (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]);
  x.Shot("skin-plain");
}

TEST_F(LayeredWindowTest, WithCompositorThePictureIsTranslucent) {
  Compositor compositor;
  if (!compositor.Running()) {
    GTEST_SKIP() << "no compositing manager could be started";
  }
  {
    Probe background(Rgb(0, 0, 255));
    OpenBackground(background, Rect::FromSize(100, 100, 400, 300));
    Probe layered(Rgb(0, 0, 0));
    OpenLayered(layered, Rect::FromSize(150, 150, 200, 100), Columns());
    ASSERT_TRUE(static_cast<ui::gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(layered))
                    ->LayeredTranslucent());

    // Red over blue reads back as the blend of the two, by each column's alpha.
    const std::uint32_t faint =
        x.WaitForPixel({210, 160}, [](std::uint32_t p) { return ColorDelta(p, 0x4000BFu) <= 3; });
    EXPECT_LE(ColorDelta(faint, 0x4000BFu), 3) << std::hex << faint;
    EXPECT_LE(ColorDelta(x.Pixel({250, 160}), 0x80007Fu), 3);
    EXPECT_LE(ColorDelta(x.Pixel({290, 160}), 0xC80037u), 3);
    EXPECT_EQ(x.Pixel({170, 160}), 0x0000FFu);
    EXPECT_EQ(x.Pixel({330, 160}), 0xFFFFFFu);
    // Every pixel that shows at all takes the pointer; only alpha 0 lets it through.
    x.Click({170, 160});
    ASSERT_TRUE(PumpUntil([&] { return background.Count(kWmLButtonUp) == 1; }));
    x.Click({210, 170});
    ASSERT_TRUE(PumpUntil([&] { return layered.Count(kWmLButtonUp) == 1; }));
    x.Shot("layered-columns-composited");
  }
  {
    const Bitmap picture = LoadSkinPicture();
    Checker background;
    const Rect back = Rect::FromSize(40, 40, 880, 660);
    OpenBackground(background, back);
    Probe layered(Rgb(0, 0, 0));
    const Rect r = Rect::FromSize(100, 100, 760, 544);
    const auto render = OpenLayered(layered, r, picture);
    std::printf("layered 760x544 with compositor: render pass %lld us\n",
                static_cast<long long>(render.count()));
    RecordProperty("render_composited_us", static_cast<int>(render.count()));
    // The soft shadow darkens the pattern under it instead of vanishing.
    Point shadow{-1, -1};
    for (int y = picture.height - 1; y > 0 && shadow.x < 0; --y) {
      if (picture.Pixel(picture.width / 2, y)[3] > 40) {
        shadow = {r.left + picture.width / 2, r.top + y};
      }
    }
    ASSERT_GE(shadow.x, 0);
    ASSERT_LT(picture.Pixel(shadow.x - r.left, shadow.y - r.top)[3], 128) << "a shadow pixel";
    const std::uint32_t under = Checker::At({shadow.x - back.left, shadow.y - back.top});
    const std::uint32_t seen =
        x.WaitForPixel(shadow, [under](std::uint32_t p) { return p != under; });
    EXPECT_NE(seen, under);
    EXPECT_LT(seen & 0xFF, under & 0xFF);
    x.Shot("skin-composited");
  }
}

TEST_F(LayeredWindowTest, ColourKeyWorksUnderACompositorToo) {
  Compositor compositor;
  if (!compositor.Running()) {
    GTEST_SKIP() << "no compositing manager could be started";
  }
  Probe background(kBackground);
  OpenBackground(background, Rect::FromSize(560, 80, 420, 300));
  Probe picture(Rgb(0, 0, 0));
  Companion companion;
  Probe button(Rgb(255, 0, 0));
  const Rect r = Rect::FromSize(600, 100, 300, 200);
  OpenPair(picture, companion, button, r);
  EXPECT_EQ(x.WaitForPixel({r.left + 5, r.top + 5}, [](std::uint32_t p) { return p == 0xFF00FFu; }),
            0xFF00FFu);
  EXPECT_EQ(
      x.WaitForPixel({r.left + 25, r.top + 25}, [](std::uint32_t p) { return p == 0xFF0000u; }),
      0xFF0000u);
  x.Click({r.left + 150, r.top + 150});
  ASSERT_TRUE(PumpUntil([&] { return picture.Count(kWmLButtonUp) == 1; }));
  x.Click({r.left + 30, r.top + 30});
  ASSERT_TRUE(PumpUntil([&] { return button.Count(kWmLButtonUp) == 1; }));
  EXPECT_EQ(companion.Count(kWmLButtonDown), 0);
}

}  // namespace
}  // namespace uitest

// Top-level windows of the GTK backend on a real X server: where they appear, what they show,
// and how a user's pointer and keys reach the framework's windows.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "XScreen.h"
#include "ui/gtk/GtkTopLevel.h"

namespace uitest {
namespace {

using namespace ui;
using namespace std::chrono_literals;

constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kGreen = Rgb(0, 200, 0);
constexpr ColorRef kBlue = Rgb(0, 0, 255);
constexpr ColorRef kGrey = Rgb(128, 128, 128);
constexpr ColorRef kYellow = Rgb(255, 255, 0);

class TopLevelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayReady()) {
      GTEST_SKIP() << "no X display";
    }
  }

  // Creates a visible top-level and waits for its first paint.
  static void Open(Probe& w, const Rect& r, unsigned exStyle = 0, Window* owner = nullptr) {
    ASSERT_TRUE(w.Create("", kWsPopup | kWsVisible, r, owner, 0, exStyle));
    ASSERT_TRUE(PumpUntil([&] { return w.paints > 0; }));
  }
  static void OpenChild(Probe& child, Window& parent, const Rect& r, int id) {
    ASSERT_TRUE(child.Create("", kWsChild | kWsVisible, r, &parent, id));
  }

  static GtkWindow* GtkOf(const Window& w) {
    return static_cast<gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(w))->Window();
  }

  XScreen x;
};

// A child that copies a 2 x 2 picture onto its whole area.
class PictureChild : public Window {
 public:
  PictureChild() {
    picture.width = 2;
    picture.height = 2;
    picture.bitsPerPixel = 32;
    // Yellow, green / blue, white; the alpha must not matter to an opaque copy.
    picture.pixels = {255, 255, 0,   0,   0,   200, 0,   10,  //
                      0,   0,   255, 255, 255, 255, 255, 128};
  }
  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
    if (message == kWmPaint) {
      auto* canvas = reinterpret_cast<Canvas*>(lParam);
      canvas->DrawBitmap(picture, {0, 0, 2, 2}, GetClientRect());
      return 0;
    }
    return Window::WindowProc(message, wParam, lParam);
  }
  Bitmap picture;
};

TEST_F(TopLevelTest, AppearsExactlyAtItsRectangleWithWhatItPaints) {
  Probe w(kRed);
  const Rect r = Rect::FromSize(101, 77, 203, 151);
  Open(w, r);
  PictureChild child;
  ASSERT_TRUE(child.Create("", kWsChild | kWsVisible, Rect::FromSize(20, 30, 40, 40), &w, 5));
  w.UpdateWindow();

  const auto red = Hex(kRed);
  EXPECT_EQ(x.Pixel({r.left, r.top}), red);
  EXPECT_EQ(x.Pixel({r.right - 1, r.bottom - 1}), red);
  EXPECT_NE(x.Pixel({r.left - 1, r.top}), red);
  EXPECT_NE(x.Pixel({r.left, r.top - 1}), red);
  EXPECT_NE(x.Pixel({r.right, r.bottom - 1}), red);
  EXPECT_NE(x.Pixel({r.right - 1, r.bottom}), red);

  // Stretched by nearest pixel: four sharp 20 x 20 blocks, opaque whatever the alpha said.
  const Point c{r.left + 20, r.top + 30};
  EXPECT_EQ(x.Pixel(c), Hex(kYellow));
  EXPECT_EQ(x.Pixel({c.x + 19, c.y + 19}), Hex(kYellow));
  EXPECT_EQ(x.Pixel({c.x + 20, c.y}), Hex(kGreen));
  EXPECT_EQ(x.Pixel({c.x, c.y + 20}), Hex(kBlue));
  EXPECT_EQ(x.Pixel({c.x + 39, c.y + 39}), 0xFFFFFFu);
  EXPECT_EQ(x.Pixel({c.x + 40, c.y + 40}), red);
  EXPECT_EQ(w.GetWindowRect(), r);
}

TEST_F(TopLevelTest, ClicksReachTheChildUnderThePointerWithItsOwnCoordinates) {
  Probe w(kGrey);
  const Rect r = Rect::FromSize(300, 200, 200, 100);
  Open(w, r);
  Probe a(kBlue);
  Probe b(kGreen);
  OpenChild(a, w, Rect::FromSize(10, 10, 50, 40), 1);
  OpenChild(b, w, Rect::FromSize(80, 10, 50, 40), 2);
  w.UpdateWindow();

  x.Click({r.left + 80 + 7, r.top + 10 + 9});
  ASSERT_TRUE(PumpUntil([&] { return b.Count(kWmLButtonUp) == 1; }));
  ASSERT_EQ(b.Messages({kWmLButtonDown, kWmLButtonUp}),
            (std::vector<unsigned>{kWmLButtonDown, kWmLButtonUp}));
  const auto down = std::find_if(b.events.begin(), b.events.end(),
                                 [](const Probe::Event& e) { return e.message == kWmLButtonDown; });
  EXPECT_EQ(down->point, (Point{7, 9}));
  EXPECT_EQ(down->wParam & kMkLButton, kMkLButton);
  EXPECT_EQ(b.events.back().wParam & kMkLButton, 0u) << "the release no longer holds the button";
  EXPECT_EQ(a.Count(kWmLButtonDown), 0);
  EXPECT_EQ(w.Count(kWmLButtonDown), 0);

  x.Click({r.left + 10 + 49, r.top + 10 + 39}, 3);
  ASSERT_TRUE(PumpUntil([&] { return a.Count(kWmRButtonUp) == 1; }));
  EXPECT_EQ(a.Messages({kWmRButtonDown, kWmRButtonUp}),
            (std::vector<unsigned>{kWmRButtonDown, kWmRButtonUp}));
  EXPECT_EQ(a.Count(kWmLButtonDown), 0);
}

TEST_F(TopLevelTest, DoubleClickArrivesOnceBetweenPlainPressesAndReleases) {
  Probe w(kGrey);
  const Rect r = Rect::FromSize(320, 240, 120, 90);
  Open(w, r);
  const Point p{r.left + 30, r.top + 30};
  x.MoveTo(p);
  for (int i = 0; i < 2; ++i) {
    x.Button(1, true);
    x.Button(1, false);
  }
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmLButtonUp) == 2; }));
  Pump(50ms);
  const std::vector<unsigned> clicks = {kWmLButtonDown, kWmLButtonUp, kWmLButtonDblClk};
  EXPECT_EQ(w.Messages(clicks),
            (std::vector<unsigned>{kWmLButtonDown, kWmLButtonUp, kWmLButtonDblClk, kWmLButtonUp}));

  // A third quick press is a plain press again; a fourth makes a second double click (the user
  // who double-clicks a title strip twice in a row toggles it twice).
  for (int presses : {3, 4}) {
    w.events.clear();
    Pump(900ms);  // longer than any double- or triple-click time
    for (int i = 0; i < presses; ++i) {
      x.Button(1, true);
      x.Button(1, false);
    }
    ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmLButtonUp) == presses; }));
    Pump(50ms);
    std::vector<unsigned> expected = {kWmLButtonDown, kWmLButtonUp,   kWmLButtonDblClk,
                                      kWmLButtonUp,   kWmLButtonDown, kWmLButtonUp};
    if (presses == 4) {
      expected.insert(expected.end(), {kWmLButtonDblClk, kWmLButtonUp});
    }
    EXPECT_EQ(w.Messages(clicks), expected) << presses << " presses";
  }
}

TEST_F(TopLevelTest, MoveLoopCarriesTheWindowWithThePointer) {
  Probe w(kBlue);
  const Rect r = Rect::FromSize(200, 200, 120, 80);
  w.hook = [&w](unsigned message, WParam, LParam) {
    if (message != kWmLButtonDown) {
      return false;
    }
    w.SendMessage(kWmSysCommand, kScMove | 2, 0);
    return true;
  };
  Open(w, r);
  const Point start{r.left + 50, r.top + 30};
  x.MoveTo(start);
  x.Button(1, true);
  Pump(100ms);
  // Faster than the window: the pointer is outside it for most of the way.
  for (int step = 1; step <= 5; ++step) {
    x.MoveTo({start.x + 34 * step, start.y + 18 * step});
    Pump(20ms);
  }
  x.Button(1, false);
  const Rect moved = r.Offset(170, 90);
  ASSERT_TRUE(PumpUntil([&] { return w.GetWindowRect() == moved; }));
  EXPECT_EQ(x.WaitForPixel({moved.left + 1, moved.top + 1},
                           [](std::uint32_t p) { return p == Hex(kBlue); }),
            Hex(kBlue));
  EXPECT_NE(x.Pixel({r.left + 1, r.top + 1}), Hex(kBlue));

  // After the loop the pointer is the user's again: moving it moves nothing.
  x.MoveTo({start.x + 300, start.y + 200});
  Pump(100ms);
  EXPECT_EQ(w.GetWindowRect(), moved);
}

TEST_F(TopLevelTest, CaptureKeepsThePointerAfterItLeaves) {
  Probe w(kGrey);
  const Rect r = Rect::FromSize(200, 200, 100, 100);
  Open(w, r);
  x.MoveTo({250, 250});
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmMouseMove) > 0; }));
  w.SetCapture();
  w.events.clear();
  x.MoveTo({500, 480});
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmMouseMove) > 0; }));
  EXPECT_EQ(w.events.back().point, (Point{300, 280}));
  x.Click({520, 470});
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmLButtonUp) == 1; }));
  EXPECT_EQ(w.Count(kWmLButtonDown), 1);

  Window::ReleaseCapture();
  Pump(50ms);
  w.events.clear();
  x.MoveTo({530, 490});
  Pump(150ms);
  EXPECT_EQ(w.Count(kWmMouseMove), 0);
}

TEST_F(TopLevelTest, KeysReachTheFocusedWindowAsVirtualKeys) {
  Probe w(kGrey);
  Open(w, Rect::FromSize(250, 250, 100, 100));
  w.SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return gtk_window_has_toplevel_focus(GtkOf(w)) != FALSE; }));
  w.events.clear();
  x.TapKey("a");
  x.TapKey("Return");
  x.TapKey("F5");
  x.TapKey("KP_Enter");
  x.Key("Shift_L", true);
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmKeyDown) == 5; }));
  EXPECT_TRUE(IsKeyDown(kVkShift));
  x.TapKey("Tab");
  x.Key("Shift_L", false);
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmKeyUp) == 6; }));
  EXPECT_FALSE(IsKeyDown(kVkShift));
  std::vector<WParam> downs;
  for (const auto& e : w.events) {
    if (e.message == kWmKeyDown) {
      downs.push_back(e.wParam);
    }
  }
  EXPECT_EQ(downs, (std::vector<WParam>{'A', kVkReturn, kVkF1 + 4, kVkReturn, kVkShift, kVkTab}));
}

TEST_F(TopLevelTest, UpdatePaintsBeforeItReturns) {
  Probe w(kGrey);
  const Rect r = Rect::FromSize(400, 300, 80, 60);
  Open(w, r);
  w.UpdateWindow();
  const int before = w.paints;
  w.color_ = kYellow;
  w.Invalidate();
  w.UpdateWindow();
  EXPECT_EQ(w.paints, before + 1);
  EXPECT_EQ(x.Pixel({r.left + 5, r.top + 5}), Hex(kYellow));
}

TEST_F(TopLevelTest, OwnMovesAreNotEchoedAndOthersAreReported) {
  Probe w(kGrey);
  const Rect r = Rect::FromSize(150, 150, 90, 70);
  Open(w, r);
  Pump(100ms);
  w.events.clear();
  // Ours: told once, by the framework itself, however the window system answers.
  w.MoveWindow(Rect::FromSize(170, 160, 100, 80));
  Pump(400ms);
  EXPECT_EQ(w.Count(kWmMove), 1);
  EXPECT_EQ(w.Count(kWmSize), 1);
  EXPECT_EQ(w.GetWindowRect(), Rect::FromSize(170, 160, 100, 80));

  // Someone else's (a window manager's): the framework learns the new place.
  w.events.clear();
  x.MoveResize(w, Rect::FromSize(260, 210, 110, 90));
  ASSERT_TRUE(PumpUntil([&] { return w.GetWindowRect() == Rect::FromSize(260, 210, 110, 90); }));
  EXPECT_EQ(w.Count(kWmMove), 1);
  EXPECT_EQ(w.Count(kWmSize), 1);
}

TEST_F(TopLevelTest, OwnedWindowStaysAboveItsOwnerShownAfterIt) {
  // The launcher's pair: the owned window is shown first, its owner afterwards.
  Probe owner(kBlue);
  const Rect r = Rect::FromSize(500, 100, 150, 100);
  ASSERT_TRUE(owner.Create("", kWsPopup, r, nullptr, 0));
  Probe owned(kYellow);
  Open(owned, Rect::FromSize(520, 120, 60, 40), 0, &owner);
  owner.ShowWindow(kSwShow);
  ASSERT_TRUE(PumpUntil([&] { return owner.paints > 0; }));
  owner.UpdateWindow();
  EXPECT_EQ(x.WaitForPixel({530, 130}, [](std::uint32_t p) { return p == Hex(kYellow); }),
            Hex(kYellow));
  EXPECT_EQ(x.Pixel({510, 110}), Hex(kBlue));
}

TEST_F(TopLevelTest, HiddenWindowLeavesTheScreenAndNoActivateLeavesTheFocus) {
  Probe focused(kGrey);
  Open(focused, Rect::FromSize(600, 400, 80, 80));
  focused.SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return gtk_window_has_toplevel_focus(GtkOf(focused)) != FALSE; }));

  Probe tip(kYellow);
  ASSERT_TRUE(tip.Create("", kWsPopup, Rect::FromSize(700, 420, 50, 20), &focused, 0,
                         kWsExToolWindow | kWsExTopmost));
  tip.ShowWindow(kSwShowNoActivate);
  ASSERT_TRUE(PumpUntil([&] { return tip.paints > 0; }));
  EXPECT_EQ(x.WaitForPixel({710, 425}, [](std::uint32_t p) { return p == Hex(kYellow); }),
            Hex(kYellow));
  Pump(100ms);
  EXPECT_TRUE(gtk_window_has_toplevel_focus(GtkOf(focused)));
  EXPECT_EQ(focused.Count(kWmKillFocus), 0);

  tip.ShowWindow(kSwHide);
  EXPECT_NE(x.WaitForPixel({710, 425}, [](std::uint32_t p) { return p != Hex(kYellow); }),
            Hex(kYellow));
}

// Arms leave tracking at every move and holds the pointer while pressed, as the skin buttons do.
class Hover : public Probe {
 public:
  explicit Hover(ColorRef color) : Probe(color) {}
  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
    if (message == kWmMouseMove) {
      TrackMouseLeave();
    }
    if (message == kWmLButtonDown) {
      SetCapture();
    }
    if (message == kWmLButtonUp) {
      ReleaseCapture();
    }
    return Probe::WindowProc(message, wParam, lParam);
  }
};

TEST_F(TopLevelTest, PointerLeavingIsToldOnceAndAfterAPressOutlastsIt) {
  Probe w(kGrey);
  const Rect r = Rect::FromSize(700, 500, 100, 80);
  Open(w, r);
  Hover child(kBlue);
  OpenChild(child, w, Rect::FromSize(0, 0, 60, 80), 1);
  x.MoveTo({r.left + 10, r.top + 10});
  ASSERT_TRUE(PumpUntil([&] { return child.Count(kWmMouseMove) > 0; }));
  x.MoveTo({r.left - 50, r.top + 10});
  ASSERT_TRUE(PumpUntil([&] { return child.Count(kWmMouseLeave) == 1; }));

  // Pressed and held, the pointer is still the button's outside; it has left once released.
  child.events.clear();
  x.MoveTo({r.left + 10, r.top + 10});
  x.Button(1, true);
  ASSERT_TRUE(PumpUntil([&] { return child.Count(kWmLButtonDown) == 1; }));
  x.MoveTo({r.left - 50, r.top - 50});
  ASSERT_TRUE(PumpUntil([&] { return child.events.back().point == Point{-50, -50}; }));
  EXPECT_EQ(child.Count(kWmMouseLeave), 0);
  x.Button(1, false);
  ASSERT_TRUE(PumpUntil([&] { return child.Count(kWmMouseLeave) == 1; }));
  EXPECT_EQ(child.Messages({kWmLButtonUp, kWmMouseLeave}),
            (std::vector<unsigned>{kWmLButtonUp, kWmMouseLeave}));
  Pump(50ms);
  EXPECT_EQ(child.Count(kWmMouseLeave), 1);
}

TEST_F(TopLevelTest, CloseRequestIsTheFrameworksToDecide) {
  Probe keeps(kGrey);
  keeps.hook = [](unsigned message, WParam, LParam) { return message == kWmClose; };
  Open(keeps, Rect::FromSize(100, 600, 50, 50));
  Probe closes(kBlue);
  Open(closes, Rect::FromSize(200, 600, 50, 50));
  x.RequestClose(keeps);
  x.RequestClose(closes);
  ASSERT_TRUE(PumpUntil([&] { return !closes.IsCreated(); }));
  Pump(50ms);
  EXPECT_TRUE(keeps.IsCreated());
  EXPECT_EQ(x.Pixel({110, 610}), Hex(kGrey));
  EXPECT_NE(x.WaitForPixel({210, 610}, [](std::uint32_t p) { return p != Hex(kBlue); }),
            Hex(kBlue));
}

}  // namespace
}  // namespace uitest

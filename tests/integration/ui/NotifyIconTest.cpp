// The application icon where the desktop shows it: in a real system tray, with the clicks on it
// reaching the window that added it, and on top-level windows.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "XScreen.h"
#include "base/Text.h"
#include "ui/NotifyIcon.h"
#include "ui/gtk/GtkTopLevel.h"

// Last: Xlib's macros (None, Bool) must not reach the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace uitest {
namespace {

using namespace std::chrono_literals;
using ui::LParam;

constexpr unsigned kTrayMessage = ui::kWmUser + 1001;
constexpr unsigned kIconId = 128;

Display* UiDisplay() {
  GdkDisplay* gdk = gdk_display_get_default();
  gdk_display_sync(gdk);
  return GDK_DISPLAY_XDISPLAY(gdk);
}

// A system tray (Debian's wmdocker) on the test's display for the length of a test; stopped by
// its process id when the object goes.
class Tray {
 public:
  Tray() {
    pid_ = fork();
    if (pid_ == 0) {
      execlp("wmdocker", "wmdocker", "-iconsize", "32", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Tray() {
    if (pid_ <= 0) {
      return;
    }
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    PumpUntil([] { return !ui::HasNotificationArea(); }, 3000ms);
  }
  Tray(const Tray&) = delete;
  Tray& operator=(const Tray&) = delete;

  static bool Installed() { return std::system("command -v wmdocker >/dev/null 2>&1") == 0; }

 private:
  pid_t pid_ = -1;
};

struct EmbeddedIcon {
  ::Window window;
  ::Window tray;  // the window it was embedded into
};

// Icons embedded in a tray: windows that speak XEmbed (they carry _XEMBED_INFO) and have been
// taken from the root into another window.
std::vector<EmbeddedIcon> EmbeddedIcons() {
  Display* d = UiDisplay();
  const Atom info = XInternAtom(d, "_XEMBED_INFO", False);
  const ::Window rootWindow = DefaultRootWindow(d);
  std::vector<EmbeddedIcon> icons;
  std::vector<::Window> pending{rootWindow};
  while (!pending.empty()) {
    const ::Window w = pending.back();
    pending.pop_back();
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) {
      continue;
    }
    for (unsigned i = 0; i < count; ++i) {
      pending.push_back(children[i]);
      if (w == rootWindow) {
        continue;
      }
      Atom type = None;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      XGetWindowProperty(d, children[i], info, 0, 2, False, info, &type, &format, &items, &after,
                         &data);
      if (data) {
        XFree(data);
      }
      if (type == info) {
        icons.push_back({children[i], w});
      }
    }
    if (children) {
      XFree(children);
    }
  }
  return icons;
}

bool Viewable(::Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(UiDisplay(), w, &a) && a.map_state == IsViewable;
}

ui::Rect ScreenRect(::Window w) {
  Display* d = UiDisplay();
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  int x = 0, y = 0;
  ::Window child = 0;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  return ui::Rect::FromSize(x, y, a.width, a.height);
}

// The icons a tray shows now.
std::vector<ui::Rect> ShownIcons() {
  std::vector<ui::Rect> shown;
  for (const EmbeddedIcon& icon : EmbeddedIcons()) {
    if (Viewable(icon.window)) {
      shown.push_back(ScreenRect(icon.window));
    }
  }
  return shown;
}

// wmdocker is a dock app: its window is left for a window manager to map, and the test's
// display has none, so the test maps it once an icon is inside.
void MapTrays() {
  Display* d = UiDisplay();
  for (const EmbeddedIcon& icon : EmbeddedIcons()) {
    XMapRaised(d, icon.tray);
  }
  XSync(d, False);
}

bool IsGold(std::uint32_t rgb) {
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return r > 200 && g > 120 && b < 140;
}

class NotifyIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayReady()) {
      GTEST_SKIP() << "no X display";
    }
    window_.hook = [this](unsigned message, ui::WParam wParam, LParam lParam) {
      if (message != kTrayMessage) {
        return false;
      }
      EXPECT_EQ(wParam, kIconId);
      received_.push_back(lParam);
      return true;
    };
    ASSERT_TRUE(
        window_.Create("", ui::kWsPopup, ui::Rect::FromSize(600, 400, 100, 100), nullptr, 0));
  }

  // Clicks the icon and waits for the message that ends the gesture; what arrived, in order.
  std::vector<LParam> ClickIcon(const ui::Rect& icon, int button, int clicks, LParam last) {
    received_.clear();
    const ui::Point centre{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
    for (int i = 0; i < clicks; ++i) {
      x_.Click(centre, button);
    }
    PumpUntil([&] {
      return std::count(received_.begin(), received_.end(), last) ==
             (last == ui::kWmLButtonUp ? clicks : 1);
    });
    Pump(50ms);
    return received_;
  }

  XScreen x_;
  Probe window_{ui::Rgb(10, 10, 10)};
  std::vector<LParam> received_;
};

TEST_F(NotifyIconTest, IconInARealTrayReportsClicksToItsWindowUntilDeleted) {
  if (!Tray::Installed()) {
    GTEST_SKIP() << "wmdocker is not installed (scripts/deps)";
  }
  ui::NotifyIconData data{&window_, kIconId, kTrayMessage,
                          launcher::Gbk("星辰远征 - 点击图标返回游戏")};

  // No tray yet: nothing to show the icon in.
  EXPECT_FALSE(ui::HasNotificationArea());
  EXPECT_FALSE(ui::AddNotifyIcon(data));
  EXPECT_FALSE(ui::DeleteNotifyIcon(data));

  Tray tray;
  ASSERT_TRUE(PumpUntil([] { return ui::HasNotificationArea(); }, 5000ms))
      << "the tray did not take the notification-area selection";

  // Added twice: one icon.
  ASSERT_TRUE(ui::AddNotifyIcon(data));
  data.tip = launcher::Gbk("新的提示");
  ASSERT_TRUE(ui::AddNotifyIcon(data));
  ASSERT_TRUE(PumpUntil([] { return !EmbeddedIcons().empty(); }, 5000ms));
  MapTrays();
  ASSERT_TRUE(PumpUntil([] { return !ShownIcons().empty(); }));
  Pump(200ms);
  ASSERT_EQ(ShownIcons().size(), 1u);
  const ui::Rect icon = ShownIcons().front();
  EXPECT_EQ(icon.Width(), 32);

  // The application icon is drawn: the gold star in the middle of the tile.
  const ui::Point middle{icon.left + 16, icon.top + 17};
  EXPECT_TRUE(IsGold(x_.WaitForPixel(middle, IsGold))) << std::hex << x_.Pixel(middle);
  x_.Shot("notify-icon");

  using ui::kWmLButtonDblClk, ui::kWmLButtonDown, ui::kWmLButtonUp, ui::kWmRButtonDown,
      ui::kWmRButtonUp;
  EXPECT_EQ(ClickIcon(icon, 1, 1, kWmLButtonUp),
            (std::vector<LParam>{kWmLButtonDown, kWmLButtonUp}));
  EXPECT_EQ(ClickIcon(icon, 3, 1, kWmRButtonUp),
            (std::vector<LParam>{kWmRButtonDown, kWmRButtonUp}));
  const std::vector<LParam> twice = ClickIcon(icon, 1, 2, kWmLButtonUp);
  EXPECT_EQ(std::count(twice.begin(), twice.end(), kWmLButtonDblClk), 1) << twice.size();
  EXPECT_EQ(twice.back(), kWmLButtonUp);

  // Deleted: gone from the tray; a second delete finds nothing.
  EXPECT_TRUE(ui::DeleteNotifyIcon(data));
  EXPECT_TRUE(PumpUntil([] { return ShownIcons().empty(); }));
  EXPECT_FALSE(ui::DeleteNotifyIcon(data));

  // An icon outlives its window; clicks on it then reach nobody.
  ASSERT_TRUE(ui::AddNotifyIcon(data));
  ASSERT_TRUE(PumpUntil([] { return !EmbeddedIcons().empty(); }, 5000ms));
  MapTrays();
  ASSERT_TRUE(PumpUntil([] { return !ShownIcons().empty(); }));
  window_.DestroyWindow();
  received_.clear();
  x_.Click({ShownIcons().front().left + 16, ShownIcons().front().top + 16}, 1);
  Pump(200ms);
  EXPECT_TRUE(received_.empty());
  EXPECT_TRUE(ui::DeleteNotifyIcon(data));
}

TEST_F(NotifyIconTest, WindowsCarryTheApplicationIcon) {
  Probe top(ui::Rgb(40, 40, 40));
  ASSERT_TRUE(top.Create("", ui::kWsPopup | ui::kWsVisible, ui::Rect::FromSize(50, 50, 80, 60),
                         nullptr, 0));
  ASSERT_TRUE(PumpUntil([&] { return top.paints > 0; }));
  auto* native = static_cast<ui::gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(top));
  GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(native->Window()));
  Display* d = UiDisplay();
  const Atom icon = XInternAtom(d, "_NET_WM_ICON", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(d, GDK_WINDOW_XID(gdkWindow), icon, 0, 1 << 20, False, XA_CARDINAL,
                               &type, &format, &items, &after, &data),
            Success);
  ASSERT_NE(data, nullptr) << "no _NET_WM_ICON";
  // Pictures one after another: width, height, then ARGB pixels. The taskbar picks a size.
  const auto* values = reinterpret_cast<const unsigned long*>(data);
  std::vector<unsigned long> sizes;
  std::uint32_t middleOf32 = 0;
  for (unsigned long i = 0; i + 2 <= items;) {
    const unsigned long w = values[i], h = values[i + 1];
    if (w == 32 && h == 32) {
      middleOf32 = static_cast<std::uint32_t>(values[i + 2 + 17ul * 32 + 16]);
    }
    sizes.push_back(w);
    EXPECT_EQ(w, h);
    i += 2 + w * h;
  }
  XFree(data);
  EXPECT_EQ(sizes, (std::vector<unsigned long>{16, 24, 32, 48, 64, 128}));
  EXPECT_EQ(middleOf32 >> 24, 0xFFu);  // opaque
  EXPECT_TRUE(IsGold(middleOf32 & 0xFFFFFF)) << std::hex << middleOf32;
}

}  // namespace
}  // namespace uitest

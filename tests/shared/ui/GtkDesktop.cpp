// The shared window tests' surroundings on the GTK backend: a real X server with a window
// manager (tests/integration/ui/on_desktop.sh starts both), a user's input through XTest, the
// desktop's requests as a panel sends them, the screen read back from the server.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <map>

#include "Desktop.h"
#include "XScreen.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/GtkTopLevel.h"

namespace shared {

using ui::Point;
using ui::Rect;
using ui::Window;

namespace {

// Colour distance from the background beyond which a pixel counts as drawn text.
constexpr int kInkDelta = 60;

void SyncUi() {
  if (GdkDisplay* d = gdk_display_get_default()) {
    gdk_display_sync(d);
  }
}

::Window XidOf(const Window& topLevel) {
  if (!topLevel.IsCreated() || !ui::backend::WindowAccess::Native(topLevel)) {
    return None;
  }
  auto* native = static_cast<ui::gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(topLevel));
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(native->Window()));
  return window ? GDK_WINDOW_XID(window) : None;
}

// The X name of a key (empty for keys the tests do not use).
std::string KeysymOf(unsigned virtualKey) {
  static const std::map<unsigned, std::string> kNamed = {{ui::kVkReturn, "Return"},
                                                         {ui::kVkEscape, "Escape"},
                                                         {ui::kVkTab, "Tab"},
                                                         {ui::kVkSpace, "space"}};
  if (auto it = kNamed.find(virtualKey); it != kNamed.end()) {
    return it->second;
  }
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return std::string(1, static_cast<char>(virtualKey - 'A' + 'a'));
  }
  if (virtualKey >= '0' && virtualKey <= '9') {
    return std::string(1, static_cast<char>(virtualKey));
  }
  return {};
}

bool HasWindowManager(Display* d) {
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW,
                                        &type, &format, &items, &after, &data) == Success &&
                     items == 1;
  if (data) {
    XFree(data);
  }
  return found;
}

}  // namespace

// A connection of the test's own, as another application has: it asks the window manager
// for what a panel asks, and owns the other application's window.
struct Desktop::Impl {
  uitest::XScreen x;
  Display* display = XOpenDisplay(nullptr);
  ::Window other = None;

  ~Impl() {
    if (other != None) {
      XDestroyWindow(display, other);
    }
    XCloseDisplay(display);
  }

  // What a panel sends to activate a window (a taskbar button, a pager).
  void RequestActivation(::Window window) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // from a pager: never refused as focus stealing
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(display, False);
  }
};

Desktop::Desktop() : impl_(std::make_unique<Impl>()) {
  // Under a window manager the first top-level a process maps may land at (0, 0) instead of
  // where it was asked to go (more often when the UI loop ran before it was made), and the
  // framework then takes that as its place: a fault of the GTK backend these tests are not
  // about. One is mapped and closed before the first test.
  static bool warmedUp = false;
  if (!warmedUp) {
    warmedUp = true;
    Window first;
    if (first.Create("shared", ui::kWsPopup | ui::kWsVisible, Rect::FromSize(0, 0, 8, 8), nullptr,
                     0)) {
      WaitFor([&] { return OnScreen(first); });
      first.DestroyWindow();
      Idle(std::chrono::milliseconds(50));
    }
  }
}

Desktop::~Desktop() {
  impl_.reset();
  uitest::Pump(std::chrono::milliseconds(20));
}

Backend Desktop::Which() { return Backend::kGtk; }

std::string Desktop::Unavailable() {
  if (!uitest::DisplayReady()) {
    return "no X display";
  }
  Display* d = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  if (!HasWindowManager(d)) {
    return "no window manager (tests/integration/ui/on_desktop.sh starts one)";
  }
  return {};
}

bool Desktop::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return uitest::PumpUntil(done, timeout);
}

void Desktop::Idle(std::chrono::milliseconds duration) { uitest::Pump(duration); }

void Desktop::Click(Point screen, int button) { impl_->x.Click(screen, button); }

void Desktop::TapKey(unsigned virtualKey) {
  const std::string keysym = KeysymOf(virtualKey);
  if (!keysym.empty()) {
    impl_->x.TapKey(keysym.c_str());
  }
}

void Desktop::Minimize(Window& topLevel, bool minimized) {
  const ::Window xid = XidOf(topLevel);
  if (xid == None) {
    return;
  }
  if (minimized) {
    XIconifyWindow(impl_->display, xid, DefaultScreen(impl_->display));
    XSync(impl_->display, False);
  } else {
    impl_->RequestActivation(xid);
  }
}

void Desktop::Activate(Window* topLevel) {
  Display* d = impl_->display;
  if (topLevel) {
    impl_->RequestActivation(XidOf(*topLevel));
    return;
  }
  if (impl_->other == None) {
    impl_->other = XCreateSimpleWindow(d, DefaultRootWindow(d), 1800, 20, 100, 60, 0, 0, 0);
    XStoreName(d, impl_->other, "another application");
    XMapWindow(d, impl_->other);
    XSync(d, False);
  }
  impl_->RequestActivation(impl_->other);
}

void Desktop::MoveResize(Window& topLevel, const Rect& screen) {
  impl_->x.MoveResize(topLevel, screen);
}

void Desktop::RequestClose(Window& topLevel) { impl_->x.RequestClose(topLevel); }

bool Desktop::OnScreen(const Window& topLevel) {
  const ::Window xid = XidOf(topLevel);
  if (xid == None) {
    return false;
  }
  SyncUi();
  XWindowAttributes attributes{};
  return XGetWindowAttributes(impl_->display, xid, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

Rect Desktop::Bounds(const Window& topLevel) {
  const ::Window xid = XidOf(topLevel);
  if (xid == None) {
    return {};
  }
  SyncUi();
  Display* d = impl_->display;
  XWindowAttributes attributes{};
  int x = 0;
  int y = 0;
  ::Window child = None;
  if (XGetWindowAttributes(d, xid, &attributes) == 0 ||
      !XTranslateCoordinates(d, xid, DefaultRootWindow(d), 0, 0, &x, &y, &child)) {
    return {};
  }
  return Rect::FromSize(x, y, attributes.width, attributes.height);
}

std::uint32_t Desktop::ColorAt(Window& topLevel, Point client) {
  const Rect at = Bounds(topLevel);
  if (at.Empty()) {
    return kNoColor;
  }
  return impl_->x.Pixel({at.left + client.x, at.top + client.y});
}

Rect Desktop::TextInk(Window& topLevel, const Rect& client, ui::ColorRef background) {
  const Rect at = Bounds(topLevel);
  if (at.Empty() || client.Empty()) {
    return {};
  }
  SyncUi();
  Display* d = impl_->display;
  XImage* image = XGetImage(d, DefaultRootWindow(d), at.left + client.left, at.top + client.top,
                            static_cast<unsigned>(client.Width()),
                            static_cast<unsigned>(client.Height()), AllPlanes, ZPixmap);
  if (!image) {
    return {};
  }
  Rect ink;
  for (int y = 0; y < client.Height(); ++y) {
    for (int x = 0; x < client.Width(); ++x) {
      const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
      if (uitest::ColorDelta(pixel, Hex(background)) <= kInkDelta) {
        continue;
      }
      const Rect dot = Rect::FromSize(client.left + x, client.top + y, 1, 1);
      ink = ink.Empty() ? dot
                        : Rect{std::min(ink.left, dot.left), std::min(ink.top, dot.top),
                               std::max(ink.right, dot.right), std::max(ink.bottom, dot.bottom)};
    }
  }
  XDestroyImage(image);
  return ink;
}

}  // namespace shared

#include "XScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <thread>

#include "res/AppIcon.h"
#include "ui/Canvas.h"
#include "ui/Platform.h"
#include "ui/gtk/GtkTopLevel.h"

namespace uitest {
namespace {

using Clock = std::chrono::steady_clock;

// Every request of the UI's own connection has been carried out by the server.
void SyncUi() {
  if (GdkDisplay* d = gdk_display_get_default()) {
    gdk_display_sync(d);
  }
}

}  // namespace

bool DisplayReady() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    return false;
  }
  // The windows carry the program's icon, as the application's do.
  static const bool ready = [] {
    ui::SetBuiltInAppIcon(launcher::res::AppIcon);
    return ui::InitPlatform();
  }();
  return ready;
}

void Pump(std::chrono::milliseconds duration) {
  PumpUntil([] { return false; }, duration);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    while (gtk_events_pending()) {
      gtk_main_iteration_do(FALSE);
    }
    if (done()) {
      return true;
    }
    if (Clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

struct XScreen::Impl {
  Display* display = nullptr;
  // Held down by a test that may end early; the server would keep them down for the next one.
  std::set<unsigned> buttons;
  std::set<KeyCode> keys;
};

XScreen::XScreen() : impl_(new Impl) { impl_->display = XOpenDisplay(nullptr); }

XScreen::~XScreen() {
  if (impl_->display) {
    for (unsigned button : impl_->buttons) {
      XTestFakeButtonEvent(impl_->display, button, False, CurrentTime);
    }
    for (KeyCode key : impl_->keys) {
      XTestFakeKeyEvent(impl_->display, key, False, CurrentTime);
    }
    XSync(impl_->display, False);
    XCloseDisplay(impl_->display);
  }
  delete impl_;
}

void XScreen::MoveTo(ui::Point screen) {
  XTestFakeMotionEvent(impl_->display, -1, screen.x, screen.y, CurrentTime);
  XSync(impl_->display, False);
}

void XScreen::Button(int button, bool down) {
  XTestFakeButtonEvent(impl_->display, static_cast<unsigned>(button), down ? True : False,
                       CurrentTime);
  if (down) {
    impl_->buttons.insert(static_cast<unsigned>(button));
  } else {
    impl_->buttons.erase(static_cast<unsigned>(button));
  }
  XSync(impl_->display, False);
}

void XScreen::Click(ui::Point screen, int button) {
  MoveTo(screen);
  Button(button, true);
  Button(button, false);
}

void XScreen::Key(const char* keysym, bool down) {
  const KeyCode code = XKeysymToKeycode(impl_->display, XStringToKeysym(keysym));
  XTestFakeKeyEvent(impl_->display, code, down ? True : False, CurrentTime);
  if (down) {
    impl_->keys.insert(code);
  } else {
    impl_->keys.erase(code);
  }
  XSync(impl_->display, False);
}

void XScreen::TapKey(const char* keysym) {
  Key(keysym, true);
  Key(keysym, false);
}

void XScreen::MoveResize(const ui::Window& topLevel, const ui::Rect& screen) {
  auto* native = static_cast<ui::gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(topLevel));
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(native->Window()));
  XMoveResizeWindow(impl_->display, GDK_WINDOW_XID(window), screen.left, screen.top,
                    static_cast<unsigned>(screen.Width()), static_cast<unsigned>(screen.Height()));
  XSync(impl_->display, False);
}

void XScreen::RequestClose(const ui::Window& topLevel) {
  auto* native = static_cast<ui::gtk::GtkTopLevel*>(ui::backend::WindowAccess::Native(topLevel));
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(native->Window()));
  Display* d = impl_->display;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = GDK_WINDOW_XID(window);
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XSync(d, False);
}

std::uint32_t XScreen::Pixel(ui::Point screen) {
  SyncUi();
  Display* d = impl_->display;
  XImage* image = XGetImage(d, DefaultRootWindow(d), screen.x, screen.y, 1, 1, AllPlanes, ZPixmap);
  if (!image) {
    return 0xFFFFFFFFu;
  }
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return static_cast<std::uint32_t>(pixel & 0xFFFFFFu);
}

std::uint32_t XScreen::WaitForPixel(ui::Point screen,
                                    const std::function<bool(std::uint32_t)>& test,
                                    std::chrono::milliseconds timeout) {
  std::uint32_t value = 0;
  PumpUntil(
      [&] {
        value = Pixel(screen);
        return test(value);
      },
      timeout);
  return value;
}

void XScreen::Shot(const std::string& name) {
  const char* folder = std::getenv("LAUNCHER_UI_SHOTS");
  if (!folder || !*folder) {
    return;
  }
  Pump(std::chrono::milliseconds(200));  // exposes of windows that were uncovered
  SyncUi();
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                                 gdk_window_get_height(root));
  if (!pixbuf) {
    return;
  }
  const std::string path = std::string(folder) + "/" + name + ".png";
  gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr);
  g_object_unref(pixbuf);
}

int ColorDelta(std::uint32_t a, std::uint32_t b) {
  int delta = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    delta = std::max(delta, std::abs(ca - cb));
  }
  return delta;
}

Compositor::Compositor() {
  pid_ = fork();
  if (pid_ == 0) {
    // Plain compositing: no shadows or fading that would change the pixels under test.
    execlp("xcompmgr", "xcompmgr", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) {
    return;
  }
  running_ = PumpUntil([] { return gdk_screen_is_composited(gdk_screen_get_default()) != FALSE; },
                       std::chrono::milliseconds(5000));
}

Compositor::~Compositor() {
  if (pid_ <= 0) {
    return;
  }
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  // Let the toolkit hear that the screen is no longer composited.
  PumpUntil([] { return gdk_screen_is_composited(gdk_screen_get_default()) == FALSE; },
            std::chrono::milliseconds(3000));
}

std::vector<unsigned> Probe::Messages(const std::vector<unsigned>& only) const {
  std::vector<unsigned> out;
  for (const Event& e : events) {
    if (std::find(only.begin(), only.end(), e.message) != only.end()) {
      out.push_back(e.message);
    }
  }
  return out;
}

int Probe::Count(unsigned message) const {
  return static_cast<int>(std::count_if(
      events.begin(), events.end(), [message](const Event& e) { return e.message == message; }));
}

ui::LResult Probe::WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) {
  if (hook && hook(message, wParam, lParam)) {
    return 0;
  }
  switch (message) {
    case ui::kWmPaint:
      ++paints;
      if (auto* canvas = reinterpret_cast<ui::Canvas*>(lParam)) {
        canvas->FillRect(GetClientRect(), color_);
      }
      return 0;
    case ui::kWmMouseMove:
    case ui::kWmLButtonDown:
    case ui::kWmLButtonUp:
    case ui::kWmLButtonDblClk:
    case ui::kWmRButtonDown:
    case ui::kWmRButtonUp:
      events.push_back({message, wParam, {ui::XFromLParam(lParam), ui::YFromLParam(lParam)}});
      break;
    case ui::kWmKeyDown:
    case ui::kWmKeyUp:
    case ui::kWmMouseLeave:
    case ui::kWmSetFocus:
    case ui::kWmKillFocus:
    case ui::kWmMove:
    case ui::kWmSize:
    case ui::kWmCommand:
    case ui::kWmTimer:
      events.push_back({message, wParam, {}});
      break;
    default:
      break;
  }
  return Window::WindowProc(message, wParam, lParam);
}

}  // namespace uitest

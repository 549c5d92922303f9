#include "WebKitHarness.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <thread>

#include "ui/Canvas.h"
#include "ui/Platform.h"
#include "ui/gtk/GtkWebView.h"

namespace browsertest {

namespace {

using Clock = std::chrono::steady_clock;

Display* X(void* display) { return static_cast<Display*>(display); }

void SyncUi() {
  if (GdkDisplay* d = gdk_display_get_default()) gdk_display_sync(d);
}

}  // namespace

bool DisplayReady() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  static const bool ready = ui::InitPlatform();
  return ready;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    if (done()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(2ms);
  }
}

void Pump(std::chrono::milliseconds duration) {
  PumpUntil([] { return false; }, duration);
}

XInput::XInput() : display_(XOpenDisplay(nullptr)) {}

XInput::~XInput() {
  if (display_) XCloseDisplay(X(display_));
}

void XInput::MoveTo(ui::Point screen) {
  XTestFakeMotionEvent(X(display_), -1, screen.x, screen.y, CurrentTime);
  XSync(X(display_), False);
  Pump(30ms);
}

void XInput::Click(ui::Point screen, int button) {
  MoveTo(screen);
  XTestFakeButtonEvent(X(display_), static_cast<unsigned>(button), True, CurrentTime);
  XSync(X(display_), False);
  Pump(20ms);
  XTestFakeButtonEvent(X(display_), static_cast<unsigned>(button), False, CurrentTime);
  XSync(X(display_), False);
  Pump(30ms);
}

void XInput::WheelDown(ui::Point screen) { Click(screen, 5); }

void XInput::Tap(const char* keysym) {
  const KeyCode code = XKeysymToKeycode(X(display_), XStringToKeysym(keysym));
  XTestFakeKeyEvent(X(display_), code, True, CurrentTime);
  XTestFakeKeyEvent(X(display_), code, False, CurrentTime);
  XSync(X(display_), False);
  Pump(20ms);
}

std::uint32_t ScreenPixel(ui::Point screen) {
  SyncUi();
  GdkPixbuf* pixbuf =
      gdk_pixbuf_get_from_window(gdk_get_default_root_window(), screen.x, screen.y, 1, 1);
  if (!pixbuf) return 0xFFFFFFFF;
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf);
  const std::uint32_t rgb = (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
  g_object_unref(pixbuf);
  return rgb;
}

WebKitWebView* ViewOf(const ui::BrowserControl& control) {
  return static_cast<ui::gtk::GtkWebView*>(control.NativeChildHost())->View();
}

std::string Script(const ui::BrowserControl& control, const std::string& body) {
  struct Outcome {
    bool done = false;
    std::string text;
  } outcome;
  auto finished = [](GObject* source, GAsyncResult* result, gpointer data) {
    auto* out = static_cast<Outcome*>(data);
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                            result, &error);
    if (error) {
      out->text = std::string("error: ") + error->message;
      g_error_free(error);
    } else {
      char* json = jsc_value_to_json(value, 0);
      out->text = json ? json : "undefined";
      g_free(json);
      g_object_unref(value);
    }
    out->done = true;
  };
  webkit_web_view_call_async_javascript_function(ViewOf(control), body.c_str(), -1, nullptr,
                                                 nullptr, nullptr, nullptr, finished, &outcome);
  if (!PumpUntil([&] { return outcome.done; })) return "timed out";
  return outcome.text;
}

bool MenuShown() {
  GList* all = gtk_window_list_toplevels();
  bool shown = false;
  for (GList* item = all; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    if (child && GTK_IS_MENU(child) && gtk_widget_get_visible(window)) shown = true;
  }
  g_list_free(all);
  return shown;
}

void CloseMenus() {
  GList* all = gtk_window_list_toplevels();
  for (GList* item = all; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    if (child && GTK_IS_MENU(child)) gtk_menu_popdown(GTK_MENU(child));
  }
  g_list_free(all);
  Pump(50ms);
}

bool Host::Saw(int dispid, const std::string& url, int controlId) const {
  for (const ui::BrowserEvent& e : events) {
    if (e.dispid == dispid && (url.empty() || e.url == url) &&
        (controlId == 0 || e.controlId == controlId)) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> Host::Urls(int dispid) const {
  std::vector<std::string> urls;
  for (const ui::BrowserEvent& e : events) {
    if (e.dispid == dispid) urls.push_back(e.url);
  }
  return urls;
}

ui::LResult Host::WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
    case ui::kWmBrowserEvent: {
      auto* event = reinterpret_cast<ui::BrowserEvent*>(lParam);
      if (onEvent) onEvent(*event);
      events.push_back(*event);
      return 0;
    }
    case ui::kWmPaint:
      reinterpret_cast<ui::Canvas*>(lParam)->FillRect(GetClientRect(), color_);
      return 0;
    case ui::kWmLButtonDown:
      clicks.push_back({ui::XFromLParam(lParam), ui::YFromLParam(lParam)});
      return 0;
    default:
      return ui::Window::WindowProc(message, wParam, lParam);
  }
}

}  // namespace browsertest

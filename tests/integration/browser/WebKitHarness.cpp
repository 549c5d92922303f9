#include "WebKitHarness.h"

#include <gtk/gtk.h>

#include "ui/Canvas.h"
#include "ui/gtk/GtkWebView.h"

namespace browsertest {

std::uint32_t ScreenPixel(ui::Point screen) {
  static uitest::XScreen display;
  return display.Pixel(screen);
}

WebKitWebView* ViewOf(const ui::BrowserControl& control) {
  return static_cast<ui::gtk::GtkWebView*>(ui::backend::WindowAccess::Child(control))->View();
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
  if (!PumpUntil([&] { return outcome.done; })) {
    return "timed out";
  }
  return outcome.text;
}

bool MenuShown() {
  GList* all = gtk_window_list_toplevels();
  bool shown = false;
  for (GList* item = all; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    if (child && GTK_IS_MENU(child) && gtk_widget_get_visible(window)) {
      shown = true;
    }
  }
  g_list_free(all);
  return shown;
}

void CloseMenus() {
  GList* all = gtk_window_list_toplevels();
  for (GList* item = all; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    if (child && GTK_IS_MENU(child)) {
      gtk_menu_popdown(GTK_MENU(child));
    }
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
    if (e.dispid == dispid) {
      urls.push_back(e.url);
    }
  }
  return urls;
}

ui::LResult Host::WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
    case ui::kWmBrowserEvent: {
      auto* event = reinterpret_cast<ui::BrowserEvent*>(lParam);
      if (onEvent) {
        onEvent(*event);
      }
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

// GTK backend: native top-levels, timers, the modal loop and the desktop's services.
#include <gtk/gtk.h>

#include <cstdio>
#include <map>
#include <memory>

#include "base/Text.h"
#include "ui/Dialog.h"
#include "ui/Window.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/CairoCanvas.h"
#include "ui/gtk/GtkTopLevel.h"

namespace ui {
namespace {

GdkMonitor* PrimaryMonitor() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) {
    return nullptr;
  }
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  return monitor ? monitor : gdk_display_get_monitor(display, 0);
}

struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};

}  // namespace

namespace backend {

Rect GetWorkArea() {
  GdkMonitor* monitor = PrimaryMonitor();
  if (!monitor) {
    return {0, 0, 1024, 768};
  }
  GdkRectangle r;
  gdk_monitor_get_workarea(monitor, &r);
  return Rect::FromSize(r.x, r.y, r.width, r.height);
}

Size GetScreenSize() {
  GdkMonitor* monitor = PrimaryMonitor();
  if (!monitor) {
    return {1024, 768};
  }
  GdkRectangle r;
  gdk_monitor_get_geometry(monitor, &r);
  return {r.width, r.height};
}

void SetCursor(Cursor cursor) {
  if (gtk::GtkTopLevel* window = gtk::GtkTopLevel::LastInput()) {
    window->SetCursor(cursor);
  }
}

bool ShellOpen(std::string_view target) {
  const std::string utf8 = ShellAddress(target);
  if (utf8.empty()) {
    return false;
  }
  // An address goes to its scheme's handler; anything else is taken as a file the desktop
  // knows how to open. Neither failing is reported beyond the answer.
  std::unique_ptr<char, GFree> scheme(g_uri_parse_scheme(utf8.c_str()));
  std::unique_ptr<char, GFree> uri;
  if (scheme) {
    uri.reset(g_strdup(utf8.c_str()));
  } else {
    gtk::ObjectPtr<GFile> file(g_file_new_for_commandline_arg(utf8.c_str()));
    if (!g_file_query_exists(file.get(), nullptr)) {
      return false;
    }
    uri.reset(g_file_get_uri(file.get()));
  }
  GError* error = nullptr;
  const bool ok = g_app_info_launch_default_for_uri(uri.get(), nullptr, &error) != FALSE;
  g_clear_error(&error);
  return ok;
}

Size MeasureText(std::string_view utf8, FontKind font) {
  gtk::ObjectPtr<PangoLayout> layout =
      gtk::MakeTextLayout(gtk::MeasuringContext(), utf8, font, true);
  return gtk::LayoutSize(layout.get());
}

std::unique_ptr<NativeWindow> CreateNativeWindow(TopLevelEvents* events,
                                                 const NativeWindowParams& params) {
  if (!gdk_display_get_default()) {
    return nullptr;  // InitPlatform failed or never ran
  }
  return std::make_unique<gtk::GtkTopLevel>(events, params);
}

namespace {

// A running timer. The callback may stop its own timer (or others); the record stays alive
// until the callback has returned.
struct Timer {
  guint source = 0;
  std::function<void()> callback;
};

struct Timers {
  std::map<TimerHandle, std::shared_ptr<Timer>> running;
  TimerHandle next = 1;
};

Timers& AllTimers() {
  static Timers timers;
  return timers;
}

gboolean FireTimer(gpointer data) {
  const TimerHandle handle = GPOINTER_TO_UINT(data);
  auto& running = AllTimers().running;
  auto it = running.find(handle);
  if (it == running.end()) {
    return G_SOURCE_REMOVE;
  }
  std::shared_ptr<Timer> timer = it->second;
  timer->callback();
  return running.count(handle) ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

}  // namespace

TimerHandle StartTimer(unsigned milliseconds, std::function<void()> callback) {
  Timers& timers = AllTimers();
  const TimerHandle handle = timers.next++;
  auto timer = std::make_shared<Timer>();
  timer->callback = std::move(callback);
  timer->source = g_timeout_add(milliseconds, FireTimer, GUINT_TO_POINTER(handle));
  timers.running[handle] = std::move(timer);
  return handle;
}

void StopTimer(TimerHandle handle) {
  auto& running = AllTimers().running;
  auto it = running.find(handle);
  if (it == running.end()) {
    return;
  }
  const guint source = it->second->source;
  running.erase(it);
  // Safe from inside the timer's own callback: GLib finishes that dispatch first.
  g_source_remove(source);
}

void RunModalLoop(Dialog& dialog) {
  while (!dialog.IsEnded() && dialog.IsCreated()) {
    gtk_main_iteration_do(TRUE);
  }
}

void WakeModalLoop() { g_main_context_wakeup(nullptr); }

}  // namespace backend
}  // namespace ui

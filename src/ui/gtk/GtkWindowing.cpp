// GTK backend: native top-level windows, drawing, timers and desktop services.
// First cut: enough to link; the windows arrive next.
#include <gtk/gtk.h>

#include <map>

#include "ui/Dialog.h"
#include "ui/Window.h"
#include "ui/detail/Native.h"

namespace ui {

Rect GetWorkArea() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
  if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return {0, 0, 1024, 768};
  GdkRectangle r;
  gdk_monitor_get_workarea(monitor, &r);
  return Rect::FromSize(r.x, r.y, r.width, r.height);
}

Size GetScreenSize() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
  if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return {1024, 768};
  GdkRectangle r;
  gdk_monitor_get_geometry(monitor, &r);
  return {r.width, r.height};
}

void SetCursor(Cursor) {}

bool ShellOpen(std::string_view) { return false; }

Size MeasureText(std::string_view text, FontKind) {
  return {static_cast<int>(text.size()) * 7, 14};
}

int TrackPopupMenu(const std::vector<MenuItem>&, Point, Window*) { return 0; }

namespace detail {

std::unique_ptr<NativeWindow> CreateNativeWindow(TopLevelEvents*, const NativeWindowParams&) {
  return nullptr;
}

namespace {
struct TimerRecord {
  std::function<void()> callback;
};
std::map<TimerHandle, guint>& Sources() {
  static std::map<TimerHandle, guint> sources;
  return sources;
}
gboolean FireTimer(gpointer data) {
  (*static_cast<std::function<void()>*>(data))();
  return G_SOURCE_CONTINUE;
}
void DeleteCallback(gpointer data) { delete static_cast<std::function<void()>*>(data); }
}  // namespace

TimerHandle StartTimer(unsigned milliseconds, std::function<void()> callback) {
  guint source = g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, FireTimer,
                                    new std::function<void()>(std::move(callback)),
                                    DeleteCallback);
  Sources()[source] = source;
  return source;
}

void StopTimer(TimerHandle handle) {
  if (Sources().erase(handle)) g_source_remove(handle);
}

void RunModalLoop(Dialog& dialog) {
  while (!dialog.IsEnded() && dialog.IsCreated()) gtk_main_iteration_do(TRUE);
}

void WakeModalLoop() { g_main_context_wakeup(nullptr); }

}  // namespace detail
}  // namespace ui

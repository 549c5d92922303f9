// GTK backend: pop-up menus.
#include <gtk/gtk.h>

#include <memory>

#include "ui/Window.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/GtkHandles.h"
#include "ui/gtk/GtkTopLevel.h"

namespace ui::backend {
namespace {

// What one run of a menu collects; lives on TrackPopupMenu's stack for the run.
struct MenuRun {
  int chosen = 0;
  bool closed = false;
  GMainLoop* loop = nullptr;
};

struct EventFree {
  void operator()(GdkEvent* e) const { gdk_event_free(e); }
};

constexpr const char* kIdKey = "launcher-menu-id";

void OnActivate(GtkMenuItem* item, gpointer data) {
  static_cast<MenuRun*>(data)->chosen = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kIdKey));
}

void OnDeactivate(GtkMenuShell*, gpointer data) {
  // An item's activation follows its menu's deactivation within the same dispatch, so the
  // loop, which ends only after that dispatch, sees the choice.
  auto* run = static_cast<MenuRun*>(data);
  run->closed = true;
  g_main_loop_quit(run->loop);
}

}  // namespace

int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* owner) {
  if (items.empty() || !gdk_display_get_default()) {
    return 0;
  }
  MenuRun run;
  run.loop = g_main_loop_new(nullptr, FALSE);
  gtk::WidgetOwner menu(gtk_menu_new());
  for (const MenuItem& item : items) {
    GtkWidget* widget = nullptr;
    if (item.id == 0) {
      widget = gtk_separator_menu_item_new();
    } else {
      widget = gtk_menu_item_new_with_label(item.text.c_str());
      g_object_set_data(G_OBJECT(widget), kIdKey, GINT_TO_POINTER(item.id));
      g_signal_connect(widget, "activate", G_CALLBACK(OnActivate), &run);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu.Get()), widget);
  }
  gtk_widget_show_all(menu.Get());
  g_signal_connect(menu.Get(), "deactivate", G_CALLBACK(OnDeactivate), &run);

  // Anchored at the point, in the owner's window when there is one, else on the screen.
  GdkWindow* anchor = nullptr;
  Point origin{0, 0};
  if (owner && owner->IsCreated()) {
    Window* top = owner->GetTopLevel();
    if (auto* native = static_cast<gtk::GtkTopLevel*>(WindowAccess::Native(*top))) {
      anchor = gtk_widget_get_window(GTK_WIDGET(native->Window()));
      origin = top->GetWindowRect().TopLeft();
    }
  }
  if (!anchor) {
    anchor = gdk_get_default_root_window();
    origin = {0, 0};
  }
  const GdkRectangle at{screen.x - origin.x, screen.y - origin.y, 1, 1};
  // The menu takes the pointer and keyboard with the device and time of the event that made it
  // appear; called from a timer or a posted message there is none, and the pointer stands in.
  std::unique_ptr<GdkEvent, EventFree> trigger(gtk_get_current_event());
  if (!trigger) {
    trigger.reset(gdk_event_new(GDK_BUTTON_PRESS));
    trigger->button.window = GDK_WINDOW(g_object_ref(anchor));
    trigger->button.time = GDK_CURRENT_TIME;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(anchor));
    gdk_event_set_device(trigger.get(), gdk_seat_get_pointer(seat));
  }
  gtk_menu_popup_at_rect(GTK_MENU(menu.Get()), anchor, &at, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, trigger.get());
  // Runs until the menu closes, chosen or not; a menu that could not grab the pointer closes
  // at once.
  if (gtk_widget_get_visible(menu.Get()) && !run.closed) {
    g_main_loop_run(run.loop);
  }
  g_main_loop_unref(run.loop);
  g_signal_handlers_disconnect_by_data(menu.Get(), &run);
  GList* children = gtk_container_get_children(GTK_CONTAINER(menu.Get()));
  for (GList* l = children; l; l = l->next) {
    g_signal_handlers_disconnect_by_data(l->data, &run);
  }
  g_list_free(children);
  menu.Reset();
  return run.chosen;
}

}  // namespace ui::backend

#include "ui/gtk/GtkWindowManager.h"

#include <gdk/gdkx.h>

namespace ui::gtk {

bool WindowManagerKeepsPlaces() {
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen || !GDK_IS_X11_SCREEN(screen)) {
    return false;
  }
  // The toolkit follows the window manager's check window (_NET_SUPPORTING_WM_CHECK) and its
  // _NET_WM_NAME, also across a change of window manager.
  const char* name = gdk_x11_screen_get_window_manager_name(screen);
  return g_strcmp0(name, "Weston WM") == 0;
}

}  // namespace ui::gtk

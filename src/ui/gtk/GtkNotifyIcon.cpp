// GTK backend: the notification-area icon, on GtkStatusIcon (the XEmbed system tray protocol).
// GTK 3 deprecates it without a successor inside the toolkit; the tray protocol it speaks is
// still what X desktops with a notification area offer.
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "ui/Message.h"
#include "ui/Messages.h"
#include "ui/NotifyIcon.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/GtkAppIcon.h"
#include "ui/gtk/GtkHandles.h"

// After the framework's headers: Xlib's macros must not reach them.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace ui {
namespace {

// One icon shown. Its window is named by its message target, which outlives nothing: a click
// after the window has gone is dropped.
struct TrayIcon {
  Window* window = nullptr;  // identity only, never dereferenced after adding
  WindowId target = 0;
  unsigned id = 0;
  unsigned callbackMessage = 0;
  gtk::ObjectPtr<GtkStatusIcon> icon;
};

std::vector<std::unique_ptr<TrayIcon>>& Icons() {
  static std::vector<std::unique_ptr<TrayIcon>> icons;
  return icons;
}

std::vector<std::unique_ptr<TrayIcon>>::iterator FindIcon(const NotifyIconData& data) {
  auto& icons = Icons();
  return std::find_if(icons.begin(), icons.end(), [&data](const std::unique_ptr<TrayIcon>& icon) {
    return icon->window == data.window && icon->id == data.id;
  });
}

void Notify(const TrayIcon& icon, unsigned mouseMessage) {
  // Posted, not sent: the receiver may open a menu, which must not start inside GTK's handling
  // of this very click.
  if (icon.target != 0) {
    ui::PostMessage(icon.target, icon.callbackMessage, icon.id, static_cast<LParam>(mouseMessage));
  }
}

gboolean OnPress(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
  const auto& icon = *static_cast<TrayIcon*>(data);
  if (event->button == 1) {
    Notify(icon, event->type == GDK_2BUTTON_PRESS ? kWmLButtonDblClk : kWmLButtonDown);
  } else if (event->button == 3 && event->type == GDK_BUTTON_PRESS) {
    Notify(icon, kWmRButtonDown);
  }
  return TRUE;  // no "activate" or "popup-menu" of the toolkit's own
}

gboolean OnRelease(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
  const auto& icon = *static_cast<TrayIcon*>(data);
  if (event->button == 1) {
    Notify(icon, kWmLButtonUp);
  }
  if (event->button == 3) {
    Notify(icon, kWmRButtonUp);
  }
  return TRUE;
}

gboolean OnSizeChanged(GtkStatusIcon* status, gint size, gpointer) {
  // Drawn at the tray's size rather than scaled from another.
  if (size <= 0) {
    return FALSE;
  }
  gtk_status_icon_set_from_pixbuf(status, gtk::AppIconPixbuf(size).get());
  return TRUE;
}

}  // namespace

namespace backend {

bool HasNotificationArea() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) {
    return false;
  }
  // A tray announces itself by owning this selection (system tray protocol); asking the server
  // is immediate, unlike waiting for an icon to be embedded.
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
  const Atom selection = gdk_x11_get_xatom_by_name_for_display(display, name.c_str());
  return XGetSelectionOwner(x, selection) != None;
}

bool AddNotifyIcon(const NotifyIconData& data) {
  auto found = FindIcon(data);
  if (found != Icons().end()) {
    gtk_status_icon_set_tooltip_text((*found)->icon.get(), data.tip.c_str());
    return true;
  }
  if (!HasNotificationArea()) {
    return false;
  }
  auto icon = std::make_unique<TrayIcon>();
  icon->window = data.window;
  icon->target = data.window ? data.window->GetId() : 0;
  icon->id = data.id;
  icon->callbackMessage = data.callbackMessage;
  icon->icon.reset(gtk_status_icon_new_from_pixbuf(gtk::AppIconPixbuf(32).get()));
  GtkStatusIcon* status = icon->icon.get();
  gtk_status_icon_set_title(status, g_get_application_name());
  gtk_status_icon_set_tooltip_text(status, data.tip.c_str());
  g_signal_connect(status, "button-press-event", G_CALLBACK(OnPress), icon.get());
  g_signal_connect(status, "button-release-event", G_CALLBACK(OnRelease), icon.get());
  g_signal_connect(status, "size-changed", G_CALLBACK(OnSizeChanged), nullptr);
  gtk_status_icon_set_visible(status, TRUE);
  Icons().push_back(std::move(icon));
  return true;
}

bool DeleteNotifyIcon(const NotifyIconData& data) {
  auto found = FindIcon(data);
  if (found == Icons().end()) {
    return false;
  }
  std::unique_ptr<TrayIcon> icon = std::move(*found);
  Icons().erase(found);
  // Hidden and disconnected first: a click already queued must not reach freed data.
  gtk_status_icon_set_visible(icon->icon.get(), FALSE);
  g_signal_handlers_disconnect_by_data(icon->icon.get(), icon.get());
  return true;
}

}  // namespace backend
}  // namespace ui

#pragma GCC diagnostic pop

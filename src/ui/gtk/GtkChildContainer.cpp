// The child container, found through the top-level's widget tree: the top-level's content is a
// GtkOverlay over its drawing area, and the container is added to it as a pass-through overlay
// child. This belongs with the top-level (which could hand out the container it made instead of
// having it looked up); it is kept apart so that it can move there in one piece.
#include "ui/gtk/GtkChildContainer.h"

#include "ui/gtk/GtkTopLevel.h"

namespace ui::gtk {

namespace {

constexpr char kContainerKey[] = "launcher-child-container";

}  // namespace

GtkFixed* ChildContainer(backend::NativeWindow* topLevel) {
  if (!topLevel) {
    return nullptr;
  }
  GtkWidget* overlay = GTK_WIDGET(static_cast<GtkTopLevel*>(topLevel)->Content());
  // The overlay owns the container; the key only remembers it and goes with the overlay.
  if (auto* fixed = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(overlay), kContainerKey))) {
    return GTK_FIXED(fixed);
  }
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_halign(fixed, GTK_ALIGN_FILL);
  gtk_widget_set_valign(fixed, GTK_ALIGN_FILL);
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay), fixed);
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), fixed, TRUE);
  gtk_widget_show(fixed);
  g_object_set_data(G_OBJECT(overlay), kContainerKey, fixed);
  return GTK_FIXED(fixed);
}

}  // namespace ui::gtk

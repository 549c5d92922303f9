#include "ui/gtk/GtkAppIcon.h"

#include <gtk/gtk.h>

#include <cstring>

#include "res/AppIcon.h"

namespace ui::gtk {

ObjectPtr<GdkPixbuf> AppIconPixbuf(int size) {
  const launcher::Bitmap icon = launcher::res::AppIcon(size);
  ObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, icon.width, icon.height));
  if (!pixbuf) return pixbuf;
  // Both are straight-alpha RGBA; only the row padding may differ.
  const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
  guchar* rows = gdk_pixbuf_get_pixels(pixbuf.get());
  for (int y = 0; y < icon.height; ++y) {
    std::memcpy(rows + static_cast<std::size_t>(y) * stride, icon.Pixel(0, y), icon.Stride());
  }
  return pixbuf;
}

void SetDefaultWindowIcon() {
  GList* list = nullptr;
  for (int size : launcher::res::kAppIconSizes) {
    list = g_list_append(list, AppIconPixbuf(size).release());
  }
  gtk_window_set_default_icon_list(list);  // takes its own references
  g_list_free_full(list, g_object_unref);
}

}  // namespace ui::gtk

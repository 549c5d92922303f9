#include "ui/gtk/GtkAppIcon.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "ui/Platform.h"
#include "ui/backend/Backend.h"

namespace ui::gtk {
namespace {

// Sizes handed to the desktop to choose from.
constexpr int kAppIconSizes[] = {16, 24, 32, 48, 64, 128};

// The program's own icon, as the application gave it; empty until then.
AppIconPainter& BuiltInIcon() {
  static AppIconPainter paint;
  return paint;
}

// The operator's icon, straight-alpha RGBA; null for the built-in one.
ObjectPtr<GdkPixbuf>& CustomIcon() {
  static ObjectPtr<GdkPixbuf> icon;
  return icon;
}

ObjectPtr<GdkPixbuf> PixbufFromBitmap(const launcher::Bitmap& picture) {
  ObjectPtr<GdkPixbuf> pixbuf(
      gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, picture.width, picture.height));
  if (!pixbuf) {
    return pixbuf;
  }
  // Both are RGB(A) rows; 24-bit pictures become opaque, and the row padding may differ.
  const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
  guchar* rows = gdk_pixbuf_get_pixels(pixbuf.get());
  for (int y = 0; y < picture.height; ++y) {
    guchar* out = rows + static_cast<std::size_t>(y) * stride;
    if (picture.HasAlpha()) {
      std::memcpy(out, picture.Pixel(0, y), picture.Stride());
      continue;
    }
    for (int x = 0; x < picture.width; ++x) {
      std::memcpy(out + static_cast<std::size_t>(x) * 4, picture.Pixel(x, y), 3);
      out[static_cast<std::size_t>(x) * 4 + 3] = 255;
    }
  }
  return pixbuf;
}

}  // namespace

ObjectPtr<GdkPixbuf> AppIconPixbuf(int size) {
  GdkPixbuf* custom = CustomIcon().get();
  if (!custom) {
    if (!BuiltInIcon()) {
      return nullptr;
    }
    return PixbufFromBitmap(BuiltInIcon()(size));
  }
  // Scaled to fit the square, keeping its proportions, on a transparent ground.
  const int width = gdk_pixbuf_get_width(custom);
  const int height = gdk_pixbuf_get_height(custom);
  const double scale = static_cast<double>(size) / std::max(width, height);
  const int w = std::max(1, static_cast<int>(std::lround(width * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(height * scale)));
  ObjectPtr<GdkPixbuf> square(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size));
  if (!square) {
    return square;
  }
  gdk_pixbuf_fill(square.get(), 0);
  gdk_pixbuf_composite(custom, square.get(), (size - w) / 2, (size - h) / 2, w, h, (size - w) / 2.0,
                       (size - h) / 2.0, scale, scale, GDK_INTERP_HYPER, 255);
  return square;
}

void SetDefaultWindowIcon() {
  GList* list = nullptr;
  for (int size : kAppIconSizes) {
    if (ObjectPtr<GdkPixbuf> icon = AppIconPixbuf(size)) {
      list = g_list_append(list, icon.release());
    }
  }
  gtk_window_set_default_icon_list(list);  // takes its own references
  g_list_free_full(list, g_object_unref);
}

}  // namespace ui::gtk

namespace ui::backend {

void SetBuiltInAppIcon(AppIconPainter paint) { gtk::BuiltInIcon() = std::move(paint); }

void SetAppIcon(const Bitmap& icon) {
  if (icon.Empty() || (icon.bitsPerPixel != 24 && icon.bitsPerPixel != 32)) {
    gtk::CustomIcon().reset();
  } else {
    gtk::CustomIcon() = gtk::PixbufFromBitmap(icon);
  }
  gtk::SetDefaultWindowIcon();
}

}  // namespace ui::backend

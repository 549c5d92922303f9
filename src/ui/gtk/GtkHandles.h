// Owners of the toolkit's handles used by the GTK backend. Each releases its handle exactly once;
// none may be copied. UI thread only, like everything that touches GTK.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>
#include <pango/pango.h>

#include <memory>

namespace ui::gtk {

struct CairoSurfaceFree {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct CairoFree {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct CairoRegionFree {
  void operator()(cairo_region_t* r) const { cairo_region_destroy(r); }
};
struct FontDescriptionFree {
  void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};
struct GdkEventFree {
  void operator()(GdkEvent* e) const { gdk_event_free(e); }
};
struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};

using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceFree>;
using CairoPtr = std::unique_ptr<cairo_t, CairoFree>;
using RegionPtr = std::unique_ptr<cairo_region_t, CairoRegionFree>;
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionFree>;
using EventPtr = std::unique_ptr<GdkEvent, GdkEventFree>;
// Any GObject we hold a reference to (layouts, cursors, contexts).
template <typename T>
using ObjectPtr = std::unique_ptr<T, GObjectUnref>;

// A top-level GtkWindow we created: destroyed (which drops GTK's own reference) and then
// released. Signal handlers connected with the owner as data must be disconnected first.
class WidgetOwner {
 public:
  WidgetOwner() = default;
  explicit WidgetOwner(GtkWidget* widget) : widget_(widget) {
    if (widget_) {
      g_object_ref_sink(widget_);
    }
  }
  ~WidgetOwner() { Reset(); }
  WidgetOwner(const WidgetOwner&) = delete;
  WidgetOwner& operator=(const WidgetOwner&) = delete;

  GtkWidget* Get() const { return widget_; }
  void Reset() {
    if (!widget_) {
      return;
    }
    GtkWidget* w = widget_;
    widget_ = nullptr;
    gtk_widget_destroy(w);
    g_object_unref(w);
  }

 private:
  GtkWidget* widget_ = nullptr;
};

}  // namespace ui::gtk

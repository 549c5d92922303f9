#include "ui/gtk/GtkShape.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <vector>

namespace ui::gtk {

void SetWindowShape(GdkWindow* window, ShapeKind kind, const cairo_region_t* region) {
  if (!window) {
    return;
  }
  if (!GDK_IS_X11_WINDOW(window)) {
    if (kind == ShapeKind::kVisible) {
      gdk_window_shape_combine_region(window, region, 0, 0);
    } else {
      gdk_window_input_shape_combine_region(window, region, 0, 0);
    }
    return;
  }
  Display* display = GDK_WINDOW_XDISPLAY(window);
  const ::Window xid = GDK_WINDOW_XID(window);
  const int shape = kind == ShapeKind::kVisible ? ShapeBounding : ShapeInput;
  if (!region) {
    XShapeCombineMask(display, xid, shape, 0, 0, None, ShapeSet);
    return;
  }
  // The server counts device pixels; the toolkit's window scale (a HiDPI desktop) makes each of
  // ours that many on a side.
  const int scale = std::max(gdk_window_get_scale_factor(window), 1);
  const int count = cairo_region_num_rectangles(region);
  std::vector<XRectangle> rects(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(region, i, &r);
    rects[static_cast<std::size_t>(i)] = {static_cast<short>(r.x * scale),
                                          static_cast<short>(r.y * scale),
                                          static_cast<unsigned short>(r.width * scale),
                                          static_cast<unsigned short>(r.height * scale)};
  }
  // cairo keeps a region's rectangles in y-x bands, as the server can take them fastest.
  XShapeCombineRectangles(display, xid, shape, 0, 0, rects.data(), count, ShapeSet, YXBanded);
}

}  // namespace ui::gtk

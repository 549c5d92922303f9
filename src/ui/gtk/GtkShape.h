// Window shapes on the server. GDK keeps its own idea of a toplevel's shape and, once a toplevel
// is mapped, does not pass every change on to X (an empty shape never arrives, and a change
// made during a paint can be lost); shapes set here go straight to the X server, in order with
// the drawing GDK sends. Other displays get GDK's calls. UI thread only.
#pragma once

#include <gdk/gdk.h>

namespace ui::gtk {

enum class ShapeKind { kVisible, kInput };

// Sets the part of a realized toplevel that is drawn (kVisible) or takes the pointer (kInput),
// in the window's coordinates (the toolkit's logical pixels, scaled here for the server);
// null: the whole window.
void SetWindowShape(GdkWindow* window, ShapeKind kind, const cairo_region_t* region);

}  // namespace ui::gtk

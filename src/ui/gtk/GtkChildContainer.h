// Where a top-level keeps its native children (the web views): a GtkFixed stacked over the
// framework's drawing area and covering the whole client area. Input passes through it to the
// drawing area wherever it has no child. A child is put at its place in the top-level's client
// coordinates (gtk_fixed_put, gtk_fixed_move) and sized by its size request. UI thread only.
#pragma once

#include <gtk/gtk.h>

#include "ui/backend/Backend.h"

namespace ui::gtk {

// The container of a native top-level of this backend, made on first use and destroyed with
// the top-level's widgets. Null when the top-level offers none.
GtkFixed* ChildContainer(backend::NativeWindow* topLevel);

}  // namespace ui::gtk

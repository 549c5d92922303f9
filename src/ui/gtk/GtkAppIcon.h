// The application icon as the toolkit takes it. UI thread only.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

// The icon at size × size pixels: the operator's picture (see ui::SetAppIcon) scaled to fit,
// centred, or the built-in one (ui::SetBuiltInAppIcon) drawn at that size; null when the
// application gave neither.
ObjectPtr<GdkPixbuf> AppIconPixbuf(int size);

// Makes the icon the default of every window created afterwards (window lists, taskbars).
void SetDefaultWindowIcon();

}  // namespace ui::gtk

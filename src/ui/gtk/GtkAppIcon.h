// The application icon as the toolkit takes it. UI thread only.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "ui/gtk/GtkHandles.h"

namespace ui::gtk {

// The icon drawn at size × size pixels.
ObjectPtr<GdkPixbuf> AppIconPixbuf(int size);

// Makes the icon the default of every window created afterwards (window lists, taskbars).
void SetDefaultWindowIcon();

}  // namespace ui::gtk

// The application icon: a gold star on the demo's night-blue tile. Drawn in code at any size so
// that every place that shows it (window icons, the notification area) gets sharp pixels.
#pragma once

#include "base/Bitmap.h"

namespace launcher::res {

// The icon as a square 32-bit picture (straight alpha) of size × size pixels; size is kept
// within 8 .. 256.
Bitmap AppIcon(int size);

}  // namespace launcher::res

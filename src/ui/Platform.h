// The window framework's process-wide services. Everything in ui/ is called on the UI thread
// unless a function says otherwise.
#pragma once

#include <functional>

#include "base/Bitmap.h"

namespace ui {

// Draws the program's own icon at size × size pixels (32-bit, straight alpha).
using AppIconPainter = std::function<launcher::Bitmap(int size)>;

// The program's own icon, drawn at each size the desktop asks for: every window's and the
// notification area's while no picture is given to SetAppIcon. Without one the toolkit's
// default shows. Before InitPlatform.
void SetBuiltInAppIcon(AppIconPainter paint);

// Starts the toolkit. False when it cannot run here (no display); nothing may be shown then.
bool InitPlatform();

// The application's icon from now on: of every window (title bars, taskbars, window lists) and
// of the notification area, drawn from this picture at each size the desktop asks for. An
// empty picture brings back the built-in icon. After InitPlatform.
void SetAppIcon(const launcher::Bitmap& icon);

// Runs posted work and toolkit events until nothing is pending. Used between modal windows.
void ProcessPending();

// Runs the UI loop until QuitMessageLoop is called (from the UI thread, for example by a posted
// message's handler). Loops nest; each Quit ends the innermost.
void RunMessageLoop();
void QuitMessageLoop();

}  // namespace ui

// The window framework's process-wide services. Everything in ui/ is called on the UI thread
// unless a function says otherwise.
#pragma once

#include "config/Bitmap.h"

namespace ui {

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

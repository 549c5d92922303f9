// The window framework's process-wide services. Everything in ui/ is called on the UI thread
// unless a function says otherwise.
#pragma once

namespace ui {

// Starts the toolkit. False when it cannot run here (no display); nothing may be shown then.
bool InitPlatform();

// Runs posted work and toolkit events until nothing is pending. Used between modal windows.
void ProcessPending();

// Runs the UI loop until QuitMessageLoop is called (from the UI thread, for example by a posted
// message's handler). Loops nest; each Quit ends the innermost.
void RunMessageLoop();
void QuitMessageLoop();

}  // namespace ui

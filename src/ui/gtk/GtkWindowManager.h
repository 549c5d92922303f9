// What the window manager in charge does with our windows, where it differs from what the
// framework assumes of one. UI thread only.
#pragma once

namespace ui::gtk {

// True under a window manager that keeps every window where it put it (weston's X window
// manager): it ignores where the program asks a mapped top-level to go (sizes it does take),
// gives the keyboard only to top-levels it manages in full (never to one that follows another),
// and lets the program neither activate a window nor move the focus. Asked of the window
// manager in charge now.
bool WindowManagerKeepsPlaces();

}  // namespace ui::gtk

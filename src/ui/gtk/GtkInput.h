// Translation of GDK's input vocabulary into the framework's: virtual keys and key flags.
// Pure functions of their arguments.
#pragma once

#include <gdk/gdk.h>

#include <cmath>

namespace ui::gtk {

// The virtual key (kVk*, letters as upper-case ASCII, digits as ASCII) of a keyval; 0 for keys
// the framework has no name for.
unsigned VirtualKeyFromKeyval(guint keyval);

// kMk* flags from a modifier state (buttons, Shift, Control).
unsigned KeyFlagsFromState(guint state);

// kMk* flags as they are once a button event has happened: GDK reports the state before the
// event, so a press adds its button and a release takes it away.
unsigned FlagsAfterButton(guint state, guint button, bool pressed);

// The same for a key event, with kMkAlt while Alt is held: pressing Shift, Control or Alt adds
// its flag, releasing removes it.
unsigned FlagsAfterKey(guint state, guint keyval, bool pressed);

// Tells plain presses from double clicks by the framework's rules rather than GDK's: a press is
// a double click when it follows a plain press of the same button on the same window within the
// double-click time and distance; the press after a double click starts afresh (GDK would make
// it a triple click and lose the double click of a second pair that follows quickly).
class ClickSequence {
 public:
  struct Press {
    const void* window;
    guint button;
    guint32 time;  // milliseconds, the server's clock
    double x, y;   // screen
  };
  // Records the press; true when it completes a double click.
  bool IsDoubleClick(const Press& press, guint maxMilliseconds, int maxDistance);

 private:
  bool armed_ = false;
  Press last_{};
};

}  // namespace ui::gtk

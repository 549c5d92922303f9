// Translation of GDK's input vocabulary into the framework's: virtual keys and key flags.
// Pure functions of their arguments.
#pragma once

#include <gdk/gdk.h>

namespace ui::gtk {

// The virtual key (kVk*, letters as upper-case ASCII, digits as ASCII) of a keyval; 0 for keys
// the framework has no name for.
unsigned VirtualKeyFromKeyval(guint keyval);

// kMk* flags from a modifier state (buttons, Shift, Control).
unsigned KeyFlagsFromState(guint state);

// kMk* flags as they are once a button event has happened: GDK reports the state before the
// event, so a press adds its button and a release takes it away.
unsigned FlagsAfterButton(guint state, guint button, bool pressed);

// The same for a key event: pressing Shift or Control adds its flag, releasing removes it.
unsigned FlagsAfterKey(guint state, guint keyval, bool pressed);

}  // namespace ui::gtk

// What the files of the Win32 backend share: the system headers with the macros that would
// rename the framework's own functions undone, text between the seam's UTF-8 and the system's
// UTF-16, and the native handles behind the seam's objects.
#pragma once

#include <windows.h>

// windows.h names these after their wide variants; the seam has functions of the same names.
#undef MessageBox
#undef DrawText
#undef TextOut
#undef TrackPopupMenu
#undef CreateWindow
#undef GetMessage
#undef PostMessage
#undef SendMessage

#include <string>
#include <string_view>

#include "ui/backend/Backend.h"

namespace ui::win32 {

// UTF-8 (the seam's text) to the system's UTF-16 and back; invalid bytes become U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The module's instance, for window classes and resources.
HINSTANCE Instance();

// The window of a native top-level made by CreateNativeWindow; null for null.
HWND HwndOf(backend::NativeWindow* window);

// The application's icon at the desktop's large (small false) or small icon size, as every
// top-level shows it (see ui::SetAppIcon): owned by the backend and valid until the icon
// changes; the system's default application icon while the application gave none.
HICON AppIcon(bool small);

// Gives a message to the web view with the keyboard before the loop translates and dispatches
// it (the control's accelerators: Tab, arrows, clipboard keys); true when the view used it.
bool PreTranslateBrowserMessage(MSG* msg);

// The system's pointer shape for a cursor kind, and the one SetCursor gave last (the arrow
// before any). The system puts the class cursor back on every move unless WM_SETCURSOR is
// answered: the window core answers it over its client areas with CurrentCursor().
HCURSOR CursorHandle(Cursor cursor);
HCURSOR CurrentCursor();

// A hidden top-level of the desktop services: it hears the notification area's callbacks and
// owns the menus opened for no window. Made on first use; null when the system refuses.
HWND ServiceWindow();

// The icons in the notification area take the application's icon afresh (AppIcon(true)); the
// icon's owner calls it whenever the icon changes. The shell keeps its own copy of an icon, so
// the old one may go at once.
void RefreshNotifyIcons();

}  // namespace ui::win32

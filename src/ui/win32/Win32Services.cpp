// Placeholder: the desktop's services, still to be written.
#include "ui/win32/Win32.h"

namespace ui::backend {

Rect GetWorkArea() { return {}; }
Size GetScreenSize() { return {}; }
void SetCursor(Cursor) {}
bool ShellOpen(std::string_view) { return false; }
bool StartProcess(std::string_view) { return false; }
int TrackPopupMenu(const std::vector<MenuItem>&, Point, Window*) { return 0; }
int MessageBox(Window*, std::string_view, std::string_view, unsigned) { return 0; }
bool AddNotifyIcon(const NotifyIconData&) { return false; }
bool DeleteNotifyIcon(const NotifyIconData&) { return false; }
bool HasNotificationArea() { return false; }

}  // namespace ui::backend

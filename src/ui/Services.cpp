// The framework's process-wide services, carried out by the backend linked in.
#include <utility>

#include "ui/MessageBox.h"
#include "ui/NotifyIcon.h"
#include "ui/Platform.h"
#include "ui/Window.h"
#include "ui/backend/Backend.h"

namespace ui {

bool InitPlatform() { return backend::InitPlatform(); }

void SetAppIcon(const launcher::Bitmap& icon) { backend::SetAppIcon(icon); }

void ProcessPending() { backend::ProcessPending(); }

void RunMessageLoop() { backend::RunMessageLoop(); }

void QuitMessageLoop() { backend::QuitMessageLoop(); }

int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style) {
  return backend::MessageBox(owner, text, caption, style);
}

bool AddNotifyIcon(const NotifyIconData& data) { return backend::AddNotifyIcon(data); }

bool DeleteNotifyIcon(const NotifyIconData& data) { return backend::DeleteNotifyIcon(data); }

bool HasNotificationArea() { return backend::HasNotificationArea(); }

Rect GetWorkArea() { return backend::GetWorkArea(); }

Size GetScreenSize() { return backend::GetScreenSize(); }

void SetCursor(Cursor cursor) { backend::SetCursor(cursor); }

bool ShellOpen(std::string_view target) { return backend::ShellOpen(target); }

bool StartProcess(std::string_view path) { return backend::StartProcess(path); }

Size MeasureText(std::string_view text, FontKind font) { return backend::MeasureText(text, font); }

int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* owner) {
  const int chosen = backend::TrackPopupMenu(items, screen, owner);
  if (chosen != 0 && owner && owner->IsCreated()) {
    owner->PostMessage(kWmCommand, static_cast<WParam>(chosen), 0);
  }
  return chosen;
}

}  // namespace ui

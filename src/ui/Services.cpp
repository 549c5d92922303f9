// The framework's process-wide services, carried out by the backend linked in. The model's text
// becomes UTF-8 here, once, before a backend sees it.
#include <utility>

#include "base/Text.h"
#include "ui/MessageBox.h"
#include "ui/NotifyIcon.h"
#include "ui/Platform.h"
#include "ui/Window.h"
#include "ui/backend/Backend.h"

namespace ui {

bool InitPlatform() { return backend::InitPlatform(); }

void SetAppIcon(const launcher::Bitmap& icon) { backend::SetAppIcon(icon); }

void SetBuiltInAppIcon(AppIconPainter paint) { backend::SetBuiltInAppIcon(std::move(paint)); }

void ProcessPending() { backend::ProcessPending(); }

void RunMessageLoop() { backend::RunMessageLoop(); }

void QuitMessageLoop() { backend::QuitMessageLoop(); }

int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style) {
  return backend::MessageBox(owner, launcher::GbkToUtf8(text), launcher::GbkToUtf8(caption), style);
}

bool AddNotifyIcon(const NotifyIconData& data) {
  NotifyIconData utf8 = data;
  utf8.tip = launcher::GbkToUtf8(data.tip);
  return backend::AddNotifyIcon(utf8);
}

bool DeleteNotifyIcon(const NotifyIconData& data) { return backend::DeleteNotifyIcon(data); }

bool HasNotificationArea() { return backend::HasNotificationArea(); }

Rect GetWorkArea() { return backend::GetWorkArea(); }

Size GetScreenSize() { return backend::GetScreenSize(); }

void SetCursor(Cursor cursor) { backend::SetCursor(cursor); }

bool ShellOpen(std::string_view target) { return backend::ShellOpen(launcher::GbkToUtf8(target)); }

bool StartProcess(std::string_view path) { return backend::StartProcess(path); }

Size MeasureText(std::string_view text, FontKind font) {
  return backend::MeasureText(launcher::GbkToUtf8(text), font);
}

int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* owner) {
  std::vector<MenuItem> utf8 = items;
  for (MenuItem& item : utf8) {
    item.text = launcher::GbkToUtf8(item.text);
  }
  const int chosen = backend::TrackPopupMenu(utf8, screen, owner);
  if (chosen != 0 && owner && owner->IsCreated()) {
    owner->PostMessage(kWmCommand, static_cast<WParam>(chosen), 0);
  }
  return chosen;
}

}  // namespace ui

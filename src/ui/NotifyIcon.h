// The application's icon in the desktop's notification area (system tray). UI thread only.
#pragma once

#include <string>

#include "ui/Window.h"

namespace ui {

// One icon: a window and an identifier name it; the window hears of the pointer over it.
struct NotifyIconData {
  Window* window = nullptr;  // receives callbackMessage; may be destroyed while the icon stays
  unsigned id = 0;           // wParam of the callback message
  // Posted with wParam = id and lParam = the mouse message over the icon: kWmLButtonUp,
  // kWmLButtonDblClk, kWmRButtonUp, and the presses (kWmLButtonDown, kWmRButtonDown). Posted,
  // so it arrives after the platform finished handling the click: the receiver may open a
  // pop-up menu at once.
  unsigned callbackMessage = 0;
  std::string tip;  // GBK
};

// Shows the application icon. Adding one that is there (same window and id) adds no second
// icon; its tip is refreshed. False when the desktop has no notification area (nothing shown).
bool AddNotifyIcon(const NotifyIconData& data);
// Removes the icon of that window and id; false when it was not there.
bool DeleteNotifyIcon(const NotifyIconData& data);
// A notification area is on the desktop now.
bool HasNotificationArea();

}  // namespace ui

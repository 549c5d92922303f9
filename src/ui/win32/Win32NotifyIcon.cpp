// Win32 backend: the notification-area icon (Shell_NotifyIconW).
// The shell talks to a hidden window of ours, never to the framework's window: that one may be
// destroyed while its icon stays, and the framework hears of clicks by its posted message.

// The system headers first: shellapi.h builds on them.
#include "ui/win32/Win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <vector>

#include "ui/Message.h"
#include "ui/NotifyIcon.h"

namespace ui {
namespace {

// The shell's callback to the service window: wParam the icon's own number, lParam the mouse
// message over it.
constexpr UINT kTrayCallback = WM_APP + 1;

// One icon shown. The framework's window is an identity only; clicks go to its message target,
// dropped once it has gone.
struct TrayIcon {
  Window* window = nullptr;
  WindowId target = 0;
  unsigned id = 0;
  unsigned callbackMessage = 0;
  UINT number = 0;  // the shell's identifier of the icon on the service window
  std::wstring tip;
};

std::vector<std::unique_ptr<TrayIcon>>& Icons() {
  static std::vector<std::unique_ptr<TrayIcon>> icons;
  return icons;
}

TrayIcon* FindByNumber(UINT number) {
  for (const auto& icon : Icons()) {
    if (icon->number == number) {
      return icon.get();
    }
  }
  return nullptr;
}

std::vector<std::unique_ptr<TrayIcon>>::iterator FindIcon(const NotifyIconData& data) {
  auto& icons = Icons();
  return std::find_if(icons.begin(), icons.end(), [&data](const std::unique_ptr<TrayIcon>& icon) {
    return icon->window == data.window && icon->id == data.id;
  });
}

// The shell keeps 127 characters of a tip; a cut never splits a surrogate pair.
std::wstring TipText(std::string_view utf8) {
  std::wstring tip = win32::Widen(utf8);
  constexpr std::size_t kMaxTip = 127;
  if (tip.size() > kMaxTip) {
    std::size_t cut = kMaxTip;
    if (tip[cut - 1] >= 0xD800 && tip[cut - 1] <= 0xDBFF) {
      --cut;
    }
    tip.resize(cut);
  }
  return tip;
}

NOTIFYICONDATAW Record(const TrayIcon& icon, UINT flags) {
  NOTIFYICONDATAW record{};
  record.cbSize = sizeof record;
  record.hWnd = win32::ServiceWindow();
  record.uID = icon.number;
  record.uFlags = flags;
  record.uCallbackMessage = kTrayCallback;
  // The shell copies the icon; the application's icon stays its owner's.
  record.hIcon = win32::AppIcon(true);
  std::wmemcpy(record.szTip, icon.tip.c_str(),
               std::min(icon.tip.size(), std::size(record.szTip) - 1));
  return record;
}

bool IsForwarded(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return true;
    default:
      return false;  // moves and the rest mean nothing to the framework
  }
}

// Broadcast when the shell (re)starts its taskbar: every icon must be added again.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

LRESULT CALLBACK ServiceWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTrayCallback) {
    const UINT mouse = LOWORD(lParam);
    const TrayIcon* icon = FindByNumber(static_cast<UINT>(wParam));
    // Posted, not sent: the receiver may open a menu, which must not start inside the shell's
    // delivery of this click.
    if (icon && icon->target != 0 && IsForwarded(mouse)) {
      ui::PostMessage(icon->target, icon->callbackMessage, icon->id, static_cast<LParam>(mouse));
    }
    return 0;
  }
  if (message != 0 && message == TaskbarCreatedMessage()) {
    for (const auto& icon : Icons()) {
      NOTIFYICONDATAW record = Record(*icon, NIF_MESSAGE | NIF_ICON | NIF_TIP);
      Shell_NotifyIconW(NIM_ADD, &record);
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

namespace win32 {

HWND ServiceWindow() {
  static HWND hwnd = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ServiceWindowProc;
    windowClass.hInstance = Instance();
    windowClass.lpszClassName = L"DesktopServiceWindow";
    RegisterClassExW(&windowClass);
    TaskbarCreatedMessage();
    // A top-level, never shown (a message-only window would not hear the shell's broadcast);
    // a tool window, so that it never gets a taskbar button.
    return CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0,
                           nullptr, nullptr, Instance(), nullptr);
  }();
  return hwnd;
}

void RefreshNotifyIcons() {
  for (const auto& icon : Icons()) {
    NOTIFYICONDATAW record = Record(*icon, NIF_ICON);
    Shell_NotifyIconW(NIM_MODIFY, &record);
  }
}

}  // namespace win32

namespace backend {

bool HasNotificationArea() {
  // The shell's taskbar window holds the notification area.
  return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

bool AddNotifyIcon(const NotifyIconData& data) {
  auto found = FindIcon(data);
  if (found != Icons().end()) {
    TrayIcon& icon = **found;
    icon.tip = TipText(data.tip);
    icon.callbackMessage = data.callbackMessage;
    NOTIFYICONDATAW record = Record(icon, NIF_TIP | NIF_MESSAGE);
    Shell_NotifyIconW(NIM_MODIFY, &record);
    return true;
  }
  if (!win32::ServiceWindow()) {
    return false;
  }
  static UINT nextNumber = 1;
  auto icon = std::make_unique<TrayIcon>();
  icon->window = data.window;
  icon->target = data.window ? data.window->GetId() : 0;
  icon->id = data.id;
  icon->callbackMessage = data.callbackMessage;
  icon->number = nextNumber++;
  icon->tip = TipText(data.tip);
  NOTIFYICONDATAW record = Record(*icon, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  if (!Shell_NotifyIconW(NIM_ADD, &record)) {
    return false;
  }
  Icons().push_back(std::move(icon));
  return true;
}

bool DeleteNotifyIcon(const NotifyIconData& data) {
  auto found = FindIcon(data);
  if (found == Icons().end()) {
    return false;
  }
  std::unique_ptr<TrayIcon> icon = std::move(*found);
  Icons().erase(found);
  NOTIFYICONDATAW record = Record(*icon, 0);
  Shell_NotifyIconW(NIM_DELETE, &record);
  return true;
}

}  // namespace backend
}  // namespace ui

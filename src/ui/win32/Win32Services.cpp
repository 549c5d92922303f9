// Win32 backend: the desktop's services — screen and work area, the pointer's shape, opening
// addresses, starting programs, pop-up menus and message boxes. The notification-area icon is
// in Win32NotifyIcon.cpp.

// The system headers first: shellapi.h builds on them.
#include "ui/win32/Win32.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "ui/MessageBox.h"
#include "ui/Window.h"

namespace ui {
namespace {

// The window a box or menu belongs to: the top-level of owner, or null.
HWND TopLevelHwnd(Window* owner) {
  if (!owner || !owner->IsCreated()) {
    return nullptr;
  }
  Window* top = owner->GetTopLevel();
  return top ? win32::HwndOf(backend::WindowAccess::Native(*top)) : nullptr;
}

HCURSOR& LastCursor() {
  static HCURSOR cursor = nullptr;
  return cursor;
}

// One message box being opened: the window to centre it over. Boxes nest (a timer may ask
// while one is open), each restoring the one outside it.
struct BoxPlacement {
  HWND owner = nullptr;
  HHOOK hook = nullptr;
};

thread_local BoxPlacement* tPlacing = nullptr;

// The system centres a message box on the screen whatever its owner; this moves it over the
// owner once the box has laid itself out (its dialog initialised), kept inside the owner's
// monitor's work area.
LRESULT CALLBACK CenterBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  BoxPlacement* placing = tPlacing;
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (!placing || !placing->hook || code != HC_ACTION || call->message != WM_INITDIALOG ||
      GetWindow(call->hwnd, GW_OWNER) != placing->owner) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HWND box = call->hwnd;
  RECT boxRect;
  RECT ownerRect;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetWindowRect(box, &boxRect) && GetWindowRect(placing->owner, &ownerRect) &&
      GetMonitorInfoW(MonitorFromWindow(placing->owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const int width = boxRect.right - boxRect.left;
    const int height = boxRect.bottom - boxRect.top;
    const RECT& work = monitor.rcWork;
    int x = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
    int y = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
    SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Placed once; afterwards the box is the user's to move.
  UnhookWindowsHookEx(placing->hook);
  placing->hook = nullptr;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

namespace win32 {

HCURSOR CursorHandle(Cursor cursor) {
  const wchar_t* name = IDC_ARROW;
  switch (cursor) {
    case Cursor::kArrow:
      name = IDC_ARROW;
      break;
    case Cursor::kHand:
      name = IDC_HAND;
      break;
    case Cursor::kSizeNS:
      name = IDC_SIZENS;
      break;
    case Cursor::kSizeWE:
      name = IDC_SIZEWE;
      break;
    case Cursor::kSizeNWSE:
      name = IDC_SIZENWSE;
      break;
    case Cursor::kSizeNESW:
      name = IDC_SIZENESW;
      break;
    case Cursor::kSizeAll:
      name = IDC_SIZEALL;
      break;
  }
  // Shared system cursors: loaded once by the system, never destroyed.
  return LoadCursorW(nullptr, name);
}

HCURSOR CurrentCursor() { return LastCursor() ? LastCursor() : LoadCursorW(nullptr, IDC_ARROW); }

}  // namespace win32

namespace backend {

Rect GetWorkArea() {
  RECT r;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) {
    const Size screen = GetScreenSize();
    return Rect::FromSize(0, 0, screen.cx, screen.cy);
  }
  return Rect{r.left, r.top, r.right, r.bottom};
}

Size GetScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void SetCursor(Cursor cursor) {
  // Called while the framework handles a pointer event, so the shape changes at once; the
  // window core keeps it through the next moves by answering WM_SETCURSOR with it.
  LastCursor() = win32::CursorHandle(cursor);
  ::SetCursor(LastCursor());
}

bool ShellOpen(std::string_view utf8) {
  const std::string address = ShellAddress(utf8);
  if (address.empty()) {
    return false;
  }
  // The default handler's "open" of the address or document; no arguments, no directory.
  const std::wstring target = win32::Widen(address);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

bool StartProcess(std::string_view path) {
  if (path.empty()) {
    return false;
  }
  // The program named as the application, and its quoted path alone as the command line: an
  // unquoted path with spaces would let the system try its prefixes as programs first.
  const std::wstring program = win32::Widen(path);
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  // Not waited for; closing the handles leaves nothing to reap when it ends.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* owner) {
  if (items.empty()) {
    return 0;
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) {
    return 0;
  }
  for (const MenuItem& item : items) {
    if (item.id == 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), win32::Widen(item.text).c_str());
    }
  }
  HWND hwnd = TopLevelHwnd(owner);
  if (!hwnd) {
    hwnd = win32::ServiceWindow();
  }
  // A menu opened for the notification area (its window hidden) closes on a click elsewhere
  // only when its window is the foreground one; and the message posted afterwards lets the
  // next opening work the first time.
  SetForegroundWindow(hwnd);
  const int chosen = ::TrackPopupMenu(
      menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, screen.x,
      screen.y, 0, hwnd, nullptr);
  ::PostMessageW(hwnd, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen;
}

int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style) {
  // Over the owner's top-level only while it is on the screen; otherwise on the screen alone.
  HWND hwnd = TopLevelHwnd(owner);
  if (hwnd && (!IsWindowVisible(hwnd) || IsIconic(hwnd))) {
    hwnd = nullptr;
  }
  const std::wstring body = win32::Widen(text);
  const std::wstring title = win32::Widen(caption);

  BoxPlacement placing;
  BoxPlacement* outer = tPlacing;
  if (hwnd) {
    placing.owner = hwnd;
    placing.hook =
        SetWindowsHookExW(WH_CALLWNDPROCRET, CenterBoxHook, nullptr, GetCurrentThreadId());
    tPlacing = &placing;
  }
  // The styles and answers are the system's own values; the box disables its owner while open.
  const int answer = MessageBoxW(hwnd, body.c_str(), title.c_str(), style);
  if (placing.hook) {
    UnhookWindowsHookEx(placing.hook);
  }
  tPlacing = outer;
  // Closed by Escape or the window control, or not shown at all: Cancel where the box has it,
  // else its other way out (the system answers Cancel from a box without one in places).
  int closed = kIdOk;
  switch (style & 0xF) {
    case kMbOkCancel:
      closed = kIdCancel;
      break;
    case kMbYesNo:
      closed = kIdNo;
      break;
    default:
      break;
  }
  return answer == 0 || answer == IDCANCEL ? closed : answer;
}

}  // namespace backend
}  // namespace ui

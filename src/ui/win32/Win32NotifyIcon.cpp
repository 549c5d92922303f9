// Win32 backend: the notification-area icon (Shell_NotifyIconW) and icons made from pictures.
// The shell talks to a hidden window of ours, never to the framework's window: that one may be
// destroyed while its icon stays, and the framework hears of clicks by its posted message.
// The system headers come first, as shellapi.h needs them.
#include "ui/win32/Win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "ui/Message.h"
#include "ui/Messages.h"
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
  HICON icon = nullptr;
  bool ownIcon = false;  // made by us, destroyed with the icon; else a shared system icon
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

// The application's icon at the size the notification area shows.
void LoadAppIcon(TrayIcon& icon) {
  const int size = GetSystemMetrics(SM_CXSMICON);
  HICON made = win32::CreateIconFromBitmap(win32::AppIconPicture(size > 0 ? size : 16));
  icon.ownIcon = made != nullptr;
  icon.icon = made ? made : LoadIconW(nullptr, IDI_APPLICATION);
}

void FreeIcon(TrayIcon& icon) {
  if (icon.ownIcon && icon.icon) {
    DestroyIcon(icon.icon);
  }
  icon.icon = nullptr;
  icon.ownIcon = false;
}

NOTIFYICONDATAW Record(const TrayIcon& icon, UINT flags) {
  NOTIFYICONDATAW record{};
  record.cbSize = sizeof record;
  record.hWnd = win32::ServiceWindow();
  record.uID = icon.number;
  record.uFlags = flags;
  record.uCallbackMessage = kTrayCallback;
  record.hIcon = icon.icon;
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

HICON CreateIconFromBitmap(const launcher::Bitmap& picture) {
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32)) {
    return nullptr;
  }
  const int width = picture.width;
  const int height = picture.height;
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = width;
  header.bV5Height = -height;  // rows top to bottom, as the picture has them
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                   &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!color) {
    return nullptr;
  }
  // Icons take straight alpha, as the picture has it. The mask (1 = transparent) serves where
  // the alpha is not used; its rows are padded to 16 bits.
  const int maskStride = ((width + 15) / 16) * 2;
  std::vector<BYTE> mask(static_cast<std::size_t>(maskStride) * height, 0);
  auto* out = static_cast<BYTE*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* in = picture.Pixel(x, y);
      const BYTE alpha = picture.HasAlpha() ? in[3] : 255;
      BYTE* pixel = out + (static_cast<std::size_t>(y) * width + x) * 4;
      pixel[0] = in[2];
      pixel[1] = in[1];
      pixel[2] = in[0];
      pixel[3] = alpha;
      if (alpha == 0) {
        mask[static_cast<std::size_t>(y) * maskStride + x / 8] |=
            static_cast<BYTE>(0x80 >> (x % 8));
      }
    }
  }
  HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, mask.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = maskBitmap;
  info.hbmColor = color;
  HICON icon = maskBitmap ? CreateIconIndirect(&info) : nullptr;
  // The icon holds copies of both.
  if (maskBitmap) {
    DeleteObject(maskBitmap);
  }
  DeleteObject(color);
  return icon;
}

void RefreshNotifyIcons() {
  for (const auto& icon : Icons()) {
    TrayIcon fresh;
    LoadAppIcon(fresh);
    std::swap(icon->icon, fresh.icon);
    std::swap(icon->ownIcon, fresh.ownIcon);
    NOTIFYICONDATAW record = Record(*icon, NIF_ICON);
    Shell_NotifyIconW(NIM_MODIFY, &record);
    FreeIcon(fresh);
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
  LoadAppIcon(*icon);
  NOTIFYICONDATAW record = Record(*icon, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  if (!Shell_NotifyIconW(NIM_ADD, &record)) {
    FreeIcon(*icon);
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
  FreeIcon(*icon);
  return true;
}

}  // namespace backend
}  // namespace ui

// The shared window tests' surroundings on the Win32 backend: a user's input injected as the
// system's own (SendInput), the taskbar's and other programs' requests as they send them, the
// screen read back from the windows' device contexts.
#include <algorithm>
#include <chrono>
#include <vector>

#include "Desktop.h"
#include "ui/Platform.h"
#include "ui/win32/Win32.h"

namespace shared {

using ui::Point;
using ui::Rect;
using ui::Window;

namespace {

// Colour distance from the background beyond which a pixel counts as drawn text.
constexpr int kInkDelta = 60;

HWND HwndOf(const Window& topLevel) {
  if (!topLevel.IsCreated()) {
    return nullptr;
  }
  return ui::win32::HwndOf(ui::backend::WindowAccess::Native(topLevel));
}

int ColorDelta(std::uint32_t a, std::uint32_t b) {
  int delta = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    delta = std::max(delta, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                     static_cast<int>((b >> shift) & 0xFF)));
  }
  return delta;
}

// The screen's pixels of a rectangle, 0xRRGGBB each, rows top to bottom; empty when unreadable.
std::vector<std::uint32_t> ScreenPixels(const Rect& r) {
  std::vector<std::uint32_t> pixels;
  if (r.Empty()) {
    return pixels;
  }
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = r.Width();
  info.bmiHeader.biHeight = -r.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section && bits) {
    HGDIOBJ old = SelectObject(memory, section);
    if (BitBlt(memory, 0, 0, r.Width(), r.Height(), screen, r.left, r.top, SRCCOPY)) {
      GdiFlush();
      const auto* p = static_cast<const std::uint32_t*>(bits);
      pixels.assign(p, p + static_cast<std::size_t>(r.Width()) * r.Height());
      for (std::uint32_t& pixel : pixels) {
        pixel &= 0xFFFFFF;  // B, G, R words read as 0x00RRGGBB
      }
    }
    SelectObject(memory, old);
  }
  if (section) {
    DeleteObject(section);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void SendKey(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

LRESULT CALLBACK OtherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

// Another application's window, made on first use.
struct Desktop::Impl {
  HWND other = nullptr;

  ~Impl() {
    if (other) {
      DestroyWindow(other);
    }
  }
};

Desktop::Desktop() : impl_(std::make_unique<Impl>()) {
  static bool started = false;
  if (!started) {
    started = true;
    ui::InitPlatform();
  }
}

Desktop::~Desktop() {
  impl_.reset();
  Idle(std::chrono::milliseconds(20));
}

Backend Desktop::Which() { return Backend::kWin32; }

std::string Desktop::Unavailable() { return {}; }

bool Desktop::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (true) {
    ui::ProcessPending();
    if (done()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= until) {
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void Desktop::Idle(std::chrono::milliseconds duration) {
  WaitFor([] { return false; }, duration);
}

void Desktop::Click(Point screen, int button) {
  SetCursorPos(screen.x, screen.y);
  Idle(std::chrono::milliseconds(20));
  SendMouse(button == 3 ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  SendMouse(button == 3 ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
}

void Desktop::TapKey(unsigned virtualKey) {
  SendKey(static_cast<WORD>(virtualKey), false);
  SendKey(static_cast<WORD>(virtualKey), true);
}

void Desktop::Minimize(Window& topLevel, bool minimized) {
  // What a taskbar button sends.
  if (HWND hwnd = HwndOf(topLevel)) {
    PostMessageW(hwnd, WM_SYSCOMMAND, minimized ? SC_MINIMIZE : SC_RESTORE, 0);
  }
}

void Desktop::Activate(Window* topLevel) {
  if (topLevel) {
    if (HWND hwnd = HwndOf(*topLevel)) {
      SetForegroundWindow(hwnd);
    }
    return;
  }
  if (!impl_->other) {
    WNDCLASSW c{};
    c.lpfnWndProc = OtherProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"AnotherApplication";
    RegisterClassW(&c);
    impl_->other =
        CreateWindowExW(0, L"AnotherApplication", L"another application", WS_OVERLAPPEDWINDOW, 1700,
                        20, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(impl_->other, SW_SHOW);
  }
  SetForegroundWindow(impl_->other);
}

void Desktop::MoveResize(Window& topLevel, const Rect& screen) {
  if (HWND hwnd = HwndOf(topLevel)) {
    SetWindowPos(hwnd, nullptr, screen.left, screen.top, screen.Width(), screen.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Desktop::RequestClose(Window& topLevel) {
  if (HWND hwnd = HwndOf(topLevel)) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
}

bool Desktop::OnScreen(const Window& topLevel) {
  HWND hwnd = HwndOf(topLevel);
  return hwnd && IsWindowVisible(hwnd) && !IsIconic(hwnd);
}

Rect Desktop::Bounds(const Window& topLevel) {
  HWND hwnd = HwndOf(topLevel);
  RECT r;
  if (!hwnd || !GetWindowRect(hwnd, &r)) {
    return {};
  }
  return {r.left, r.top, r.right, r.bottom};
}

std::uint32_t Desktop::ColorAt(Window& topLevel, Point client) {
  const Rect at = Bounds(topLevel);
  if (at.Empty()) {
    return kNoColor;
  }
  const std::vector<std::uint32_t> pixel =
      ScreenPixels(Rect::FromSize(at.left + client.x, at.top + client.y, 1, 1));
  return pixel.empty() ? kNoColor : pixel[0];
}

Rect Desktop::TextInk(Window& topLevel, const Rect& client, ui::ColorRef background) {
  const Rect at = Bounds(topLevel);
  if (at.Empty() || client.Empty()) {
    return {};
  }
  const std::vector<std::uint32_t> pixels = ScreenPixels(client.Offset(at.left, at.top));
  if (pixels.empty()) {
    return {};
  }
  Rect ink;
  for (int y = 0; y < client.Height(); ++y) {
    for (int x = 0; x < client.Width(); ++x) {
      const std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * client.Width() + x];
      if (ColorDelta(pixel, Hex(background)) <= kInkDelta) {
        continue;
      }
      const Rect dot = Rect::FromSize(client.left + x, client.top + y, 1, 1);
      ink = ink.Empty() ? dot
                        : Rect{std::min(ink.left, dot.left), std::min(ink.top, dot.top),
                               std::max(ink.right, dot.right), std::max(ink.bottom, dot.bottom)};
    }
  }
  return ink;
}

}  // namespace shared

// Framework top-levels as captionless popup windows. The framework paints the whole client area
// (double buffered here) and runs its own move and size loops; this file turns the system's
// messages into TopLevelEvents and the framework's requests into window calls.
//
// Any call into TopLevelEvents may destroy the window (a click that closes it): handlers hold
// the window's alive token across such calls and touch nothing of it afterwards unless it says
// the window still exists.
// windows.h (through Win32Core.h) before the headers that build on it.
#include "ui/win32/Win32Core.h"

#include <shobjidl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ui/Messages.h"

namespace ui::win32 {
namespace {

using MouseKind = backend::TopLevelEvents::MouseKind;

class Win32TopLevel;

// Every top-level alive, in the order made.
std::vector<Win32TopLevel*>& All() {
  static std::vector<Win32TopLevel*> all;
  return all;
}

Win32TopLevel* FromHwnd(HWND hwnd) {
  return reinterpret_cast<Win32TopLevel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

Rect ToRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// The kMk* flags of the keyboard and buttons now; Alt only when asked (keys, not drags).
unsigned KeyFlagsNow(bool withAlt) {
  unsigned flags = 0;
  if (GetKeyState(VK_LBUTTON) < 0) {
    flags |= kMkLButton;
  }
  if (GetKeyState(VK_RBUTTON) < 0) {
    flags |= kMkRButton;
  }
  if (GetKeyState(VK_MBUTTON) < 0) {
    flags |= kMkMButton;
  }
  if (GetKeyState(VK_SHIFT) < 0) {
    flags |= kMkShift;
  }
  if (GetKeyState(VK_CONTROL) < 0) {
    flags |= kMkControl;
  }
  if (withAlt && GetKeyState(VK_MENU) < 0) {
    flags |= kMkAlt;
  }
  return flags;
}

// Tells the taskbar a window covers the monitor (it then stays below it even while the window
// is not active), or no longer does. Nothing when the shell has no taskbar to tell.
void MarkFullScreen(HWND hwnd, bool fullScreen) {
  ITaskbarList2* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList2,
                              reinterpret_cast<void**>(&taskbar))) ||
      !taskbar) {
    return;
  }
  if (SUCCEEDED(taskbar->HrInit())) {
    taskbar->MarkFullscreenWindow(hwnd, fullScreen ? TRUE : FALSE);
  }
  taskbar->Release();
}

class Win32TopLevel final : public backend::NativeWindow {
 public:
  Win32TopLevel(backend::TopLevelEvents* events, const backend::NativeWindowParams& params);
  ~Win32TopLevel() override;
  Win32TopLevel(const Win32TopLevel&) = delete;
  Win32TopLevel& operator=(const Win32TopLevel&) = delete;

  bool Created() const { return hwnd_ != nullptr; }
  HWND Hwnd() const { return hwnd_; }

  void SetBounds(const Rect& screen) override;
  void Show(int showCmd) override;
  void SetTitle(const std::string& utf8) override;
  void SetTaskbarButton(bool shown) override;
  void Invalidate(const Rect& client) override;
  void Update() override;
  void SetCursor(Cursor cursor) override;
  void SetShape(const Region* region) override;
  void SetLayeredContent(const Bitmap& picture) override;
  void SetColorKey(ColorRef key) override;
  void GrabPointer(bool grab) override;
  void Focus() override;
  void SetFullScreen(bool fullScreen) override;
  bool BeginSystemLoop(unsigned, Point) override { return false; }

  void ApplyIcons();
  // Puts the visible windows this one owns (and theirs) right above it: owned windows stay over
  // their owner, whichever of the two the system last raised.
  void RaiseOwned();
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // A key for this window or a native child of it; true when the framework consumed it.
  bool Key(const MSG& msg);

 private:
  bool IsToolWindow() const { return (exStyle_ & kWsExToolWindow) != 0; }
  void AddExStyle(LONG_PTR add);
  void Paint();
  void Mouse(MouseKind kind, int button, LPARAM lParam, WPARAM wParam);
  void WindowPosChanged();

  backend::TopLevelEvents* events_;
  unsigned exStyle_;
  bool hasOwner_;
  HWND hwnd_ = nullptr;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool layered_ = false;        // shows the picture of SetLayeredContent, never paints
  bool minimized_ = false;      // as last reported
  bool trackingLeave_ = false;  // a WM_MOUSELEAVE is armed
  HWND savedFocus_ = nullptr;   // the child with the keyboard when the window was deactivated
};

Win32TopLevel::Win32TopLevel(backend::TopLevelEvents* events,
                             const backend::NativeWindowParams& params)
    : events_(events), exStyle_(params.exStyle), hasOwner_(params.owner != nullptr) {
  DWORD style = WS_POPUP | WS_CLIPCHILDREN;
  DWORD ex = 0;
  if (exStyle_ & kWsExTopmost) {
    ex |= WS_EX_TOPMOST;
  }
  if (IsToolWindow()) {
    // Tool windows (tips) never take the keyboard from the window they help.
    ex |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  }
  if (exStyle_ & kWsExLayered) {
    ex |= WS_EX_LAYERED;
  }
  if (params.taskbarButton && !IsToolWindow()) {
    ex |= WS_EX_APPWINDOW;
    // The taskbar button's minimise, restore and close, carried out through the messages the
    // framework hears of.
    style |= WS_MINIMIZEBOX | WS_SYSMENU;
  } else if (!hasOwner_) {
    ex |= WS_EX_TOOLWINDOW;  // an unowned window shows no button only as a tool window
  }
  HWND owner = HwndOf(params.owner);
  const Rect& r = params.screen;
  hwnd_ = CreateWindowExW(ex, kTopLevelClass, Widen(params.titleUtf8).c_str(), style, r.left, r.top,
                          std::max(r.Width(), 0), std::max(r.Height(), 0), owner, nullptr,
                          Instance(), this);
  if (!hwnd_) {
    return;
  }
  All().push_back(this);
  ApplyIcons();
}

Win32TopLevel::~Win32TopLevel() {
  *alive_ = false;
  auto& all = All();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (hwnd_) {
    // What the system sends while the window goes (activation moving on, capture lost) is no
    // longer ours to report.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    if (GetCapture() == hwnd_) {
      ReleaseCapture();
    }
    DestroyWindow(hwnd_);
  }
}

void Win32TopLevel::ApplyIcons() {
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon(false)));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon(true)));
}

void Win32TopLevel::AddExStyle(LONG_PTR add) {
  const LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  if ((ex & add) != add) {
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex | add);
  }
}

// ---------------------------------------------------------------------------------------------
// Requests of the framework

void Win32TopLevel::SetBounds(const Rect& screen) {
  SetWindowPos(hwnd_, nullptr, screen.left, screen.top, std::max(screen.Width(), 0),
               std::max(screen.Height(), 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32TopLevel::Show(int showCmd) {
  // The framework's show commands carry the system's values.
  int command = showCmd;
  if (IsToolWindow() && (showCmd == kSwShow || showCmd == kSwShowNormal)) {
    command = SW_SHOWNA;
  }
  if (command == SW_HIDE && GetCapture() == hwnd_) {
    ReleaseCapture();
  }
  std::shared_ptr<bool> alive = alive_;
  ShowWindow(hwnd_, command);  // reports activation and minimising on the way
  if (!*alive) {
    return;
  }
  if (command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_RESTORE) {
    SetForegroundWindow(hwnd_);
  }
  if (command != SW_HIDE && *alive) {
    RaiseOwned();
  }
}

void Win32TopLevel::RaiseOwned() {
  for (Win32TopLevel* other : All()) {
    if (other == this || GetWindow(other->hwnd_, GW_OWNER) != hwnd_ ||
        !IsWindowVisible(other->hwnd_)) {
      continue;
    }
    // Restacked even where the system's order has it above already: a window system that
    // keeps its own stacking (Wine's X windows, remade for per-pixel alpha and mapped on top)
    // hears of a change only, so the owned window goes below and comes back right above.
    constexpr UINT kOnlyOrder = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    HWND above = GetWindow(hwnd_, GW_HWNDPREV);
    if (above == other->hwnd_) {
      SetWindowPos(other->hwnd_, hwnd_, 0, 0, 0, 0, kOnlyOrder);
      above = GetWindow(hwnd_, GW_HWNDPREV);
    }
    SetWindowPos(other->hwnd_, above ? above : HWND_TOP, 0, 0, 0, 0, kOnlyOrder);
    other->RaiseOwned();
  }
}

void Win32TopLevel::SetTitle(const std::string& utf8) {
  SetWindowTextW(hwnd_, Widen(utf8).c_str());
}

void Win32TopLevel::SetTaskbarButton(bool shown) {
  if (IsToolWindow()) {
    return;
  }
  LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  if (shown) {
    ex = (ex | WS_EX_APPWINDOW) & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW);
    style |= WS_MINIMIZEBOX | WS_SYSMENU;
  } else {
    ex &= ~static_cast<LONG_PTR>(WS_EX_APPWINDOW);
    if (!hasOwner_) {
      ex |= WS_EX_TOOLWINDOW;
    }
  }
  if (ex == GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)) {
    return;
  }
  // The taskbar looks at the styles when a window is shown: a visible one is shown again.
  const bool visible = IsWindowVisible(hwnd_) != FALSE;
  if (visible) {
    ShowWindow(hwnd_, SW_HIDE);
  }
  SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex);
  if (visible) {
    ShowWindow(hwnd_, SW_SHOWNA);
  }
}

void Win32TopLevel::Invalidate(const Rect& client) {
  if (client.Empty() || layered_) {
    return;
  }
  RECT r{client.left, client.top, client.right, client.bottom};
  InvalidateRect(hwnd_, &r, FALSE);
}

void Win32TopLevel::Update() { UpdateWindow(hwnd_); }

void Win32TopLevel::SetCursor(Cursor cursor) {
  // The system keeps no shape per window here: it is set while the pointer is over this one.
  POINT p;
  if (GetCursorPos(&p) && GetAncestor(WindowFromPoint(p), GA_ROOT) == hwnd_) {
    ::SetCursor(CursorHandle(cursor));
  }
}

void Win32TopLevel::SetShape(const Region* region) {
  // The system owns the region once it is set.
  HRGN rgn = region ? MakeRegion(*region) : nullptr;
  SetWindowRgn(hwnd_, rgn, TRUE);
}

void Win32TopLevel::SetLayeredContent(const Bitmap& picture) {
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32)) {
    return;
  }
  void* bits = nullptr;
  HBITMAP section = MakeDibSection(picture.width, picture.height, &bits);
  if (!section) {
    return;  // the window keeps what it showed
  }
  // The system blends premultiplied pixels; the picture's alpha is straight.
  WritePixels(picture, {0, 0, picture.width, picture.height}, PixelAlpha::kPremultiplied,
              static_cast<std::uint32_t*>(bits));
  AddExStyle(WS_EX_LAYERED);
  const bool first = !layered_;
  layered_ = true;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, section);
  SIZE size{picture.width, picture.height};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  // The window stays where it is (also while minimised); a new size reaches the framework as any
  // resize does (WM_WINDOWPOSCHANGED).
  UpdateLayeredWindow(hwnd_, screen, nullptr, &size, memory, &origin, 0, &blend, ULW_ALPHA);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(section);
  if (first && IsWindowVisible(hwnd_)) {
    RaiseOwned();
  }
}

void Win32TopLevel::SetColorKey(ColorRef key) {
  AddExStyle(WS_EX_LAYERED);
  // ColorRef has the system's COLORREF layout.
  SetLayeredWindowAttributes(hwnd_, static_cast<COLORREF>(key), 0, LWA_COLORKEY);
}

void Win32TopLevel::GrabPointer(bool grab) {
  if (grab) {
    SetCapture(hwnd_);
    return;
  }
  if (GetCapture() != hwnd_) {
    return;
  }
  ReleaseCapture();
  // A leave that happened while the pointer was held is told now.
  POINT p;
  RECT wr;
  if (GetCursorPos(&p) && GetWindowRect(hwnd_, &wr) && !PtInRect(&wr, p) && trackingLeave_) {
    trackingLeave_ = false;
    TRACKMOUSEEVENT cancel{sizeof(cancel), TME_LEAVE | TME_CANCEL, hwnd_, 0};
    TrackMouseEvent(&cancel);
    PostMessageW(hwnd_, WM_MOUSELEAVE, 0, 0);
  }
}

void Win32TopLevel::Focus() {
  if (!IsWindowVisible(hwnd_) || IsToolWindow()) {
    return;
  }
  if (GetForegroundWindow() != hwnd_) {
    SetForegroundWindow(hwnd_);
  }
  // The keyboard comes back from a native child (the web view) to the window itself; a child
  // the framework focuses takes it after this.
  ::SetFocus(hwnd_);
  RaiseOwned();
}

void Win32TopLevel::SetFullScreen(bool fullScreen) { MarkFullScreen(hwnd_, fullScreen); }

// ---------------------------------------------------------------------------------------------
// Messages of the system

void Win32TopLevel::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  const Rect damage = ToRect(ps.rcPaint);
  if (!dc || layered_ || damage.Empty()) {
    EndPaint(hwnd_, &ps);
    return;
  }
  // Painted off screen and copied at once, so that the erased background never flickers
  // through.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP buffer = CreateCompatibleBitmap(dc, damage.Width(), damage.Height());
  if (!memory || !buffer) {
    if (memory) {
      DeleteDC(memory);
    }
    if (buffer) {
      DeleteObject(buffer);
    }
    EndPaint(hwnd_, &ps);
    return;
  }
  HGDIOBJ old = SelectObject(memory, buffer);
  SetViewportOrgEx(memory, -damage.left, -damage.top, nullptr);
  std::shared_ptr<bool> alive = alive_;
  {
    GdiCanvas canvas(memory);
    IntersectClipRect(memory, damage.left, damage.top, damage.right, damage.bottom);
    events_->OnExpose(canvas, damage);
  }
  if (*alive) {
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, damage.left, damage.top, damage.Width(), damage.Height(), memory, 0, 0, SRCCOPY);
    EndPaint(hwnd_, &ps);
  }
  SelectObject(memory, old);
  DeleteObject(buffer);
  DeleteDC(memory);
}

void Win32TopLevel::Mouse(MouseKind kind, int button, LPARAM lParam, WPARAM wParam) {
  POINT p{static_cast<std::int16_t>(LOWORD(lParam)), static_cast<std::int16_t>(HIWORD(lParam))};
  const Point client{p.x, p.y};
  ClientToScreen(hwnd_, &p);
  if (kind == MouseKind::kMove && !trackingLeave_) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
    trackingLeave_ = TrackMouseEvent(&track) != FALSE;
  }
  // The message's flags are the state after it, with the system's values.
  const unsigned flags = static_cast<unsigned>(wParam) &
                         (kMkLButton | kMkRButton | kMkShift | kMkControl | kMkMButton);
  events_->OnMouse(kind, button, client, {p.x, p.y}, flags);  // may destroy this
}

void Win32TopLevel::WindowPosChanged() {
  const bool iconic = IsIconic(hwnd_) != FALSE;
  std::shared_ptr<bool> alive = alive_;
  if (iconic != minimized_) {
    minimized_ = iconic;
    events_->OnMinimizedChange(iconic);
    if (!*alive) {
      return;
    }
  }
  if (iconic) {
    return;  // parked off screen by the system: no place of the framework's
  }
  RECT wr;
  if (GetWindowRect(hwnd_, &wr)) {
    events_->OnConfigure(ToRect(wr));
  }
}

bool Win32TopLevel::Key(const MSG& msg) {
  const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
  if (!down && !up) {
    return false;
  }
  // The key state read here is the one after this message: the flags the seam wants.
  return events_->OnKey(down, static_cast<unsigned>(msg.wParam), KeyFlagsNow(true));
}

LRESULT Win32TopLevel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_MOUSEMOVE:
      Mouse(MouseKind::kMove, 0, lParam, wParam);
      return 0;
    case WM_LBUTTONDOWN:
      Mouse(MouseKind::kDown, 1, lParam, wParam);
      return 0;
    case WM_MBUTTONDOWN:
      Mouse(MouseKind::kDown, 2, lParam, wParam);
      return 0;
    case WM_RBUTTONDOWN:
      Mouse(MouseKind::kDown, 3, lParam, wParam);
      return 0;
    case WM_LBUTTONUP:
      Mouse(MouseKind::kUp, 1, lParam, wParam);
      return 0;
    case WM_MBUTTONUP:
      Mouse(MouseKind::kUp, 2, lParam, wParam);
      return 0;
    case WM_RBUTTONUP:
      Mouse(MouseKind::kUp, 3, lParam, wParam);
      return 0;
    case WM_LBUTTONDBLCLK:
      Mouse(MouseKind::kDoubleClick, 1, lParam, wParam);
      return 0;
    case WM_MBUTTONDBLCLK:
      Mouse(MouseKind::kDoubleClick, 2, lParam, wParam);
      return 0;
    case WM_RBUTTONDBLCLK:
      Mouse(MouseKind::kDoubleClick, 3, lParam, wParam);
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      if (GetCapture() == hwnd_) {
        return 0;  // still ours while held; told when the capture ends outside
      }
      events_->OnPointerLeave();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        // The shape the framework set last; it sets it again on the mouse message that follows
        // (the system asks before each). The class has none that would flicker in between.
        ::SetCursor(CurrentCursor());
        return TRUE;
      }
      break;
    case WM_MOUSEACTIVATE:
      if (IsToolWindow()) {
        return MA_NOACTIVATE;
      }
      break;
    case WM_ACTIVATE: {
      const bool active = LOWORD(wParam) != WA_INACTIVE;
      if (!active) {
        HWND focus = GetFocus();
        savedFocus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
      }
      std::shared_ptr<bool> alive = alive_;
      events_->OnFocusChange(active);
      if (!*alive) {
        return 0;
      }
      if (active && !HIWORD(wParam) && savedFocus_ && IsChild(hwnd_, savedFocus_)) {
        // Back to the native child (the web view) that had the keyboard, as dialogs do.
        ::SetFocus(savedFocus_);
        return 0;
      }
      break;  // the default gives the window itself the keyboard
    }
    case WM_WINDOWPOSCHANGED:
      // Handled here in place of WM_MOVE and WM_SIZE, which the default would send.
      WindowPosChanged();
      return 0;
    case WM_GETMINMAXINFO: {
      // No size limits of the system's: the framework (and a 0 x 0 minimised companion) decide.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {0, 0};
      info->ptMaxTrackSize = {0x7FFF, 0x7FFF};
      return 0;
    }
    case WM_CLOSE:
      events_->OnCloseRequest();  // the framework decides whether the window closes
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK TopLevelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  Win32TopLevel* window = FromHwnd(hwnd);
  if (!window || !window->Created() || window->Hwnd() != hwnd) {
    // Still being made (its handle not returned yet) or going: nothing to report.
    if (message == WM_CLOSE) {
      return 0;
    }
    if (message == WM_ERASEBKGND) {
      return 1;
    }
    if (message == WM_PAINT) {
      ValidateRect(hwnd, nullptr);
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return window->Handle(message, wParam, lParam);
}

bool RouteKeyToFramework(const MSG& msg) {
  if (!msg.hwnd) {
    return false;
  }
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (!root) {
    return false;
  }
  for (Win32TopLevel* window : All()) {
    if (window->Hwnd() == root) {
      return window->Key(msg);
    }
  }
  return false;
}

void RefreshWindowIcons() {
  for (Win32TopLevel* window : All()) {
    window->ApplyIcons();
  }
}

HWND HwndOf(backend::NativeWindow* window) {
  return window ? static_cast<Win32TopLevel*>(window)->Hwnd() : nullptr;
}

}  // namespace ui::win32

namespace ui::backend {

std::unique_ptr<NativeWindow> CreateNativeWindow(TopLevelEvents* events,
                                                 const NativeWindowParams& params) {
  auto window = std::make_unique<win32::Win32TopLevel>(events, params);
  if (!window->Created()) {
    return nullptr;
  }
  return window;
}

}  // namespace ui::backend

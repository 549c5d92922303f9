// The Win32 backend: the window framework on the system's own windows, GDI painting and the
// WebBrowser control. This file: starting the toolkit, the loops, posted work, timers, the
// modal loop and the application's icon.
//
// Implements every duty of ui/backend/Backend.h:
// - process and loop, posted work, timers, the modal loop, the icon (here);
// - top-levels as captionless popup windows painted by the framework through GDI, double
//   buffered (Win32Window.cpp, GdiCanvas.cpp): shapes as window regions, layered content by
//   UpdateLayeredWindow with per-pixel alpha, colour keys by SetLayeredWindowAttributes, pointer
//   capture for the framework's own move and size loops;
// - desktop services, pop-up menus, message boxes, the notification icon (Win32Services.cpp);
// - the WebBrowser control as the web view (Win32Browser.cpp).
// What it cannot, or does differently:
// - the process declares no DPI awareness: the skins are pictures laid out in pixels, and the
//   system scales the whole program on a high-DPI screen as it did the program's ancestors;
// - full-screen state is the rectangle the framework asks for; the taskbar is only told (it
//   moves below a window that covers the monitor by itself);
// - the framework runs its own move and size loops (BeginSystemLoop answers false), as it does
//   without a window manager.
// windows.h (through Win32Core.h) before the headers that build on it.
#include "ui/win32/Win32Core.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/Dialog.h"
#include "ui/Platform.h"

namespace ui {
namespace {

constexpr wchar_t kMessageClass[] = L"LauncherMessages";
// Private messages of the hidden window: queued work is waiting; a loop may have to look at its
// end condition again.
constexpr UINT kRunQueued = WM_APP + 1;
constexpr UINT kWake = WM_APP + 2;

HWND g_messageWindow = nullptr;

// Work queued from any thread. One kRunQueued message is outstanding while the queue holds
// anything, and each runs one piece of work: a piece that runs a nested loop leaves the rest to
// that loop, in order.
struct WorkQueue {
  std::mutex mutex;
  std::deque<std::function<void()>> work;
  bool posted = false;
};

WorkQueue& Queue() {
  static WorkQueue queue;
  return queue;
}

// Posts the wake-up for queued work; the caller holds the queue's lock.
void PostRunQueued(WorkQueue& q) {
  if (!q.posted && !q.work.empty() && g_messageWindow &&
      PostMessageW(g_messageWindow, kRunQueued, 0, 0)) {
    q.posted = true;
  }
}

void RunOneQueued() {
  std::function<void()> work;
  {
    WorkQueue& q = Queue();
    std::lock_guard lock(q.mutex);
    q.posted = false;
    if (q.work.empty()) {
      return;
    }
    work = std::move(q.work.front());
    q.work.pop_front();
    PostRunQueued(q);
  }
  if (work) {
    work();
  }
}

// A running timer. The callback may stop its own timer (or others); the record stays alive
// until the callback has returned.
struct Timer {
  std::function<void()> callback;
};

struct Timers {
  std::map<backend::TimerHandle, std::shared_ptr<Timer>> running;
  backend::TimerHandle next = 1;
};

Timers& AllTimers() {
  static Timers timers;
  return timers;
}

void FireTimer(UINT_PTR id) {
  auto& running = AllTimers().running;
  auto it = running.find(static_cast<backend::TimerHandle>(id));
  if (it == running.end()) {
    KillTimer(g_messageWindow, id);
    return;
  }
  std::shared_ptr<Timer> timer = it->second;
  timer->callback();
}

LRESULT CALLBACK MessageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunQueued:
      RunOneQueued();
      return 0;
    case kWake:
      return 0;
    case WM_TIMER:
      FireTimer(wParam);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// The running RunMessageLoops, innermost last: each one's flag says it is to end.
std::vector<std::shared_ptr<bool>>& Loops() {
  static std::vector<std::shared_ptr<bool>> loops;
  return loops;
}

// Looks at a message before it is dispatched: the framework's keys, then the web view's
// accelerators. True when it was used up.
bool PreTranslate(MSG& msg) {
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && win32::RouteKeyToFramework(msg)) {
    return true;
  }
  return win32::PreTranslateBrowserMessage(&msg);
}

void Deliver(MSG& msg) {
  if (PreTranslate(msg)) {
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

// Waits for and delivers one message; false when WM_QUIT came, which is posted again so that
// every loop down to the outermost ends.
bool PumpOne() {
  MSG msg;
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
    }
    return false;
  }
  Deliver(msg);
  return true;
}

void Wake() {
  if (g_messageWindow) {
    PostMessageW(g_messageWindow, kWake, 0, 0);
  }
}

// ---------------------------------------------------------------------------------------------
// The application's icon

AppIconPainter& BuiltInIcon() {
  static AppIconPainter paint;
  return paint;
}

// The operator's picture as given; empty for the built-in icon.
launcher::Bitmap& CustomIcon() {
  static launcher::Bitmap icon;
  return icon;
}

struct IconPair {
  HICON big = nullptr;
  HICON small = nullptr;
};

IconPair& CurrentIcons() {
  static IconPair icons;
  return icons;
}

// The picture scaled to fit a size x size square, proportions kept, centred on transparency:
// straight RGBA. Each square pixel averages the picture's pixels it covers (weighted by alpha),
// or takes the nearest one when the picture is smaller.
launcher::Bitmap FitIcon(const launcher::Bitmap& picture, int size) {
  launcher::Bitmap out;
  out.width = size;
  out.height = size;
  out.bitsPerPixel = 32;
  out.pixels.assign(static_cast<std::size_t>(size) * size * 4, 0);
  const int longest = std::max(picture.width, picture.height);
  const int w = std::max(1, picture.width * size / longest);
  const int h = std::max(1, picture.height * size / longest);
  const int left = (size - w) / 2;
  const int top = (size - h) / 2;
  for (int y = 0; y < h; ++y) {
    const int y0 = y * picture.height / h;
    const int y1 = std::max(y0 + 1, (y + 1) * picture.height / h);
    for (int x = 0; x < w; ++x) {
      const int x0 = x * picture.width / w;
      const int x1 = std::max(x0 + 1, (x + 1) * picture.width / w);
      std::uint64_t r = 0, g = 0, b = 0, a = 0, n = 0;
      for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) {
          const std::uint8_t* p = picture.Pixel(sx, sy);
          const std::uint32_t alpha = picture.HasAlpha() ? p[3] : 255;
          r += p[0] * alpha;
          g += p[1] * alpha;
          b += p[2] * alpha;
          a += alpha;
          ++n;
        }
      }
      std::uint8_t* o = &out.pixels[(static_cast<std::size_t>(top + y) * size + left + x) * 4];
      if (a > 0) {
        o[0] = static_cast<std::uint8_t>(r / a);
        o[1] = static_cast<std::uint8_t>(g / a);
        o[2] = static_cast<std::uint8_t>(b / a);
        o[3] = static_cast<std::uint8_t>(a / n);
      }
    }
  }
  return out;
}

// An icon of a straight-alpha picture (24-bit pictures come out opaque); null when the picture
// is empty or the system refuses.
HICON MakeIcon(const launcher::Bitmap& picture) {
  if (picture.Empty() || (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32)) {
    return nullptr;
  }
  void* bits = nullptr;
  HBITMAP color = win32::MakeDibSection(picture.width, picture.height, &bits);
  if (!color) {
    return nullptr;
  }
  // Icons take straight alpha, unlike layered windows.
  win32::WritePixels(picture, {0, 0, picture.width, picture.height}, win32::PixelAlpha::kStraight,
                     static_cast<std::uint32_t*>(bits));
  // The AND mask is all zeros: the colour bitmap's alpha decides.
  std::vector<std::uint8_t> maskBits(
      static_cast<std::size_t>((picture.width + 15) / 16 * 2) * picture.height, 0);
  HBITMAP mask = CreateBitmap(picture.width, picture.height, 1, 1, maskBits.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask;
  info.hbmColor = color;
  HICON icon = mask ? CreateIconIndirect(&info) : nullptr;
  DeleteObject(color);
  if (mask) {
    DeleteObject(mask);
  }
  return icon;
}

HICON MakeAppIcon(int size) {
  const launcher::Bitmap& custom = CustomIcon();
  if (!custom.Empty()) {
    return MakeIcon(FitIcon(custom, size));
  }
  if (BuiltInIcon()) {
    return MakeIcon(BuiltInIcon()(size));
  }
  return nullptr;
}

void RebuildIcons() {
  IconPair& icons = CurrentIcons();
  IconPair old = icons;
  icons.big = MakeAppIcon(GetSystemMetrics(SM_CXICON));
  icons.small = MakeAppIcon(GetSystemMetrics(SM_CXSMICON));
  win32::RefreshWindowIcons();
  win32::RefreshNotifyIcons();
  // Windows copy nothing: the old icons go only once every window shows the new ones.
  if (old.big) {
    DestroyIcon(old.big);
  }
  if (old.small) {
    DestroyIcon(old.small);
  }
}

}  // namespace

namespace win32 {

HICON AppIcon(bool small) {
  const IconPair& icons = CurrentIcons();
  HICON icon = small ? icons.small : icons.big;
  return icon ? icon : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

}  // namespace win32

namespace backend {

bool InitPlatform() {
  static bool started = false;
  if (started) {
    return true;
  }
  // The web view is an OLE control: the UI thread is a single-threaded apartment with OLE's
  // clipboard and drag and drop.
  const HRESULT ole = OleInitialize(nullptr);
  if (FAILED(ole) && ole != RPC_E_CHANGED_MODE) {
    return false;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW top{};
  top.cbSize = sizeof(top);
  // Double clicks are the framework's as the system counts them; the background is painted by
  // the framework and the cursor set by it.
  top.style = CS_DBLCLKS;
  top.lpfnWndProc = win32::TopLevelProc;
  top.hInstance = win32::Instance();
  top.lpszClassName = win32::kTopLevelClass;
  if (!RegisterClassExW(&top) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  WNDCLASSEXW hidden{};
  hidden.cbSize = sizeof(hidden);
  hidden.lpfnWndProc = MessageWindowProc;
  hidden.hInstance = win32::Instance();
  hidden.lpszClassName = kMessageClass;
  if (!RegisterClassExW(&hidden) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  g_messageWindow = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    win32::Instance(), nullptr);
  if (!g_messageWindow) {
    return false;
  }
  started = true;
  RebuildIcons();
  // Work queued before the loop existed.
  WorkQueue& q = Queue();
  std::lock_guard lock(q.mutex);
  PostRunQueued(q);
  return true;
}

void SetBuiltInAppIcon(AppIconPainter paint) {
  BuiltInIcon() = std::move(paint);
  if (g_messageWindow) {
    RebuildIcons();
  }
}

void SetAppIcon(const Bitmap& icon) {
  if (icon.Empty() || (icon.bitsPerPixel != 24 && icon.bitsPerPixel != 32)) {
    CustomIcon() = {};
  } else {
    CustomIcon() = icon;
  }
  RebuildIcons();
}

void ProcessPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that ends on it
      return;
    }
    Deliver(msg);
  }
}

void RunMessageLoop() {
  auto quit = std::make_shared<bool>(false);
  Loops().push_back(quit);
  while (!*quit && PumpOne()) {
  }
  auto& loops = Loops();
  loops.erase(std::find(loops.begin(), loops.end(), quit));
}

void QuitMessageLoop() {
  auto& loops = Loops();
  if (loops.empty()) {
    return;
  }
  *loops.back() = true;
  Wake();
}

void QueueOnUiThread(std::function<void()> work) {
  WorkQueue& q = Queue();
  std::lock_guard lock(q.mutex);
  q.work.push_back(std::move(work));
  PostRunQueued(q);
}

void RunModalLoop(Dialog& dialog) {
  while (!dialog.IsEnded() && dialog.IsCreated() && PumpOne()) {
  }
}

void WakeModalLoop() { Wake(); }

TimerHandle StartTimer(unsigned milliseconds, std::function<void()> callback) {
  Timers& timers = AllTimers();
  const TimerHandle handle = timers.next++;
  auto timer = std::make_shared<Timer>();
  timer->callback = std::move(callback);
  timers.running[handle] = std::move(timer);
  if (g_messageWindow) {
    SetTimer(g_messageWindow, handle, std::max(milliseconds, 1u), nullptr);
  }
  return handle;
}

void StopTimer(TimerHandle handle) {
  auto& running = AllTimers().running;
  auto it = running.find(handle);
  if (it == running.end()) {
    return;
  }
  running.erase(it);
  if (g_messageWindow) {
    KillTimer(g_messageWindow, handle);
  }
}

}  // namespace backend
}  // namespace ui

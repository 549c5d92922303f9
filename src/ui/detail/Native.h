// The backend's part of a window. Shared code (Window.cpp) keeps the window tree, the message
// rules and the input state; a backend creates native top-level windows, draws, and reports
// what the user did through TopLevelEvents. Not for the system's classes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "config/Bitmap.h"
#include "ui/Canvas.h"
#include "ui/Geometry.h"
#include "ui/Window.h"

namespace ui::detail {

// What a backend reports for one native top-level. Points are in the window's client
// coordinates unless named screen.
class TopLevelEvents {
 public:
  virtual ~TopLevelEvents() = default;
  // Paint the damaged part into canvas (client coordinates, clipped to damage).
  virtual void OnExpose(Canvas& canvas, const Rect& damage) = 0;
  enum class MouseKind { kMove, kDown, kUp, kDoubleClick };
  // button: 1 left, 2 middle, 3 right (0 for moves); keyFlags: kMk* after the event. screen
  // is the pointer's place on the screen, client the same relative to this window's origin at
  // the time of the event.
  virtual void OnMouse(MouseKind kind, int button, Point client, Point screen,
                       unsigned keyFlags) = 0;
  virtual void OnPointerLeave() = 0;
  // A key went down or up while this window had the keyboard; true when it was consumed (a
  // native child with the focus must then not see it).
  virtual bool OnKey(bool down, unsigned virtualKey, unsigned keyFlags) = 0;
  virtual void OnFocusChange(bool focused) = 0;
  // The window manager moved or sized the window (screen coordinates).
  virtual void OnConfigure(const Rect& screen) = 0;
  virtual void OnMinimizedChange(bool minimized) = 0;
  virtual void OnCloseRequest() = 0;
};

struct NativeWindowParams {
  Rect screen;
  std::string titleUtf8;
  bool taskbarButton = false;
  NativeWindow* owner = nullptr;  // kept above its owner
  unsigned exStyle = 0;           // kWsEx*: tool windows and topmost ones are placed as such
};

class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual void SetBounds(const Rect& screen) = 0;
  virtual void Show(int showCmd) = 0;  // kSwHide, kSwShow, kSwMinimize, kSwRestore, ...
  virtual void SetTitle(const std::string& utf8) = 0;
  virtual void SetTaskbarButton(bool shown) = 0;
  virtual void Invalidate(const Rect& client) = 0;
  virtual void Update() = 0;  // paint invalid areas now
  virtual void SetCursor(Cursor cursor) = 0;
  // Shape of the window: nothing drawn and no input outside it. Null: the whole rectangle.
  virtual void SetShape(const Region* region) = 0;
  // Per-pixel alpha content; the window shows exactly this picture.
  virtual void SetLayeredContent(const Bitmap& picture) = 0;
  virtual void SetColorKey(ColorRef key) = 0;
  // Sends pointer input to this window wherever the pointer goes (capture, move and size
  // loops) until released.
  virtual void GrabPointer(bool grab) = 0;
  virtual void Focus() = 0;
  // Tells the desktop the window covers the whole screen, above its panels and docks (a window
  // manager's full-screen state), or no longer does. Bounds stay as SetBounds asks.
  virtual void SetFullScreen(bool fullScreen) = 0;
  // A move or size loop (kScMove, or kScSize with its direction) that the window system runs
  // itself, from the pointer's place at the button press until the button goes up: true when it
  // does (a window manager that ignores where the program puts its windows), and the framework
  // then runs none of its own.
  virtual bool BeginSystemLoop(unsigned command, Point screen) = 0;
};

// A native widget hosted as a child (the browser). Positioned in its top-level's client
// coordinates.
class NativeChild {
 public:
  virtual ~NativeChild() = default;
  virtual void Attach(NativeWindow* topLevel) = 0;  // null detaches
  virtual void SetBounds(const Rect& inTopLevel) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void Focus() = 0;
};

std::unique_ptr<NativeWindow> CreateNativeWindow(TopLevelEvents* events,
                                                 const NativeWindowParams& params);

// Timers: callback runs on the UI thread every interval until stopped.
using TimerHandle = unsigned;
TimerHandle StartTimer(unsigned milliseconds, std::function<void()> callback);
void StopTimer(TimerHandle handle);

}  // namespace ui::detail

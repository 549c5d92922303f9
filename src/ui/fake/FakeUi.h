// Test control of the fake backend: what the code asked of the platform, and the answers and
// events a test hands in. UI thread only, except PendingPostedWork.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/Canvas.h"
#include "ui/Geometry.h"
#include "ui/NotifyIcon.h"
#include "ui/Platform.h"
#include "ui/Window.h"

namespace ui {
class Dialog;
}

namespace ui::fake {

// One message box the code showed. Texts as the backend got them (UTF-8).
struct MessageBoxCall {
  bool hasOwner = false;
  Window* owner = nullptr;  // identity only: may be gone by the time a test looks
  std::string text;
  std::string caption;
  unsigned style = 0;
};

// What a native top-level was asked to be.
struct NativeState {
  Rect bounds;
  std::string title;  // UTF-8
  bool shown = false;
  bool minimized = false;
  bool taskbarButton = false;
  bool hasShape = false;
  Region shape;
  int layeredUpdates = 0;
  Size layeredSize;
  bool colorKeyed = false;
  ColorRef colorKey = 0;
  bool grabbed = false;
  bool fullScreen = false;  // announced to the desktop
  unsigned systemLoop = 0;  // the last move or size loop the window system was asked to run
  int invalidations = 0;
  int updates = 0;
  bool destroyed = false;
};

// Forgets everything recorded and queued, and makes the platform start again.
void Reset();

// Whether InitPlatform succeeds (default true).
void SetPlatformAvailable(bool available);

// The picture last handed to SetAppIcon (empty: the built-in icon).
const Bitmap& AppIcon();
// What last drew the built-in icon (SetBuiltInAppIcon); empty when nothing did.
const AppIconPainter& BuiltInAppIcon();

// RunMessageLoop ends by itself when no posted work arrives for this long (default 10 s).
void SetMessageLoopTimeout(std::chrono::milliseconds timeout);

const std::vector<MessageBoxCall>& MessageBoxes();

// Answers for the next message boxes, in order; a box with no queued answer gets the default
// button's answer.
void QueueMessageBoxAnswer(int answer);
// Runs when a message box is shown (before it answers): lets a test see the state then.
void OnMessageBox(std::function<void(const MessageBoxCall&)> observer);

// Runs work queued by PostMessage from any thread; returns how many ran.
int RunPostedWork();
// Runs the oldest queued work, if any; returns 1 when one ran.
int RunOnePostedWork();
// Any thread: how much posted work waits.
std::size_t PendingPostedWork();

// The desktop.
void SetWorkArea(const Rect& work);
void SetScreenSize(Size size);
// Whether the window system runs move and size loops itself (default false: the framework does).
void SetSystemLoops(bool system);

// Native top-levels.
const NativeState& Native(const Window& topLevel);
Cursor CurrentCursor();
const std::vector<std::string>& ShellOpens();  // targets, UTF-8
// Executables StartProcess was asked to start, in order (none is started).
const std::vector<std::string>& StartedProcesses();

// The notification area: icons present now, in the order added (tips UTF-8). Whether the
// desktop has a notification area (default true); without one AddNotifyIcon fails.
const std::vector<NotifyIconData>& NotifyIcons();
void SetNotificationArea(bool present);

// Input, as the backend would report it, to the top-level that holds the point.
enum class MouseKind { kMove, kDown, kUp, kDoubleClick };
void Mouse(Window& topLevel, MouseKind kind, int button, Point screen, unsigned keyFlags = 0);
// A left press and release at a screen point (flags of the press: kMkLButton).
void Click(Window& topLevel, Point screen, unsigned extraFlags = 0);
void PointerLeaves(Window& topLevel);
// True when consumed before any native child would see it.
bool Key(Window& topLevel, bool down, unsigned virtualKey, unsigned keyFlags = 0);
// The desktop gave a top-level the keyboard or took it away, told at once. The fake desktop
// moves the keyboard by itself too, as a window system does: to a top-level shown with
// activation or asked for the focus (tool windows never take it), away from one hidden or
// minimised; the framework hears of those moves with the posted work.
void FocusChange(Window& topLevel, bool focused);
// The window manager moved or sized a top-level, or its user asked to close it.
void Configure(Window& topLevel, const Rect& screen);
void RequestClose(Window& topLevel);
// The desktop (a panel, the window manager) minimised or restored a top-level.
void DesktopMinimize(Window& topLevel, bool minimized);

// One drawing request, in the top-level's client coordinates.
struct DrawOp {
  enum class Kind { kBitmap, kBlend, kMasked, kFill, kEdge, kFocusRect, kText };
  Kind kind;
  Rect dst;
  Rect src;  // bitmaps: the source rectangle
  const Bitmap* picture = nullptr;
  int pictureWidth = 0, pictureHeight = 0;
  ColorRef color = 0;
  std::string text;    // UTF-8
  unsigned flags = 0;  // text flags; edges: 1 raised, 2 sunken
  FontKind font = FontKind::kMenu;
  Rect clip;  // clip in force
  // Shapes of the windows painted into (SetWindowRgn of a child), in force beside clip: the
  // op shows only where it lies inside every one of them.
  std::vector<Region> shapes;
};
// Paints the whole top-level as an expose would and returns what was drawn, in order.
std::vector<DrawOp> Paint(Window& topLevel);

// Timers and menus.
std::size_t ActiveTimers();
// Runs every active timer's callback once (each posts kWmTimer; run posted work after).
void FireTimers();
struct MenuCall {
  std::vector<MenuItem> items;  // texts UTF-8
  Point at;
};
const std::vector<MenuCall>& Menus();
void QueueMenuChoice(int id);

// Modal runs: the handler drives the dialog (events, answers) and returns; when the dialog
// has not ended by then, the run ends as if the loop gave up, and DoModal returns its result
// so far (-1). Without a handler a modal run returns at once.
void SetModalHandler(std::function<void(Dialog&)> handler);

}  // namespace ui::fake

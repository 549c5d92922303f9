// Everything a backend of the window framework implements, and nothing else does. The shared
// framework (ui/*.cpp) keeps the window tree, the message rules, the input state and the text
// conversion, and calls these duties; a backend draws, moves, shows and reports what the user
// did. A new backend implements every declaration below, in its own folder, and starts its main
// file with what it implements and what it cannot.
//
// Text across this seam is UTF-8, always: the framework converts the model's GBK once before a
// duty sees it, and converts what a backend reports back (addresses, page text). Byte limits on
// GBK text stay with the system's classes.
//
// Everything runs on the UI thread unless said otherwise. Not for the system's classes: this
// header compiles only in the framework, the backends and the backends' own tests.
#pragma once

#if !defined(LAUNCHER_UI_BACKEND)
#error "ui/backend/Backend.h is the backends' own; the system's classes use the public ui/ headers"
#endif

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Browser.h"
#include "ui/Canvas.h"
#include "ui/Dialog.h"
#include "ui/Geometry.h"
#include "ui/NotifyIcon.h"
#include "ui/Platform.h"
#include "ui/Window.h"

namespace ui::backend {

// ---------------------------------------------------------------------------------------------
// The process and its loop

// Starts the toolkit. False when it cannot run here (no display).
bool InitPlatform();
// The application's icon from now on, of every window and of the notification area; an empty
// picture brings back the built-in one.
void SetAppIcon(const Bitmap& icon);
// What draws the built-in icon at a size, handed in by the application.
void SetBuiltInAppIcon(AppIconPainter paint);
// Runs posted work and toolkit events until nothing is pending.
void ProcessPending();
// Runs the UI loop until QuitMessageLoop; loops nest, each Quit ends the innermost.
void RunMessageLoop();
void QuitMessageLoop();
// Any thread. Queues work to run once on the UI thread, in the order queued.
void QueueOnUiThread(std::function<void()> work);
// Runs the UI until dialog.IsEnded() (or its window is gone). The fake backend hands the dialog
// to the test instead.
void RunModalLoop(Dialog& dialog);
// Ends the innermost RunModalLoop when its dialog has ended.
void WakeModalLoop();

// Timers: callback runs on the UI thread every interval until stopped. Stopping a timer from
// its own callback, or twice, is harmless.
using TimerHandle = unsigned;
TimerHandle StartTimer(unsigned milliseconds, std::function<void()> callback);
void StopTimer(TimerHandle handle);

// ---------------------------------------------------------------------------------------------
// Drawing

// One paint's drawing surface: the backend's side of ui::Canvas (see there for what each call
// draws). Coordinates are the current ones, moved and clipped by Save.
class NativeCanvas {
 public:
  virtual ~NativeCanvas() = default;
  virtual void DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) = 0;
  virtual void BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) = 0;
  virtual void DrawMasked(const Bitmap& picture, const Bitmap& mask, const Rect& dst,
                          bool stretch) = 0;
  virtual void FillRect(const Rect& rect, ColorRef color) = 0;
  virtual void DrawEdge(const Rect& rect, EdgeKind kind) = 0;
  virtual void DrawFocusRect(const Rect& rect) = 0;
  virtual void DrawText(std::string_view utf8, const Rect& rect, unsigned flags, ColorRef color,
                        FontKind font) = 0;
  virtual void TextOut(int x, int y, std::string_view utf8, ColorRef color, FontKind font) = 0;
  virtual void Save(Point offset, const Rect& clip) = 0;
  virtual void ClipRegion(const Region& region) = 0;
  virtual void Restore() = 0;
};

// What NativeCanvas::DrawMasked draws at a width x height destination, as 0xAARRGGBB words
// (alpha 0 or 255, so premultiplied and straight alike): the picture where the mask is dark,
// black where a dark mask pixel has no picture over it, 0 (the content stays) elsewhere.
// Natural size from the top-left, or stretched to the destination, nearest pixel. Rows are
// rowWords apart in out. Shared, so that every backend draws the same pixels.
void ComposeMasked(const Bitmap& picture, const Bitmap& mask, int width, int height, bool stretch,
                   std::uint32_t* out, std::size_t rowWords);

// Size of a single line of text in a font, as NativeCanvas::DrawText draws it.
Size MeasureText(std::string_view utf8, FontKind font);

// ---------------------------------------------------------------------------------------------
// Top-level windows

// What a backend reports for one native top-level. Points are in the window's client
// coordinates unless named screen. Any call may destroy the native window (a click that closes
// it); the backend touches nothing of itself afterwards unless it knows it still exists.
class TopLevelEvents {
 public:
  virtual ~TopLevelEvents() = default;
  // Paint the damaged part onto canvas (client coordinates, clipped to damage).
  virtual void OnExpose(NativeCanvas& canvas, const Rect& damage) = 0;
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

class NativeWindow;

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

// Null when no native window can be made (the platform did not start).
std::unique_ptr<NativeWindow> CreateNativeWindow(TopLevelEvents* events,
                                                 const NativeWindowParams& params);

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

// The native side of a framework window, which keeps it private.
struct WindowAccess {
  // The top-level's native window; null for children and windows not created.
  static NativeWindow* Native(const Window& window) { return window.native_.get(); }
  // The native child a window hosts (the browser's web view), or null.
  static NativeChild* Child(const Window& window) { return window.nativeChild_.get(); }
  // Native widgets hosted as children set theirs before Create.
  static void SetChild(Window& window, std::unique_ptr<NativeChild> child) {
    window.nativeChild_ = std::move(child);
  }
};

// ---------------------------------------------------------------------------------------------
// The desktop's services

Rect GetWorkArea();
Size GetScreenSize();
// The pointer's shape over the window that last had pointer input.
void SetCursor(Cursor cursor);
// Opens an address (or file) with the desktop's default handler. See ui::ShellOpen.
bool ShellOpen(std::string_view utf8);
// See ui::StartProcess; path as the file system names it.
bool StartProcess(std::string_view path);
// Shows a pop-up menu (item texts UTF-8) at a screen point, anchored in owner's top-level when
// there is one, and returns the chosen item's id, 0 when none. The framework tells the owner.
int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* owner);
// A modal box as ui::MessageBox describes it; text and caption UTF-8.
int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style);
// The notification-area icon as ui::AddNotifyIcon describes it; data.tip is UTF-8.
bool AddNotifyIcon(const NotifyIconData& data);
bool DeleteNotifyIcon(const NotifyIconData& data);
bool HasNotificationArea();

// ---------------------------------------------------------------------------------------------
// The browser control's web view

// How documents created now are to be presented: the installed handler's answers.
struct DocumentPresentation {
  bool border = true;
  bool scrollBars = true;
  bool contextMenu = true;
  bool external = false;
  std::vector<std::string> externalMembers;
  friend bool operator==(const DocumentPresentation&, const DocumentPresentation&) = default;
};

// What a native browser reports. Any call may destroy the native browser (a handler that closes
// the window); the backend touches nothing of itself afterwards unless it knows it still exists.
class BrowserEvents {
 public:
  virtual ~BrowserEvents() = default;
  // Before a navigation of the page or one of its frames; false cancels it. sameOrigin: see
  // BrowserEvent.
  virtual bool OnBeforeNavigate(std::string_view url, bool topLevel, bool sameOrigin) = 0;
  // A document exists for the page or one of its frames (after it was created with
  // Presentation()'s answer of that time).
  virtual void OnNavigateComplete(std::string_view url, bool topLevel) = 0;
  // The page has loaded, its frames included.
  virtual void OnDocumentComplete(std::string_view url) = 0;
  // What a document created now gets.
  virtual DocumentPresentation Presentation() = 0;
  // A call of a member of the external object, with what the call carries (see
  // kMaxExternalArguments; texts UTF-8); the result (text UTF-8) goes back to the page. Nothing
  // makes it fail there.
  virtual std::optional<ScriptValue> OnExternalCall(std::string_view name,
                                                    const std::vector<ScriptValue>& args) = 0;
  // The web view took the keyboard (a click in the page): the framework's focus follows, so
  // that keys nobody pre-translates reach the page.
  virtual void OnFocusIn() = 0;
  // The page asked for a new window on url; the backend opens none itself.
  virtual void OnNewWindow(std::string_view url) = 0;
  // The top document's load failed for want of the server (not cancelled, not refused by a
  // policy); true when the control showed its own page in place of the engine's.
  virtual bool OnNavigateError(std::string_view url) = 0;
};

class NativeBrowser : public NativeChild {
 public:
  // True once attached to a top-level that can hold a web view.
  virtual bool Ready() const = 0;
  virtual bool Navigate(const std::string& url) = 0;
  // See BrowserControl::LoadHtml.
  virtual bool LoadHtml(const std::string& html, const std::string& url) = 0;
  virtual void SetSilent(bool silent) = 0;
  // Presentation() may answer differently now; documents created from now on ask again.
  virtual void PresentationChanged() = 0;
};

// Null when the backend cannot make web views at all.
std::unique_ptr<NativeBrowser> CreateNativeBrowser(BrowserEvents* events);
// See ui::ClearBrowserCache.
void ClearBrowserCache(std::function<void(bool)> done);

}  // namespace ui::backend

// Windows of the framework. A Window is a top-level window (a native window of the backend) or a
// child control drawn and hit-tested by the framework inside its top-level; a few children (the
// browser) are native widgets of their own, placed by the framework. The system's classes derive
// from Window, Dialog and Button and attach behaviour by overriding WindowProc and the virtual
// operations; every message handler runs on the UI thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Canvas.h"
#include "ui/Geometry.h"
#include "ui/Message.h"
#include "ui/Messages.h"

namespace ui {

class Canvas;
class Window;

namespace backend {
class NativeWindow;
class NativeChild;
struct WindowAccess;
}  // namespace backend
namespace detail {
class TopLevelState;
}  // namespace detail

// Handed to kWmCreate. A handler may change rect before the window is made.
struct CreateParams {
  Rect rect;  // screen coordinates for a top-level, parent client for a child
  unsigned style = 0;
  unsigned exStyle = 0;
  int id = 0;
  std::string text;          // GBK
  Window* parent = nullptr;  // the owner of a top-level
};

// A message as it is pre-translated: the window it is for, and where the pointer was.
struct Message {
  Window* window = nullptr;
  unsigned message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  Point screenPoint;
};

// Window placement record.
struct Placement {
  unsigned flags = 0;
  int showCmd = kSwShowNormal;
  Point minPosition{-1, -1};
  Point maxPosition{-1, -1};
  Rect normal;  // screen coordinates (top-levels)
};

enum class Cursor { kArrow, kHand, kSizeNS, kSizeWE, kSizeNWSE, kSizeNESW, kSizeAll };

class Window : public MessageTarget {
 public:
  Window();
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // --- Creation ---------------------------------------------------------------------------
  // With kWsChild a child of parent; otherwise a top-level owned by parent (may be null).
  // Sends kWmCreate (which may refuse); a visible window is shown. False when refused.
  bool Create(std::string_view text, unsigned style, const Rect& rect, Window* parent, int id,
              unsigned exStyle = 0);
  // Destroys the window and its children's windows (children objects stay with their owners).
  // Sends kWmDestroy first. Safe to call twice.
  void DestroyWindow();
  bool IsCreated() const { return created_; }
  WindowId GetId() const { return id_; }

  // --- Tree ---------------------------------------------------------------------------------
  Window* GetParent() const { return parent_; }
  Window* GetOwner() const { return owner_; }
  bool IsChild() const { return (style_ & kWsChild) != 0; }
  Window* GetTopLevel();
  int GetDlgCtrlID() const { return controlId_; }
  Window* GetDlgItem(int id) const;
  // Children in z-order, topmost first (the first created is on top).
  const std::vector<Window*>& GetChildren() const { return children_; }

  // --- Geometry -----------------------------------------------------------------------------
  Rect GetWindowRect() const;  // screen coordinates
  Rect GetClientRect() const { return {0, 0, rect_.Width(), rect_.Height()}; }
  // Position in the parent's client coordinates (children) or on the screen (top-levels).
  const Rect& GetRectInParent() const { return rect_; }
  Point ClientToScreen(Point p) const;
  Point ScreenToClient(Point p) const;
  bool MoveWindow(const Rect& rect, bool repaint = true);
  bool SetWindowPos(int x, int y, int width, int height, unsigned flags);
  bool GetWindowPlacement(Placement* placement) const;
  bool SetWindowPlacement(const Placement& placement);

  // --- State --------------------------------------------------------------------------------
  bool ShowWindow(int showCmd);  // true when it was visible before
  bool IsWindowVisible() const;  // this and every ancestor visible
  bool IsIconic() const { return minimized_; }
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const { return (style_ & kWsDisabled) == 0; }
  unsigned GetStyle() const { return style_; }
  unsigned GetExStyle() const { return exStyle_; }
  void ModifyStyle(unsigned remove, unsigned add);
  void ModifyStyleEx(unsigned remove, unsigned add);
  // Top-levels: the desktop is told the window covers the whole screen (so no panel or dock
  // stays above it), or no longer does. The rectangle is the caller's to set, as for any window.
  void SetFullScreenState(bool fullScreen);
  bool IsFullScreenState() const { return fullScreenState_; }
  void SetWindowText(std::string_view text);  // GBK
  const std::string& GetWindowText() const { return text_; }

  // --- Painting -----------------------------------------------------------------------------
  void Invalidate(bool erase = true);
  void InvalidateRect(const Rect& client, bool erase = true);
  // Paints what is invalid now, before returning.
  void UpdateWindow();
  // Replaces the window's shape; outside it nothing is drawn and the pointer passes. Null
  // restores the rectangle.
  void SetWindowRgn(std::optional<Region> region, bool redraw);
  const std::optional<Region>& GetWindowRgn() const { return region_; }
  // Top-levels with kWsExLayered: the whole content, per-pixel alpha, drawn at the window's
  // place; the window takes the picture's size.
  bool UpdateLayered(const launcher::Bitmap& picture);
  // Top-levels with kWsExLayered: pixels painted in key are transparent and let the pointer
  // through.
  void SetLayeredColorKey(ColorRef key);

  // --- Input --------------------------------------------------------------------------------
  void SetCapture();
  static void ReleaseCapture();
  static Window* GetCapture();
  void SetFocus();
  static Window* GetFocus();
  // Arms (or cancels) one kWmMouseLeave for this window. False when there is nothing to cancel.
  bool TrackMouseLeave(bool cancel = false);
  // The window at a screen point (deepest visible child), or null.
  static Window* WindowFromPoint(Point screen);

  // --- Timers -------------------------------------------------------------------------------
  void SetTimer(unsigned timerId, unsigned milliseconds);
  void KillTimer(unsigned timerId);

  // --- Messages -----------------------------------------------------------------------------
  LResult SendMessage(unsigned message, WParam wParam = 0, LParam lParam = 0);
  bool PostMessage(unsigned message, WParam wParam = 0, LParam lParam = 0);
  // The window's handler; overrides call the base for what they do not handle.
  virtual LResult WindowProc(unsigned message, WParam wParam, LParam lParam);
  // The framework's default handling.
  LResult DefWindowProc(unsigned message, WParam wParam, LParam lParam);
  // Sees input messages for this window and its descendants before they are handled; true
  // consumes the message.
  virtual bool PreTranslateMessage(Message& message);

  void OnPostedMessage(unsigned message, WParam wParam, LParam lParam) override;

 private:
  friend class detail::TopLevelState;
  friend struct backend::WindowAccess;
  friend class Dialog;

  // An owned top-level without a taskbar entry of its own: minimised and restored with its
  // owner, hidden while the owner is minimised.
  bool FollowsOwner() const;
  void ShowOwnedWindows(bool show);
  void AddChild(Window* child);
  void RemoveChild(Window* child);
  void ApplyBounds(const Rect& rect, bool repaint);
  void SyncNativeChildren();
  Rect RectInTopLevel() const;

  WindowId id_ = 0;
  bool created_ = false;
  Window* parent_ = nullptr;
  Window* owner_ = nullptr;
  std::vector<Window*> children_;
  int controlId_ = 0;
  unsigned style_ = 0;
  unsigned exStyle_ = 0;
  std::string text_;
  Rect rect_;
  bool visible_ = false;
  bool minimized_ = false;
  bool fullScreenState_ = false;
  bool hiddenWithOwner_ = false;  // natively hidden while the owner is minimised
  std::optional<Region> region_;
  std::unique_ptr<backend::NativeWindow> native_;      // top-levels
  std::unique_ptr<backend::NativeChild> nativeChild_;  // native children
  std::unique_ptr<detail::TopLevelState> state_;       // top-levels: input state
  std::map<unsigned, unsigned> timers_;                // timer id -> backend handle
};

// Services of the desktop.
Rect GetWorkArea();
Size GetScreenSize();
Point GetCursorPos();
void SetCursor(Cursor cursor);
// Opens an address (or file) with the desktop's default handler. Text in GBK.
bool ShellOpen(std::string_view target);
// The address the shell opens for a target: a target that starts with "www." (any letter case)
// names a web site without its scheme and opens as http; anything else stays as it is.
std::string ShellAddress(std::string_view target);
// Starts the executable at path (named as the file system names it, like OwnExecutablePath) with
// no arguments, in this process's environment and current directory, and does not wait for it;
// nothing is left to reap when it ends. False when it cannot be started.
bool StartProcess(std::string_view path);
// True while the key is held down (kVkShift, kVkControl, mouse buttons as kMk flags are not
// keys).
bool IsKeyDown(unsigned virtualKey);
// Size of a single line of text (GBK) in a font.
Size MeasureText(std::string_view text, FontKind font);
// Grows a client rectangle by the frame and caption a style has.
Rect AdjustWindowRect(const Rect& client, unsigned style);

struct MenuItem {
  int id = 0;        // 0: separator
  std::string text;  // GBK
};
// Shows a pop-up menu at a screen point and returns the chosen item's id, 0 when none. The
// owner receives kWmCommand with the id as well when nonzero.
int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* owner);

}  // namespace ui

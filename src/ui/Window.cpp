#include "ui/Window.h"

#include <algorithm>
#include <map>

#include "base/Text.h"
#include "ui/Canvas.h"
#include "ui/backend/Backend.h"

namespace ui {
namespace {

// Input state shared by all windows of the UI thread.
struct InputState {
  Window* capture = nullptr;
  Window* focus = nullptr;
  Point cursor;
  unsigned keyFlags = 0;  // kMk* of the last event
};

InputState& Input() {
  static InputState state;
  return state;
}

// Every live window, so that stale pointers (a window deleted while an event was on its way)
// are never followed.
std::vector<Window*>& LiveWindows() {
  static std::vector<Window*> windows;
  return windows;
}

bool IsLive(Window* w) {
  const auto& live = LiveWindows();
  return w && std::find(live.begin(), live.end(), w) != live.end();
}

}  // namespace

// -----------------------------------------------------------------------------------------------
// Per top-level state: what the backend reports, turned into messages.

namespace detail {

class TopLevelState : public backend::TopLevelEvents {
 public:
  explicit TopLevelState(Window* window) : window_(window) {}

  void OnExpose(backend::NativeCanvas& native, const Rect& damage) override {
    Canvas canvas(native);
    Paint(window_, canvas, damage);
  }

  void OnMouse(MouseKind kind, int button, Point client, Point screen, unsigned keyFlags) override;
  void OnPointerLeave() override { SetHover(nullptr); }
  bool OnKey(bool down, unsigned virtualKey, unsigned keyFlags) override;
  void OnFocusChange(bool focused) override;
  void OnConfigure(const Rect& screen) override;
  void OnMinimizedChange(bool minimized) override;
  void OnCloseRequest() override { window_->SendMessage(kWmClose); }

  void StartLoop(unsigned command, Point screen);
  bool InLoop() const { return loop_ != 0; }
  void ArmLeave(Window* w) { leaveArmed_ = w; }
  bool CancelLeave(Window* w) {
    if (leaveArmed_ != w) {
      return false;
    }
    leaveArmed_ = nullptr;
    return true;
  }
  void Forget(Window* w) {
    if (hover_ == w) {
      hover_ = nullptr;
    }
    if (leaveArmed_ == w) {
      leaveArmed_ = nullptr;
    }
  }

  static void Paint(Window* w, Canvas& canvas, const Rect& damage);

 private:
  void SetHover(Window* w);
  void LoopMotion(Point screen);

  Window* window_;
  Window* hover_ = nullptr;
  Window* leaveArmed_ = nullptr;
  unsigned loop_ = 0;  // kScMove or kScSize | direction while a loop runs
  Point loopStart;
  Rect loopRect;
};

}  // namespace detail

using detail::TopLevelState;

// Walks target, its parents and (for top-levels) its owners; true when one consumed it.
static bool PreTranslate(Message& message) {
  for (Window* w = message.window; w; w = w->IsChild() ? w->GetParent() : w->GetOwner()) {
    if (!IsLive(w)) {
      return false;
    }
    if (w->PreTranslateMessage(message)) {
      return true;
    }
  }
  return false;
}

// Delivers an input message through pre-translation to its window.
static void Dispatch(Window* target, unsigned message, WParam wParam, LParam lParam) {
  Message m{target, message, wParam, lParam, Input().cursor};
  if (PreTranslate(m)) {
    return;
  }
  if (IsLive(target)) {
    target->WindowProc(message, wParam, lParam);
  }
}

// The deepest visible, enabled window at a point of w's client area.
static Window* HitTestTree(Window* w, Point client) {
  for (Window* child : w->GetChildren()) {
    if (!child->IsCreated() || !(child->GetStyle() & kWsVisible)) {
      continue;
    }
    const Rect& r = child->GetRectInParent();
    if (!r.Contains(client)) {
      continue;
    }
    Point inner{client.x - r.left, client.y - r.top};
    if (child->GetWindowRgn() && !child->GetWindowRgn()->Contains(inner)) {
      continue;
    }
    if (!child->IsWindowEnabled()) {
      return w;
    }
    return HitTestTree(child, inner);
  }
  return w;
}

void TopLevelState::OnMouse(MouseKind kind, int button, Point /*client*/, Point screen,
                            unsigned keyFlags) {
  InputState& in = Input();
  in.cursor = screen;
  in.keyFlags = keyFlags;
  if (loop_) {
    if (kind == MouseKind::kMove) {
      LoopMotion(screen);
    } else if (kind == MouseKind::kUp) {
      loop_ = 0;
      if (window_->native_) {
        window_->native_->GrabPointer(false);
      }
    }
    return;
  }

  Window* target = in.capture;
  int hit = kHtClient;
  if (!target) {
    target = HitTestTree(window_, window_->ScreenToClient(screen));
    hit = static_cast<int>(target->SendMessage(kWmNcHitTest, 0, MakeLParam(screen.x, screen.y)));
    if (!IsLive(target)) {
      return;
    }
  }
  unsigned clientMessage = kWmMouseMove;
  switch (kind) {
    case MouseKind::kMove:
      clientMessage = kWmMouseMove;
      break;
    case MouseKind::kDown:
      clientMessage = button == 3 ? kWmRButtonDown : kWmLButtonDown;
      break;
    case MouseKind::kUp:
      clientMessage = button == 3 ? kWmRButtonUp : kWmLButtonUp;
      break;
    case MouseKind::kDoubleClick:
      clientMessage = button == 3 ? kWmRButtonDown : kWmLButtonDblClk;
      break;
  }
  if (button == 2) {
    return;  // the middle button means nothing here
  }
  if (!in.capture) {
    SetHover(target);
    if (!IsLive(target)) {
      return;
    }
    if (target->SendMessage(kWmSetCursor, 0, MakeLParam(hit, static_cast<int>(clientMessage))) ==
            0 &&
        IsLive(target)) {
      target->DefWindowProc(kWmSetCursor, 0, MakeLParam(hit, static_cast<int>(clientMessage)));
    }
    if (!IsLive(target)) {
      return;
    }
  }
  if (hit != kHtClient) {
    if (kind == MouseKind::kDown && button == 1) {
      Dispatch(target, kWmNcLButtonDown, static_cast<WParam>(hit), MakeLParam(screen.x, screen.y));
    } else if (kind == MouseKind::kDoubleClick && button == 1) {
      Dispatch(target, kWmNcLButtonDblClk, static_cast<WParam>(hit),
               MakeLParam(screen.x, screen.y));
    }
    return;
  }
  Point p = target->ScreenToClient(screen);
  Dispatch(target, clientMessage, keyFlags, MakeLParam(p.x, p.y));
}

void TopLevelState::SetHover(Window* w) {
  if (hover_ == w) {
    return;
  }
  Window* armed = leaveArmed_;
  hover_ = w;
  // A window that asked to hear of the pointer leaving hears it once.
  if (armed && armed != w && IsLive(armed)) {
    leaveArmed_ = nullptr;
    armed->SendMessage(kWmMouseLeave);
  }
}

bool TopLevelState::OnKey(bool down, unsigned virtualKey, unsigned keyFlags) {
  InputState& in = Input();
  in.keyFlags = keyFlags;
  Window* target = in.focus;
  if (!target || target->GetTopLevel() != window_) {
    target = window_;
  }
  // Keys with Alt held, Alt itself and F10 are the system's: they arrive as system keys, which
  // the windows' key rules (shortcuts, the dialog manager) do not look at.
  const bool system = (keyFlags & kMkAlt) != 0 || virtualKey == kVkMenu || virtualKey == kVkF10;
  unsigned message = system ? (down ? kWmSysKeyDown : kWmSysKeyUp) : (down ? kWmKeyDown : kWmKeyUp);
  Message m{target, message, virtualKey, 0, in.cursor};
  if (PreTranslate(m)) {
    return true;
  }
  if (message == kWmSysKeyDown && virtualKey == kVkF4 && (keyFlags & kMkAlt)) {
    // Alt+F4 is the system's close of the top-level, whoever has the keyboard (without a window
    // manager, nobody else takes it).
    if (IsLive(window_)) {
      window_->SendMessage(kWmSysCommand, kScClose, 0);
    }
    return true;
  }
  // Keys for a native child are the child's once nobody consumed them.
  if (target->nativeChild_) {
    return false;
  }
  if (IsLive(target)) {
    target->WindowProc(message, virtualKey, 0);
  }
  return true;
}

void TopLevelState::OnFocusChange(bool focused) {
  InputState& in = Input();
  if (focused) {
    if (!in.focus || in.focus->GetTopLevel() != window_) {
      Window* previous = in.focus;
      in.focus = window_;
      if (previous && IsLive(previous)) {
        previous->SendMessage(kWmKillFocus);
      }
      window_->SendMessage(kWmSetFocus);
    }
    return;
  }
  if (in.focus && in.focus->GetTopLevel() == window_) {
    Window* previous = in.focus;
    in.focus = nullptr;
    previous->SendMessage(kWmKillFocus);
  }
}

void TopLevelState::OnConfigure(const Rect& screen) {
  if (window_->IsIconic()) {
    return;
  }
  if (screen == window_->GetWindowRect()) {
    return;
  }
  window_->ApplyBounds(screen, false);
}

void TopLevelState::OnMinimizedChange(bool minimized) {
  Window* w = window_;
  // Withdrawn with its owner: what happens to it meanwhile is the owner's doing.
  if (w->hiddenWithOwner_) {
    return;
  }
  if (w->FollowsOwner()) {
    // A window manager minimised or restored an owned window alone (or with its owner, told
    // apart later): the owner, which carries the taskbar entry, does it for both.
    Window* owner = w->owner_;
    if (owner->minimized_ != minimized) {
      owner->ShowWindow(minimized ? kSwMinimize : kSwRestore);
    }
    return;
  }
  if (w->minimized_ == minimized) {
    return;
  }
  w->minimized_ = minimized;
  const Rect r = w->GetRectInParent();
  if (minimized) {
    w->SendMessage(kWmSize, kSizeMinimized, MakeLParam(0, 0));
  } else {
    w->SendMessage(kWmSize, kSizeRestored, MakeLParam(r.Width(), r.Height()));
  }
  if (IsLive(w)) {
    w->ShowOwnedWindows(!minimized);
  }
}

void TopLevelState::StartLoop(unsigned command, Point screen) {
  if (window_->native_ && window_->native_->BeginSystemLoop(command, screen)) {
    return;  // what the window system does is reported as configure events
  }
  loop_ = command;
  loopStart = screen;
  loopRect = window_->GetWindowRect();
  if (window_->native_) {
    window_->native_->GrabPointer(true);
  }
}

void TopLevelState::LoopMotion(Point screen) {
  const int dx = screen.x - loopStart.x;
  const int dy = screen.y - loopStart.y;
  if ((loop_ & 0xFFF0) == kScMove) {
    Rect r = loopRect.Offset(dx, dy);
    window_->SetWindowPos(r.left, r.top, 0, 0, kSwpNoSize | kSwpNoZOrder);
    return;
  }
  // Size loop: the edges of the direction follow the pointer; the window may change the
  // proposal before it is applied.
  unsigned direction = loop_ & 0xF;
  Rect r = loopRect;
  bool left = direction == kWmszLeft || direction == kWmszTopLeft || direction == kWmszBottomLeft;
  bool right =
      direction == kWmszRight || direction == kWmszTopRight || direction == kWmszBottomRight;
  bool top = direction == kWmszTop || direction == kWmszTopLeft || direction == kWmszTopRight;
  bool bottom =
      direction == kWmszBottom || direction == kWmszBottomLeft || direction == kWmszBottomRight;
  if (left) {
    r.left = std::min(loopRect.left + dx, loopRect.right - 1);
  }
  if (right) {
    r.right = std::max(loopRect.right + dx, loopRect.left + 1);
  }
  if (top) {
    r.top = std::min(loopRect.top + dy, loopRect.bottom - 1);
  }
  if (bottom) {
    r.bottom = std::max(loopRect.bottom + dy, loopRect.top + 1);
  }
  window_->SendMessage(kWmSizing, direction, reinterpret_cast<LParam>(&r));
  window_->SetWindowPos(r.left, r.top, r.Width(), r.Height(), kSwpNoZOrder);
}

void TopLevelState::Paint(Window* w, Canvas& canvas, const Rect& damage) {
  if (!w->IsCreated()) {
    return;
  }
  w->SendMessage(kWmEraseBkgnd, 0, reinterpret_cast<LParam>(&canvas));
  w->SendMessage(kWmPaint, 0, reinterpret_cast<LParam>(&canvas));
  // Bottom of the z-order first, so the topmost child ends up over its siblings.
  const auto children = w->GetChildren();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    Window* child = *it;
    if (!IsLive(child) || !child->IsCreated() || !(child->GetStyle() & kWsVisible)) {
      continue;
    }
    if (child->nativeChild_) {
      continue;  // draws itself
    }
    const Rect& r = child->GetRectInParent();
    Rect visible = r.Intersect(damage);
    if (visible.Empty()) {
      continue;
    }
    canvas.Save(r.TopLeft(), r);
    if (child->GetWindowRgn()) {
      canvas.ClipRegion(*child->GetWindowRgn());
    }
    Paint(child, canvas, visible.Offset(-r.left, -r.top));
    canvas.Restore();
  }
}

// -----------------------------------------------------------------------------------------------
// Window

Window::Window() { LiveWindows().push_back(this); }

Window::~Window() {
  DestroyWindow();
  auto& live = LiveWindows();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

Window* Window::GetTopLevel() {
  Window* w = this;
  while (w->IsChild() && w->parent_) {
    w = w->parent_;
  }
  return w;
}

Window* Window::GetDlgItem(int id) const {
  for (Window* child : children_) {
    if (child->controlId_ == id) {
      return child;
    }
  }
  return nullptr;
}

void Window::AddChild(Window* child) { children_.push_back(child); }

void Window::RemoveChild(Window* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

bool Window::Create(std::string_view text, unsigned style, const Rect& rect, Window* parent, int id,
                    unsigned exStyle) {
  if (created_) {
    return false;
  }
  if ((style & kWsChild) && (!parent || !parent->created_)) {
    return false;
  }
  style_ = style;
  exStyle_ = exStyle;
  text_ = std::string(text);
  controlId_ = id;
  rect_ = rect;
  visible_ = false;
  if (style & kWsChild) {
    parent_ = parent;
    parent_->AddChild(this);
  } else {
    owner_ = parent ? parent->GetTopLevel() : nullptr;
    state_ = std::make_unique<TopLevelState>(this);
    backend::NativeWindowParams params;
    params.screen = rect;
    params.titleUtf8 = launcher::GbkToUtf8(text_);
    params.taskbarButton = (exStyle & kWsExAppWindow) != 0 || !owner_;
    params.owner = owner_ ? owner_->native_.get() : nullptr;
    params.exStyle = exStyle;
    native_ = backend::CreateNativeWindow(state_.get(), params);
    if (!native_) {
      state_.reset();
      return false;
    }
  }
  id_ = RegisterTarget(this);
  created_ = true;
  style_ &= ~kWsVisible;  // shown below, once the window accepted its creation

  CreateParams params{rect, style, exStyle, id, text_, parent};
  if (WindowProc(kWmCreate, 0, reinterpret_cast<LParam>(&params)) == -1) {
    DestroyWindow();
    return false;
  }
  if (nativeChild_) {
    Window* top = GetTopLevel();
    nativeChild_->Attach(top->native_.get());
    nativeChild_->SetBounds(RectInTopLevel());
  }
  if (style & kWsVisible) {
    ShowWindow(kSwShow);
  }
  return created_;
}

void Window::DestroyWindow() {
  if (!created_) {
    return;
  }
  WindowProc(kWmDestroy, 0, 0);
  if (!created_) {
    return;  // destroyed from its own handler
  }
  created_ = false;
  // Windows this one owns go with it, then children, newest first.
  std::vector<Window*> owned;
  for (Window* w : LiveWindows()) {
    if (w != this && w->owner_ == this && w->created_) {
      owned.push_back(w);
    }
  }
  for (Window* w : owned) {
    if (IsLive(w)) {
      w->DestroyWindow();
    }
  }
  auto children = children_;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (IsLive(*it)) {
      (*it)->DestroyWindow();
    }
  }
  InputState& in = Input();
  if (in.capture == this) {
    ReleaseCapture();
  }
  if (in.focus == this) {
    in.focus = nullptr;
  }
  for (Window* w : LiveWindows()) {
    if (w->state_) {
      w->state_->Forget(this);
    }
  }
  if (nativeChild_) {
    nativeChild_->Attach(nullptr);
  }
  if (parent_) {
    parent_->RemoveChild(this);
    if (parent_->created_ && visible_) {
      parent_->InvalidateRect(rect_);
    }
    parent_ = nullptr;
  }
  for (const auto& [timerId, handle] : timers_) {
    backend::StopTimer(handle);
  }
  timers_.clear();
  UnregisterTarget(id_);
  id_ = 0;
  native_.reset();
  state_.reset();
  owner_ = nullptr;
  visible_ = false;
  style_ &= ~kWsVisible;
}

Rect Window::RectInTopLevel() const {
  if (!IsChild() || !parent_) {
    return GetClientRect();
  }
  Rect r = rect_;
  for (const Window* p = parent_; p && p->IsChild() && p->parent_; p = p->parent_) {
    r = r.Offset(p->rect_.left, p->rect_.top);
  }
  return r;
}

Rect Window::GetWindowRect() const {
  if (!IsChild()) {
    return rect_;
  }
  Point origin = parent_ ? parent_->ClientToScreen({rect_.left, rect_.top}) : rect_.TopLeft();
  return Rect::FromSize(origin.x, origin.y, rect_.Width(), rect_.Height());
}

Point Window::ClientToScreen(Point p) const {
  Rect r = GetWindowRect();
  return {p.x + r.left, p.y + r.top};
}

Point Window::ScreenToClient(Point p) const {
  Rect r = GetWindowRect();
  return {p.x - r.left, p.y - r.top};
}

void Window::SyncNativeChildren() {
  if (nativeChild_) {
    nativeChild_->SetBounds(RectInTopLevel());
    nativeChild_->SetVisible(IsWindowVisible());
  }
  for (Window* child : children_) {
    child->SyncNativeChildren();
  }
}

void Window::ApplyBounds(const Rect& rect, bool repaint) {
  const Rect old = rect_;
  if (old == rect) {
    return;
  }
  if (IsChild() && parent_ && visible_ && repaint) {
    parent_->InvalidateRect(old);
  }
  rect_ = rect;
  if (native_ && !minimized_) {
    native_->SetBounds(rect);
  }
  SyncNativeChildren();
  if (IsChild() && visible_ && repaint) {
    Invalidate();
  }
  if (!IsChild() && native_ && repaint) {
    native_->Invalidate(GetClientRect());
  }
  if (old.Width() != rect.Width() || old.Height() != rect.Height()) {
    SendMessage(kWmSize, kSizeRestored, MakeLParam(rect.Width(), rect.Height()));
  }
  if (created_ && (old.left != rect.left || old.top != rect.top)) {
    SendMessage(kWmMove, 0, MakeLParam(rect.left, rect.top));
  }
}

bool Window::MoveWindow(const Rect& rect, bool repaint) {
  if (!created_) {
    return false;
  }
  ApplyBounds(rect, repaint);
  return true;
}

bool Window::SetWindowPos(int x, int y, int width, int height, unsigned flags) {
  if (!created_) {
    return false;
  }
  Rect r = rect_;
  if (!(flags & kSwpNoMove)) {
    r = Rect::FromSize(x, y, r.Width(), r.Height());
  }
  if (!(flags & kSwpNoSize)) {
    r = Rect::FromSize(r.left, r.top, std::max(width, 0), std::max(height, 0));
  }
  ApplyBounds(r, !(flags & kSwpNoRedraw));
  return true;
}

bool Window::GetWindowPlacement(Placement* placement) const {
  if (!created_) {
    return false;
  }
  placement->flags = 0;
  placement->showCmd = minimized_ ? kSwShowMinimized : kSwShowNormal;
  placement->normal = GetWindowRect();
  return true;
}

bool Window::SetWindowPlacement(const Placement& placement) {
  if (!created_) {
    return false;
  }
  Rect r = placement.normal;
  if (IsChild() && parent_) {
    Point origin = parent_->ScreenToClient(r.TopLeft());
    r = Rect::FromSize(origin.x, origin.y, r.Width(), r.Height());
  }
  if (minimized_ && placement.showCmd != kSwShowMinimized && placement.showCmd != kSwMinimize) {
    ShowWindow(kSwRestore);
  }
  ApplyBounds(r, true);
  if (placement.showCmd != kSwHide) {
    ShowWindow(placement.showCmd);
  }
  return true;
}

bool Window::FollowsOwner() const {
  return !IsChild() && owner_ && IsLive(owner_) && owner_->created_ &&
         (exStyle_ & kWsExAppWindow) == 0;
}

void Window::ShowOwnedWindows(bool show) {
  // Like the platform's owned windows: hidden while their owner is minimised, back with it.
  std::vector<Window*> owned;
  for (Window* w : LiveWindows()) {
    if (w->owner_ == this && w->created_ && w->native_ && w->FollowsOwner()) {
      owned.push_back(w);
    }
  }
  for (Window* w : owned) {
    if (!IsLive(w)) {
      continue;
    }
    if (!show && w->visible_ && !w->hiddenWithOwner_) {
      w->hiddenWithOwner_ = true;
      w->native_->Show(kSwHide);
    } else if (show && w->hiddenWithOwner_) {
      w->hiddenWithOwner_ = false;
      if (w->visible_) {
        w->native_->Show(kSwShowNoActivate);
      }
    }
  }
}

bool Window::ShowWindow(int showCmd) {
  if (!created_) {
    return false;
  }
  const bool wasVisible = visible_;
  if ((showCmd == kSwMinimize || showCmd == kSwShowMinimized) && FollowsOwner()) {
    // An owned window has no taskbar entry to come back from: it is minimised with its owner.
    owner_->ShowWindow(showCmd);
    return wasVisible;
  }
  hiddenWithOwner_ = false;
  // A minimised window stays visible: only hiding clears the flag.
  visible_ = showCmd != kSwHide;
  if (visible_) {
    style_ |= kWsVisible;
  } else {
    style_ &= ~kWsVisible;
  }
  if (native_) {
    native_->Show(showCmd);
    // Backends without a window manager cannot minimise; the state follows the request.
  } else if (wasVisible != visible_ && parent_) {
    parent_->InvalidateRect(rect_);
  }
  SyncNativeChildren();
  if (!visible_) {
    InputState& in = Input();
    if (in.capture && (in.capture == this || !in.capture->IsWindowVisible())) {
      ReleaseCapture();
    }
  }
  return wasVisible;
}

bool Window::IsWindowVisible() const {
  for (const Window* w = this; w; w = w->IsChild() ? w->parent_ : nullptr) {
    if (!w->created_ || !w->visible_) {
      return false;
    }
  }
  return true;
}

void Window::EnableWindow(bool enable) {
  if (enable) {
    style_ &= ~kWsDisabled;
  } else {
    style_ |= kWsDisabled;
  }
  Invalidate();
}

void Window::ModifyStyle(unsigned remove, unsigned add) { style_ = (style_ & ~remove) | add; }

void Window::ModifyStyleEx(unsigned remove, unsigned add) {
  unsigned old = exStyle_;
  exStyle_ = (exStyle_ & ~remove) | add;
  if (native_ && ((old ^ exStyle_) & kWsExAppWindow)) {
    native_->SetTaskbarButton((exStyle_ & kWsExAppWindow) != 0);
  }
}

void Window::SetFullScreenState(bool fullScreen) {
  if (IsChild() || fullScreenState_ == fullScreen) {
    return;
  }
  fullScreenState_ = fullScreen;
  if (native_) {
    native_->SetFullScreen(fullScreen);
  }
}

void Window::SetWindowText(std::string_view text) {
  text_ = std::string(text);
  if (native_) {
    native_->SetTitle(launcher::GbkToUtf8(text_));
  }
  if (IsChild()) {
    Invalidate();
  }
}

void Window::Invalidate(bool erase) { InvalidateRect(GetClientRect(), erase); }

void Window::InvalidateRect(const Rect& client, bool /*erase*/) {
  if (!created_) {
    return;
  }
  Window* top = GetTopLevel();
  if (!top->native_) {
    return;
  }
  const Rect placed = RectInTopLevel();
  Rect inTop = client.Offset(placed.left, placed.top);
  if (IsChild()) {
    inTop = inTop.Intersect(placed);
  }
  if (!inTop.Empty()) {
    top->native_->Invalidate(inTop);
  }
}

void Window::UpdateWindow() {
  Window* top = GetTopLevel();
  if (top->native_) {
    top->native_->Update();
  }
}

void Window::SetWindowRgn(std::optional<Region> region, bool redraw) {
  region_ = std::move(region);
  if (native_) {
    native_->SetShape(region_ ? &*region_ : nullptr);
  }
  if (redraw) {
    Invalidate();
  }
}

bool Window::UpdateLayered(const launcher::Bitmap& picture) {
  if (!native_ || !(exStyle_ & kWsExLayered) || picture.Empty()) {
    return false;
  }
  native_->SetLayeredContent(picture);
  return true;
}

void Window::SetLayeredColorKey(ColorRef key) {
  if (native_) {
    native_->SetColorKey(key);
  }
}

void Window::SetCapture() {
  InputState& in = Input();
  if (in.capture == this) {
    return;
  }
  Window* previous = in.capture;
  in.capture = this;
  if (previous && IsLive(previous)) {
    previous->SendMessage(kWmCaptureChanged);
  }
  Window* top = GetTopLevel();
  if (top->native_) {
    top->native_->GrabPointer(true);
  }
}

void Window::ReleaseCapture() {
  InputState& in = Input();
  Window* previous = in.capture;
  if (!previous) {
    return;
  }
  in.capture = nullptr;
  if (IsLive(previous)) {
    Window* top = previous->GetTopLevel();
    if (top->native_ && !(top->state_ && top->state_->InLoop())) {
      top->native_->GrabPointer(false);
    }
    previous->SendMessage(kWmCaptureChanged);
  }
}

Window* Window::GetCapture() { return Input().capture; }

void Window::SetFocus() {
  InputState& in = Input();
  if (in.focus == this || !created_) {
    return;
  }
  Window* previous = in.focus;
  in.focus = this;
  if (previous && IsLive(previous)) {
    previous->SendMessage(kWmKillFocus);
  }
  Window* top = GetTopLevel();
  if (top->native_) {
    top->native_->Focus();
  }
  if (nativeChild_) {
    nativeChild_->Focus();
  }
  SendMessage(kWmSetFocus);
}

Window* Window::GetFocus() { return Input().focus; }

bool Window::TrackMouseLeave(bool cancel) {
  Window* top = GetTopLevel();
  if (!top->state_) {
    return false;
  }
  if (cancel) {
    return top->state_->CancelLeave(this);
  }
  top->state_->ArmLeave(this);
  return true;
}

Window* Window::WindowFromPoint(Point screen) {
  // The top-level the pointer is over is the one that reported it last; search all, newest
  // first, for one containing the point.
  const auto& live = LiveWindows();
  for (auto it = live.rbegin(); it != live.rend(); ++it) {
    Window* w = *it;
    if (w->IsChild() || !w->created_ || !w->visible_ || w->minimized_) {
      continue;
    }
    Rect r = w->rect_;
    if (!r.Contains(screen)) {
      continue;
    }
    return HitTestTree(w, {screen.x - r.left, screen.y - r.top});
  }
  return nullptr;
}

void Window::SetTimer(unsigned timerId, unsigned milliseconds) {
  if (!created_) {
    return;
  }
  KillTimer(timerId);
  WindowId self = id_;
  timers_[timerId] = backend::StartTimer(milliseconds, [self, timerId] {
    // Through the registry: the window may be gone by the time the timer fires.
    ui::PostMessage(self, kWmTimer, timerId, 0);
  });
}

void Window::KillTimer(unsigned timerId) {
  auto it = timers_.find(timerId);
  if (it == timers_.end()) {
    return;
  }
  backend::StopTimer(it->second);
  timers_.erase(it);
}

LResult Window::SendMessage(unsigned message, WParam wParam, LParam lParam) {
  if (!created_ && message != kWmCreate) {
    return 0;
  }
  return WindowProc(message, wParam, lParam);
}

bool Window::PostMessage(unsigned message, WParam wParam, LParam lParam) {
  return created_ && ui::PostMessage(id_, message, wParam, lParam);
}

void Window::OnPostedMessage(unsigned message, WParam wParam, LParam lParam) {
  if (created_) {
    WindowProc(message, wParam, lParam);
  }
}

LResult Window::WindowProc(unsigned message, WParam wParam, LParam lParam) {
  return DefWindowProc(message, wParam, lParam);
}

bool Window::PreTranslateMessage(Message& /*message*/) { return false; }

namespace {

Cursor CursorForHit(int hit) {
  switch (hit) {
    case kHtTop:
    case kHtBottom:
      return Cursor::kSizeNS;
    case kHtLeft:
    case kHtRight:
      return Cursor::kSizeWE;
    case kHtTopLeft:
    case kHtBottomRight:
      return Cursor::kSizeNWSE;
    case kHtTopRight:
    case kHtBottomLeft:
      return Cursor::kSizeNESW;
    default:
      return Cursor::kArrow;
  }
}

}  // namespace

LResult Window::DefWindowProc(unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case kWmNcHitTest:
      return kHtClient;
    case kWmSetCursor: {
      // The parent has the first say, then the hit code's cursor.
      if (IsChild() && parent_ && parent_->SendMessage(kWmSetCursor, wParam, lParam)) {
        return 1;
      }
      SetCursor(CursorForHit(LowWord(static_cast<std::uintptr_t>(lParam))));
      return 0;
    }
    case kWmNcLButtonDown: {
      int hit = static_cast<int>(wParam);
      if (hit == kHtCaption) {
        SendMessage(kWmSysCommand, kScMove | 2, lParam);
      } else if (hit >= kHtLeft && hit <= kHtBottomRight) {
        SendMessage(kWmSysCommand, kScSize | static_cast<unsigned>(hit - kHtLeft + 1), lParam);
      }
      return 0;
    }
    case kWmSysCommand: {
      unsigned command = static_cast<unsigned>(wParam) & 0xFFF0;
      Window* top = GetTopLevel();
      if ((command == kScMove || command == kScSize) && top->state_) {
        top->state_->StartLoop(
            static_cast<unsigned>(wParam),
            lParam ? Point{XFromLParam(lParam), YFromLParam(lParam)} : Input().cursor);
      } else if (command == kScMinimize) {
        ShowWindow(kSwMinimize);
      } else if (command == kScRestore) {
        ShowWindow(kSwRestore);
      } else if (command == kScClose) {
        SendMessage(kWmClose);
      }
      return 0;
    }
    case kWmClose:
      DestroyWindow();
      return 0;
    case kWmEraseBkgnd:
    default:
      return 0;
  }
}

// -----------------------------------------------------------------------------------------------
// Services shared by the backends

Point GetCursorPos() { return Input().cursor; }

bool IsKeyDown(unsigned virtualKey) {
  const unsigned flags = Input().keyFlags;
  if (virtualKey == kVkShift) {
    return (flags & kMkShift) != 0;
  }
  if (virtualKey == kVkControl) {
    return (flags & kMkControl) != 0;
  }
  if (virtualKey == kVkMenu) {
    return (flags & kMkAlt) != 0;
  }
  return false;
}

Rect AdjustWindowRect(const Rect& client, unsigned style) {
  // The frame metrics of a classic captioned, modal-framed window.
  constexpr int kFrame = 3;
  constexpr int kCaption = 23;
  if ((style & kWsCaption) != kWsCaption) {
    return client;
  }
  return {client.left - kFrame, client.top - kFrame - kCaption, client.right + kFrame,
          client.bottom + kFrame};
}

ColorRef GetSysColor(SysColor color) {
  switch (color) {
    case SysColor::kBtnFace:
      return Rgb(240, 240, 240);
    case SysColor::kBtnText:
      return Rgb(0, 0, 0);
    case SysColor::kBtnHighlight:
      return Rgb(255, 255, 255);
    case SysColor::kGrayText:
      return Rgb(109, 109, 109);
    case SysColor::kWindow:
      return Rgb(255, 255, 255);
  }
  return 0;
}

std::string ShellAddress(std::string_view target) {
  if (launcher::StartsWithNoCase(target, "www.")) {
    return "http://" + std::string(target);
  }
  return std::string(target);
}

}  // namespace ui

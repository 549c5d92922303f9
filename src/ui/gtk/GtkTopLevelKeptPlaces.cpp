// What the GTK backend's top-levels do under a window manager that keeps every window where it put
// it (weston's; see GtkWindowManager.h): hosted windows (see GtkTopLevel.h), where a hosted
// window's content sits in its host and which of the windows sharing one native window keys and
// focus changes are for; move and size loops, drags and the maximised state left to the window
// manager; moves it does not tell of. UI thread only.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "ui/Messages.h"
#include "ui/Window.h"
#include "ui/gtk/GtkTopLevel.h"
#include "ui/gtk/GtkWindowManager.h"

namespace ui::gtk {

GtkTopLevel* GtkTopLevel::HostFor(GtkTopLevel* owner, unsigned exStyle) {
  if (!owner || (exStyle & kWsExToolWindow) || !WindowManagerKeepsPlaces()) {
    return nullptr;
  }
  return owner->host_ ? owner->host_ : owner;
}

void GtkTopLevel::PlaceInHost() {
  // The host's rectangle is the one last asked for or, once the window manager decided, the one
  // it chose; the framework keeps the two windows' rectangles in step.
  const int x = std::max(requested_.left - host_->requested_.left, 0);
  const int y = std::max(requested_.top - host_->requested_.top, 0);
  gtk_widget_set_margin_start(content_, x);
  gtk_widget_set_margin_top(content_, y);
  gtk_widget_set_size_request(content_, requested_.Width(), requested_.Height());
}

void GtkTopLevel::OnSetFocus(GtkWindow*, GtkWidget*, gpointer data) {
  // The toolkit's focus moved inside the window, maybe into or out of a hosted window.
  auto* self = static_cast<GtkTopLevel*>(data);
  self->SetKeyTarget(self->KeyTarget());
}

GtkTopLevel* GtkTopLevel::KeyTarget() {
  // The hosted window holding the toolkit's focus; with the focus in none of them, the one
  // clicked last; else the host.
  GtkWidget* focus = gtk_window_get_focus(Window());
  for (GtkTopLevel* other : All()) {
    if (other->host_ == this && focus && gtk_widget_is_ancestor(focus, other->content_)) {
      return other;
    }
  }
  return !focus && clickedTarget_ ? clickedTarget_ : this;
}

void GtkTopLevel::SetKeyTarget(GtkTopLevel* target) {
  // The framework hears which window has the keyboard as it would from a window manager: the
  // one that loses it first. Either call may destroy windows; their destructors forget them.
  if (!focused_) {
    target = nullptr;
  }
  if (target == keyTarget_) {
    return;
  }
  GtkTopLevel* before = keyTarget_;
  keyTarget_ = target;
  std::shared_ptr<bool> alive = alive_;
  if (before) {
    before->events_->OnFocusChange(false);
  }
  if (*alive && target && keyTarget_ == target) {
    target->events_->OnFocusChange(true);
  }
}

bool GtkTopLevel::BeginSystemLoop(unsigned command, Point screen) {
  if (!WindowManagerKeepsPlaces()) {
    return false;
  }
  GtkWindow* window = Window();
  const guint32 time = gtk_get_current_event_time();
  if ((command & 0xFFF0) == kScMove) {
    gtk_window_begin_move_drag(window, 1, screen.x, screen.y, time);
    return true;
  }
  static constexpr std::array<GdkWindowEdge, 8> kEdges = {
      GDK_WINDOW_EDGE_WEST,       GDK_WINDOW_EDGE_EAST,       GDK_WINDOW_EDGE_NORTH,
      GDK_WINDOW_EDGE_NORTH_WEST, GDK_WINDOW_EDGE_NORTH_EAST, GDK_WINDOW_EDGE_SOUTH,
      GDK_WINDOW_EDGE_SOUTH_WEST, GDK_WINDOW_EDGE_SOUTH_EAST};
  const unsigned direction = command & 0xF;  // kWmszLeft (1) to kWmszBottomRight (8)
  if ((command & 0xFFF0) != kScSize || direction < 1 || direction > kEdges.size()) {
    return false;
  }
  gtk_window_begin_resize_drag(window, kEdges[direction - 1], 1, screen.x, screen.y, time);
  return true;
}

bool GtkTopLevel::MaximizedByWindowManager(const Rect& r) {
  // Such a window manager puts a window over the work area only as its maximised state; the
  // rectangle it then gives (its own idea of the work area) is reported as any other, and the
  // framework following it leaves the state alone.
  const bool following = wmMaximized_ && actual_ && r == *actual_;
  if (following) {
    boundsPending_ = false;
    return true;
  }
  if (r == GetWorkArea() && !fullScreen_) {
    if (!wmMaximized_) {
      wmMaximized_ = true;
      gtk_window_maximize(Window());
    }
    boundsPending_ = true;
    lastRequestUs_ = g_get_monotonic_time();
    return true;
  }
  if (wmMaximized_) {
    wmMaximized_ = false;
    gtk_window_unmaximize(Window());
  }
  return false;
}

bool GtkTopLevel::DraggedByWindowManager(const Rect& r) {
  // A move made while the player drags in the window (the left button held in a motion of its
  // own) is handed to such a window manager as its own move, from where the pointer is. The
  // pointer is then the window manager's until the button goes up; what it did is reported as
  // configure events, or the place it kept once the request has settled.
  EventPtr current(gtk_get_current_event());
  if (!current || current->type != GDK_MOTION_NOTIFY ||
      !(current->motion.state & GDK_BUTTON1_MASK) || !actual_ || r.Width() != actual_->Width() ||
      r.Height() != actual_->Height()) {
    return false;
  }
  GtkWidget* source = gtk_get_event_widget(current.get());
  if (!source || gtk_widget_get_toplevel(source) != window_.Get()) {
    return false;
  }
  gtk_window_begin_move_drag(Window(), 1, static_cast<int>(current->motion.x_root),
                             static_cast<int>(current->motion.y_root), current->motion.time);
  boundsPending_ = true;
  lastRequestUs_ = g_get_monotonic_time();
  if (!settleSource_) {
    settleSource_ = g_timeout_add(kSettleMs, OnSettleTimeout, this);
  }
  return true;
}

void GtkTopLevel::FollowUntoldMove(double x, double y, double xRoot, double yRoot) {
  // Weston's window manager moves a window's frame (placing it, or in its own move loop)
  // without telling the window where it went. A pointer event tells: its point on the screen
  // less its point in the window is where the window is. Heard before the event itself, so that
  // the framework places the event right.
  GtkTopLevel* top = host_ ? host_ : this;
  int dx = 0;
  int dy = 0;
  if (!top->actual_ || !gtk_widget_translate_coordinates(area_, top->content_, 0, 0, &dx, &dy)) {
    return;
  }
  const Point origin{static_cast<int>(std::lround(xRoot - x)) - dx,
                     static_cast<int>(std::lround(yRoot - y)) - dy};
  if (origin == top->actual_->TopLeft()) {
    return;
  }
  top->actual_ = Rect::FromSize(origin.x, origin.y, top->actual_->Width(), top->actual_->Height());
  top->boundsPending_ = false;
  top->SettleBounds(false);  // may destroy windows
}

}  // namespace ui::gtk

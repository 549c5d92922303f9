// Hosted windows of the GTK backend's top-levels (see GtkTopLevel.h): where a hosted window's
// content sits in its host, and which of the windows sharing one native window keys and focus
// changes are for. UI thread only.
#include <algorithm>
#include <memory>

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

}  // namespace ui::gtk

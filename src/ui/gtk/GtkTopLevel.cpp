#include "ui/gtk/GtkTopLevel.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "ui/Messages.h"
#include "ui/gtk/CairoCanvas.h"
#include "ui/gtk/GtkInput.h"
#include "ui/gtk/GtkShape.h"
#include "ui/gtk/GtkWindowManager.h"
#include "ui/gtk/PixelOps.h"

namespace ui::gtk {
namespace {

using MouseKind = backend::TopLevelEvents::MouseKind;

// Without a compositor a layered picture can only be shaped: pixels at least this opaque are
// drawn, blended over kNeutral; fainter ones (soft shadows) are left out rather than shown as a
// dark fringe. The pointer then passes where the picture is left out too (X clips a window's
// input shape by its visible shape); with a compositor it stops at every pixel with any alpha.
constexpr std::uint8_t kVisibleAlpha = 128;
constexpr double kNeutral = 48 / 255.0;

// How often a pending request is repeated before the rectangle the window system reports is
// taken as the window's place (a window manager that constrains or ignores the request).
constexpr int kRepeatedRequests = 8;

GtkTopLevel* g_lastInput = nullptr;

GdkCursor* CursorFor(Cursor cursor) {
  static std::array<ObjectPtr<GdkCursor>, 7> cache;
  static constexpr std::array<const char*, 7> kNames = {
      "default", "pointer", "ns-resize", "ew-resize", "nwse-resize", "nesw-resize", "move"};
  const auto i = static_cast<std::size_t>(cursor);
  if (i >= cache.size()) {
    return nullptr;
  }
  if (!cache[i]) {
    GdkDisplay* display = gdk_display_get_default();
    GdkCursor* c = gdk_cursor_new_from_name(display, kNames[i]);
    if (!c) {
      c = gdk_cursor_new_for_display(display, GDK_LEFT_PTR);
    }
    cache[i].reset(c);
  }
  return cache[i].get();
}

// The intersection of the shapes that apply; null when none restricts the window.
RegionPtr Intersect(std::initializer_list<const std::vector<Rect>*> shapes) {
  RegionPtr result;
  for (const std::vector<Rect>* shape : shapes) {
    if (!shape) {
      continue;
    }
    RegionPtr next = RegionFromRects(*shape);
    if (!result) {
      result = std::move(next);
    } else {
      cairo_region_intersect(result.get(), next.get());
    }
  }
  return result;
}

// The desktop's double-click time and distance.
void DoubleClickLimits(GtkWidget* widget, guint* time, int* distance) {
  gint t = 400;
  gint d = 5;
  g_object_get(gtk_widget_get_settings(widget), "gtk-double-click-time", &t,
               "gtk-double-click-distance", &d, nullptr);
  *time = static_cast<guint>(std::max(t, 0));
  *distance = d;
}

ClickSequence& Clicks() {
  static ClickSequence clicks;
  return clicks;
}

constexpr guint kButtonMasks = GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK;

// A picture of the window's own pixels (layered content, a keyed window's offscreen image) as
// the source of a paint. On a HiDPI desktop the window's context counts device pixels, several
// to each of ours; each of ours becomes a block of whole device pixels, never a blend of
// neighbours, so that the key colour and the shapes (scaled the same way) stay exact.
void SetPictureSource(cairo_t* cr, cairo_surface_t* picture) {
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
}

}  // namespace

GtkTopLevel::GtkTopLevel(backend::TopLevelEvents* events, const backend::NativeWindowParams& params)
    : events_(events),
      owner_(static_cast<GtkTopLevel*>(params.owner)),
      exStyle_(params.exStyle),
      host_(HostFor(owner_, exStyle_)),
      window_(host_ ? nullptr : gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      content_(gtk_overlay_new()),
      hostedContent_(host_ ? content_ : nullptr) {
  // The drawing area asks for nothing, so the window can be made as small as the framework
  // wants; the overlay will hold native children over it.
  area_ = gtk_drawing_area_new();
  gtk_widget_set_size_request(area_, 1, 1);
  gtk_widget_add_events(area_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                   GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
  gtk_container_add(GTK_CONTAINER(content_), area_);
  gtk_widget_show(area_);

  g_signal_connect(area_, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(area_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(area_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(area_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(area_, "leave-notify-event", G_CALLBACK(OnLeave), this);
  // Shapes go on just before the window reaches the screen: realizing (by whoever) makes GTK
  // reset the input shape.
  g_signal_connect(Root(), "map", G_CALLBACK(OnMap), this);
  // Native children (web views) may have moved or changed their size or visibility.
  g_signal_connect_after(Root(), "size-allocate", G_CALLBACK(OnSizeAllocate), this);

  if (host_) {
    // Over the host's own content (and whatever it hosts already); input passes through to what
    // lies below wherever the drawing area's input shape leaves it out. Shown by Show.
    gtk_widget_set_halign(content_, GTK_ALIGN_START);
    gtk_widget_set_valign(content_, GTK_ALIGN_START);
    gtk_overlay_add_overlay(host_->Content(), content_);
    gtk_overlay_set_overlay_pass_through(host_->Content(), content_, TRUE);
    SetBounds(params.screen);
    All().push_back(this);
    return;
  }

  GtkWindow* w = Window();
  gtk_window_set_decorated(w, FALSE);
  gtk_window_set_gravity(w, GDK_GRAVITY_NORTH_WEST);
  gtk_widget_set_app_paintable(window_.Get(), TRUE);
  gtk_window_set_title(w, params.titleUtf8.c_str());
  SetTaskbarButton(params.taskbarButton && !(exStyle_ & kWsExToolWindow));
  if (exStyle_ & kWsExToolWindow) {
    gtk_window_set_type_hint(
        w, (exStyle_ & kWsExTopmost) ? GDK_WINDOW_TYPE_HINT_TOOLTIP : GDK_WINDOW_TYPE_HINT_UTILITY);
    gtk_window_set_accept_focus(w, FALSE);
  }
  if (exStyle_ & kWsExTopmost) {
    gtk_window_set_keep_above(w, TRUE);
  }
  if (owner_) {
    gtk_window_set_transient_for(w, owner_->Window());
  }
  gtk_container_add(GTK_CONTAINER(window_.Get()), content_);
  gtk_widget_show(content_);

  // Handlers on the window itself run before GTK hands a key to the focused widget.
  g_signal_connect(window_.Get(), "key-press-event", G_CALLBACK(OnKey), this);
  g_signal_connect(window_.Get(), "key-release-event", G_CALLBACK(OnKey), this);
  g_signal_connect(window_.Get(), "focus-in-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(window_.Get(), "focus-out-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(window_.Get(), "configure-event", G_CALLBACK(OnConfigureEvent), this);
  g_signal_connect(window_.Get(), "window-state-event", G_CALLBACK(OnWindowState), this);
  g_signal_connect(window_.Get(), "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect_after(window_.Get(), "set-focus", G_CALLBACK(OnSetFocus), this);
  g_signal_connect(gtk_widget_get_screen(window_.Get()), "composited-changed",
                   G_CALLBACK(OnCompositedChanged), this);

  SetBounds(params.screen);
  All().push_back(this);
}

GtkTopLevel::~GtkTopLevel() {
  *alive_ = false;
  auto& all = All();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  for (GtkTopLevel* other : all) {
    if (other->owner_ == this) {
      other->owner_ = nullptr;
    }
  }
  if (host_) {
    // The host no longer sends keys or focus changes here.
    if (host_->clickedTarget_ == this) {
      host_->clickedTarget_ = nullptr;
    }
    if (host_->keyTarget_ == this) {
      host_->keyTarget_ = nullptr;
    }
  }
  if (g_lastInput == this) {
    g_lastInput = nullptr;
  }
  if (settleSource_) {
    g_source_remove(settleSource_);
  }
  GrabPointer(false);
  g_signal_handlers_disconnect_by_data(gtk_widget_get_screen(content_), this);
  g_signal_handlers_disconnect_by_data(area_, this);
  g_signal_handlers_disconnect_by_data(content_, this);
  if (window_.Get()) {
    g_signal_handlers_disconnect_by_data(window_.Get(), this);
  }
  window_.Reset();
  hostedContent_.Reset();  // leaves the host's window
}

GtkTopLevel* GtkTopLevel::LastInput() { return g_lastInput; }

std::vector<GtkTopLevel*>& GtkTopLevel::All() {
  static std::vector<GtkTopLevel*> all;
  return all;
}

GtkWindow* GtkTopLevel::Window() const {
  return host_ ? host_->Window() : GTK_WINDOW(window_.Get());
}

bool GtkTopLevel::Composited() const {
  return gdk_screen_is_composited(gtk_widget_get_screen(content_)) != FALSE;
}

bool GtkTopLevel::LayeredTranslucent() const {
  GdkScreen* screen = gtk_widget_get_screen(content_);
  GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
  return Composited() && rgba && gtk_widget_get_visual(GTK_WIDGET(Window())) == rgba;
}

Size GtkTopLevel::ClientSize() const {
  if (gtk_widget_get_realized(area_)) {
    return {gtk_widget_get_allocated_width(area_), gtk_widget_get_allocated_height(area_)};
  }
  return {requested_.Width(), requested_.Height()};
}

// ---------------------------------------------------------------------------------------------
// Geometry and state

void GtkTopLevel::SetBounds(const Rect& screen) {
  // A window cannot be empty; the framework's 0 x 0 (a minimised companion) becomes 1 x 1.
  Rect r = Rect::FromSize(screen.left, screen.top, std::max(screen.Width(), 1),
                          std::max(screen.Height(), 1));
  requested_ = r;
  if (host_) {
    PlaceInHost();
    return;
  }
  if (WindowManagerKeepsPlaces() && (MaximizedByWindowManager(r) || DraggedByWindowManager(r))) {
    return;
  }
  boundsPending_ = true;
  repeatedRequests_ = 0;
  lastRequestUs_ = g_get_monotonic_time();
  gtk_window_move(Window(), r.left, r.top);
  gtk_window_resize(Window(), r.Width(), r.Height());
}

void GtkTopLevel::SettleBounds(bool timedOut) {
  if (!actual_ || !gtk_widget_get_mapped(Root())) {
    return;
  }
  if (*actual_ == requested_) {
    boundsPending_ = false;
    return;
  }
  if (boundsPending_ && !timedOut) {
    if (!settleSource_) {
      settleSource_ = g_timeout_add(kSettleMs, OnSettleTimeout, this);
    }
    return;
  }
  // Not the rectangle asked for while our request is pending: a busy window manager may not have
  // answered it yet (what it reported may even predate the request), which is no refusal. The
  // request is repeated for a while before the reported rectangle is believed; a window manager
  // that keeps windows where it put them is believed at once.
  if (boundsPending_ && repeatedRequests_ < kRepeatedRequests && !WindowManagerKeepsPlaces()) {
    ++repeatedRequests_;
    gtk_window_move(Window(), requested_.left, requested_.top);
    gtk_window_resize(Window(), requested_.Width(), requested_.Height());
    if (!settleSource_) {
      settleSource_ = g_timeout_add(kSettleMs, OnSettleTimeout, this);
    }
    return;
  }
  boundsPending_ = false;
  requested_ = *actual_;
  events_->OnConfigure(*actual_);
}

gboolean GtkTopLevel::OnSettleTimeout(gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  self->settleSource_ = 0;
  // Requests still coming (a move loop): wait for the window system to catch up.
  const gint64 quietUs = g_get_monotonic_time() - self->lastRequestUs_;
  if (quietUs < static_cast<gint64>(kSettleMs) * 1000) {
    self->settleSource_ = g_timeout_add(kSettleMs, OnSettleTimeout, self);
  } else {
    self->SettleBounds(true);
  }
  return G_SOURCE_REMOVE;
}

void GtkTopLevel::Show(int showCmd) {
  GtkWidget* w = Root();
  if (showCmd == kSwHide) {
    GrabPointer(false);
    gtk_widget_hide(w);
    return;
  }
  const bool minimize = showCmd == kSwMinimize || showCmd == kSwShowMinimized;
  const bool activate = !minimize && showCmd != kSwShowNoActivate && !(exStyle_ & kWsExToolWindow);
  if (host_) {
    // Minimised with its host, by the framework.
    if (minimize) {
      return;
    }
    if (!gtk_widget_get_visible(w)) {
      if (keyed_ && !offscreenPainted_ && !PrepareKeyedFrame()) {
        return;
      }
      gtk_widget_show(w);
    }
    if (activate) {
      Focus();
    }
    return;
  }
  if (!gtk_widget_get_visible(w)) {
    ChooseVisual();
    gtk_widget_realize(w);
    if (keyed_ && !offscreenPainted_) {
      if (!PrepareKeyedFrame()) {
        return;
      }
    }
    gtk_window_set_focus_on_map(Window(), activate);
    gtk_window_move(Window(), requested_.left, requested_.top);
    gtk_window_resize(Window(), requested_.Width(), requested_.Height());
    // GTK maps a window it was once asked to iconify iconified again, even after the window
    // manager restored it since.
    if (!minimize) {
      gtk_window_deiconify(Window());
    }
    gtk_widget_show(w);
  }
  if (minimize) {
    gtk_window_iconify(Window());  // needs a window manager; without one nothing happens
    return;
  }
  if (minimized_) {
    gtk_window_deiconify(Window());
  }
  if (activate) {
    gtk_window_present(Window());
  }
  RaiseOwned();
}

void GtkTopLevel::RaiseOwned() {
  // A window manager keeps transient windows above their owner; without one we do. Hosted ones
  // are inside.
  for (GtkTopLevel* other : All()) {
    if (other->owner_ != this || other->host_ || !gtk_widget_get_visible(other->Root())) {
      continue;
    }
    if (GdkWindow* gw = gtk_widget_get_window(other->window_.Get())) {
      gdk_window_raise(gw);
    }
    other->RaiseOwned();
  }
}

void GtkTopLevel::SetTitle(const std::string& utf8) {
  if (host_) {
    return;  // the host's title names the window
  }
  gtk_window_set_title(Window(), utf8.c_str());
}

void GtkTopLevel::SetTaskbarButton(bool shown) {
  if (host_) {
    return;
  }
  gtk_window_set_skip_taskbar_hint(Window(), !shown);
  gtk_window_set_skip_pager_hint(Window(), !shown);
}

void GtkTopLevel::Focus() {
  if (!gtk_widget_get_visible(Root())) {
    return;
  }
  if (host_) {
    // The host's keyboard, taken from wherever the toolkit's focus is in it.
    if (GtkWidget* focus = gtk_window_get_focus(Window());
        focus && !gtk_widget_is_ancestor(focus, content_)) {
      gtk_window_set_focus(Window(), nullptr);
    }
    host_->clickedTarget_ = this;
    host_->SetKeyTarget(host_->KeyTarget());
    host_->Focus();
    return;
  }
  gtk_window_present(Window());
  RaiseOwned();
}

void GtkTopLevel::SetFullScreen(bool fullScreen) {
  if (host_) {
    return;
  }
  fullScreen_ = fullScreen;
  if (fullScreen && wmMaximized_) {
    // The full screen's rectangle, asked for just before, covers the work area of a window
    // manager that keeps places; it is no maximised state to come back to.
    wmMaximized_ = false;
    gtk_window_unmaximize(Window());
  }
  // On a hidden window this becomes the state it is mapped in. Without a window manager nothing
  // more happens; the bounds asked for cover the screen already.
  if (fullScreen) {
    gtk_window_fullscreen(Window());
  } else {
    gtk_window_unfullscreen(Window());
  }
}

void GtkTopLevel::SetCursor(Cursor cursor) {
  cursor_ = cursor;
  GdkCursor* c = CursorFor(cursor);
  GdkWindow* own = host_ ? nullptr : gtk_widget_get_window(window_.Get());
  if (own) {
    gdk_window_set_cursor(own, c);
  }
  if (GdkWindow* gw = gtk_widget_get_window(area_)) {
    gdk_window_set_cursor(gw, c);
  }
}

void GtkTopLevel::GrabPointer(bool grab) {
  GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(content_));
  if (!grab) {
    if (grabbed_) {
      gdk_seat_ungrab(seat);
    }
    grabbed_ = false;
    return;
  }
  if (grabbed_) {
    return;
  }
  GdkWindow* gw = gtk_widget_get_window(area_);
  if (!gw || !gdk_window_is_viewable(gw)) {
    return;
  }
  // Events keep coming to the drawing area wherever the pointer goes. A failed grab still
  // leaves the implicit one of a held button, which is what move loops start from.
  grabbed_ = gdk_seat_grab(seat, gw, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr,
                           nullptr, nullptr) == GDK_GRAB_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Painting and shapes

void GtkTopLevel::Invalidate(const Rect& client) {
  if (client.Empty()) {
    return;
  }
  gtk_widget_queue_draw_area(area_, client.left, client.top, client.Width(), client.Height());
}

void GtkTopLevel::Update() {
  GdkWindow* gw = gtk_widget_get_window(host_ ? area_ : window_.Get());
  if (!gw || !gtk_widget_get_mapped(Root())) {
    return;
  }
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_process_updates(gw, TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
}

void GtkTopLevel::SetShape(const Region* region) {
  if (region) {
    frameworkShape_ = region->rects;
  } else {
    frameworkShape_.reset();
  }
  ApplyShapes();
}

void GtkTopLevel::SetLayeredContent(const Bitmap& picture) {
  const bool first = !layered_;
  if (!PremultiplyInto(picture, &layered_)) {
    return;  // the window keeps what it showed
  }
  AlphaShape shape = AlphaRects(picture, kVisibleAlpha);
  if (first) {
    ChooseVisual();
  }
  // A new picture usually only changes what is drawn; the server hears of shapes that changed.
  if (first || shape.shown != layeredShape_.shown || shape.opaque != layeredShape_.opaque) {
    layeredShape_ = std::move(shape);
    ApplyShapes();
  }
  Invalidate({0, 0, picture.width, picture.height});
  if (picture.width != requested_.Width() || picture.height != requested_.Height()) {
    // The window takes the picture's size, and the framework hears of it as of any resize.
    const Rect r = Rect::FromSize(requested_.left, requested_.top, picture.width, picture.height);
    SetBounds(r);
    events_->OnConfigure(r);
  }
}

void GtkTopLevel::SetColorKey(ColorRef key) {
  keyRgb_ = (static_cast<std::uint32_t>(RedOf(key)) << 16) |
            (static_cast<std::uint32_t>(GreenOf(key)) << 8) | BlueOf(key);
  keyed_ = true;
  offscreenPainted_ = false;
  keyMask_.clear();
  keyRects_.reset();
  if (gtk_widget_get_visible(Root())) {
    gtk_widget_queue_draw(area_);
  }
}

void GtkTopLevel::ChooseVisual() {
  if (host_) {
    return;  // the host's
  }
  GtkWidget* w = window_.Get();
  GdkScreen* screen = gtk_widget_get_screen(w);
  GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
  const bool wantRgba = layered_ && rgba && Composited();
  if (!wantRgba || gtk_widget_get_visual(w) == rgba) {
    return;
  }
  if (!gtk_widget_get_realized(w)) {
    gtk_widget_set_visual(w, rgba);
    return;
  }
  // A window's visual is fixed once it exists on the server: make it again (the compositor
  // started after the window was first shown).
  const bool visible = gtk_widget_get_visible(w);
  GrabPointer(false);
  gtk_widget_hide(w);
  gtk_widget_unrealize(w);
  gtk_widget_set_visual(w, rgba);
  if (!visible) {
    return;
  }
  gtk_widget_realize(w);
  gtk_window_move(Window(), requested_.left, requested_.top);
  gtk_widget_show(w);
  RaiseOwned();
}

void GtkTopLevel::ApplyShapes() {
  GdkWindow* gw = gtk_widget_get_window(host_ ? area_ : window_.Get());
  if (!gw && !host_) {
    return;  // applied when mapped
  }
  const std::vector<Rect>* framework = frameworkShape_ ? &*frameworkShape_ : nullptr;
  // Native children draw themselves over the key colour the framework painted under them.
  std::optional<std::vector<Rect>> keyAndChildren;
  if (keyRects_) {
    keyAndChildren = *keyRects_;
    keyAndChildren->insert(keyAndChildren->end(), childRects_.begin(), childRects_.end());
  }
  const std::vector<Rect>* key = keyAndChildren ? &*keyAndChildren : nullptr;
  const bool translucent = layered_ && LayeredTranslucent();
  // Without a compositor the pointer can only stop where something is drawn.
  const std::vector<Rect>* layeredInput = nullptr;
  if (layered_) {
    layeredInput = translucent ? &layeredShape_.shown : &layeredShape_.opaque;
  }
  RegionPtr input = Intersect({framework, layeredInput, key});
  RegionPtr visible =
      Intersect({framework, layered_ && !translucent ? &layeredShape_.opaque : nullptr, key});
  if (host_) {
    // Inside the host's window the toolkit does the shaping: the drawing area paints only where
    // it is shown and takes input only there; the host's own content is seen and clicked
    // elsewhere.
    const bool same =
        (!visible && !paintClip_) ||
        (visible && paintClip_ && cairo_region_equal(visible.get(), paintClip_.get()));
    if (gw) {
      gdk_window_input_shape_combine_region(gw, input.get(), 0, 0);
    }
    if (!same) {
      paintClip_ = std::move(visible);
      gtk_widget_queue_draw(area_);
    }
    return;
  }
  SetWindowShape(gw, ShapeKind::kVisible, visible.get());
  SetWindowShape(gw, ShapeKind::kInput, input.get());
}

void GtkTopLevel::PaintLayered(cairo_t* cr) {
  cairo_save(cr);
  if (LayeredTranslucent()) {
    // The picture replaces what is there, transparent pixels included.
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetPictureSource(cr, layered_.get());
    cairo_paint(cr);
  } else {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, kNeutral, kNeutral, kNeutral);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    SetPictureSource(cr, layered_.get());
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

bool GtkTopLevel::PrepareKeyedFrame() {
  const Size size{requested_.Width(), requested_.Height()};
  offscreen_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy));
  std::shared_ptr<bool> alive = alive_;
  {
    SurfacePtr target(cairo_surface_reference(offscreen_.get()));
    CairoPtr cr(cairo_create(target.get()));
    CairoCanvas canvas(cr.get());
    events_->OnExpose(canvas, {0, 0, size.cx, size.cy});
  }
  if (!*alive) {
    return false;
  }
  offscreenPainted_ = true;
  UpdateKeyShape({0, 0, size.cx, size.cy});
  return true;
}

bool GtkTopLevel::PaintKeyed(cairo_t* cr, const Rect& damage) {
  const Size size = ClientSize();
  Rect area = damage;
  if (!offscreen_ || cairo_image_surface_get_width(offscreen_.get()) != size.cx ||
      cairo_image_surface_get_height(offscreen_.get()) != size.cy) {
    offscreen_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy));
    offscreenPainted_ = false;
  }
  if (!offscreenPainted_) {
    area = {0, 0, size.cx, size.cy};  // nothing to keep
  }
  std::shared_ptr<bool> alive = alive_;
  {
    // The context keeps the surface alive even if the window goes away while it paints.
    CairoPtr offscreenCr(cairo_create(offscreen_.get()));
    cairo_rectangle(offscreenCr.get(), area.left, area.top, area.Width(), area.Height());
    cairo_clip(offscreenCr.get());
    CairoCanvas canvas(offscreenCr.get());
    events_->OnExpose(canvas, area);
  }
  if (!*alive) {
    return false;
  }
  offscreenPainted_ = true;
  UpdateKeyShape(area);
  cairo_save(cr);
  if (paintClip_) {
    gdk_cairo_region(cr, paintClip_.get());
    cairo_clip(cr);
  }
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  SetPictureSource(cr, offscreen_.get());
  cairo_paint(cr);
  cairo_restore(cr);
  return true;
}

void GtkTopLevel::UpdateKeyShape(const Rect& painted) {
  const bool changed = UpdateNonKeyMask(offscreen_.get(), keyRgb_, painted, &keyMask_);
  if (keyRects_ && !changed) {
    return;  // same shape: nothing to tell the server
  }
  keyRects_ = MaskRects(keyMask_, cairo_image_surface_get_width(offscreen_.get()),
                        cairo_image_surface_get_height(offscreen_.get()));
  ApplyShapes();
}

gboolean GtkTopLevel::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  if (self->layered_) {
    self->PaintLayered(cr);
    return TRUE;
  }
  GdkRectangle clip;
  if (!gdk_cairo_get_clip_rectangle(cr, &clip)) {
    return TRUE;
  }
  const Rect damage = Rect::FromSize(clip.x, clip.y, clip.width, clip.height);
  if (self->keyed_) {
    self->PaintKeyed(cr, damage);
    return TRUE;
  }
  CairoCanvas canvas(cr);
  self->events_->OnExpose(canvas, damage);
  return TRUE;
}

void GtkTopLevel::OnMap(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  self->ApplyShapes();
  self->SetCursor(self->cursor_);
}

std::vector<Rect> GtkTopLevel::NativeChildRects() const {
  // Widgets stacked over the drawing area hold the native children (directly, or inside a
  // container that covers the whole window); each visible one is a rectangle of the window.
  std::vector<Rect> rects;
  auto add = [this, &rects](GtkWidget* widget) {
    if (!gtk_widget_get_visible(widget) || !gtk_widget_get_child_visible(widget)) {
      return;
    }
    int x = 0;
    int y = 0;
    if (!gtk_widget_translate_coordinates(widget, content_, 0, 0, &x, &y)) {
      return;
    }
    const Rect r = Rect::FromSize(x, y, gtk_widget_get_allocated_width(widget),
                                  gtk_widget_get_allocated_height(widget));
    if (!r.Empty()) {
      rects.push_back(r);
    }
  };
  GList* layers = gtk_container_get_children(GTK_CONTAINER(content_));
  for (GList* l = layers; l; l = l->next) {
    auto* layer = static_cast<GtkWidget*>(l->data);
    if (layer == area_ || !gtk_widget_get_visible(layer)) {
      continue;
    }
    if (!GTK_IS_FIXED(layer)) {
      add(layer);
      continue;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(layer));
    for (GList* c = children; c; c = c->next) {
      add(static_cast<GtkWidget*>(c->data));
    }
    g_list_free(children);
  }
  g_list_free(layers);
  return rects;
}

void GtkTopLevel::OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  if (!self->keyed_) {
    return;
  }
  std::vector<Rect> rects = self->NativeChildRects();
  if (rects == self->childRects_) {
    return;
  }
  self->childRects_ = std::move(rects);
  self->ApplyShapes();
}

void GtkTopLevel::OnCompositedChanged(GdkScreen*, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  if (!self->layered_) {
    return;
  }
  self->ChooseVisual();
  self->ApplyShapes();
  gtk_widget_queue_draw(self->area_);
}

// ---------------------------------------------------------------------------------------------
// Input

void GtkTopLevel::DeliverMouse(MouseKind kind, int button, double x, double y, double xRoot,
                               double yRoot, unsigned flags) {
  g_lastInput = this;
  if (WindowManagerKeepsPlaces()) {
    std::shared_ptr<bool> alive = alive_;
    FollowUntoldMove(x, y, xRoot, yRoot);
    if (!*alive) {
      return;
    }
  }
  const Point client{static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
  const Point screen{static_cast<int>(std::floor(xRoot)), static_cast<int>(std::floor(yRoot))};
  events_->OnMouse(kind, button, client, screen, flags);  // may destroy this
}

gboolean GtkTopLevel::OnButtonPress(GtkWidget* widget, GdkEventButton* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  // GDK's own double and triple presses follow plain ones; we count clicks ourselves.
  if (e->type != GDK_BUTTON_PRESS) {
    return TRUE;
  }
  // A click in a window that shares its native window with others gives it the keyboard, as a
  // window manager would give it to a window of its own: away from a hosted window's widget,
  // for a click on the host itself.
  GtkTopLevel* host = self->host_ ? self->host_ : self;
  host->clickedTarget_ = self->host_ ? self : nullptr;
  if (GtkTopLevel* holder = host->KeyTarget(); holder != host && holder != self) {
    gtk_window_set_focus(host->Window(), nullptr);
  }
  host->SetKeyTarget(host->KeyTarget());
  guint maxTime = 0;
  int maxDistance = 0;
  DoubleClickLimits(widget, &maxTime, &maxDistance);
  const bool isDouble = Clicks().IsDoubleClick({self, e->button, e->time, e->x_root, e->y_root},
                                               maxTime, maxDistance);
  self->DeliverMouse(isDouble ? MouseKind::kDoubleClick : MouseKind::kDown,
                     static_cast<int>(e->button), e->x, e->y, e->x_root, e->y_root,
                     FlagsAfterButton(e->state, e->button, true));
  return TRUE;
}

gboolean GtkTopLevel::OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  self->DeliverMouse(MouseKind::kUp, static_cast<int>(e->button), e->x, e->y, e->x_root, e->y_root,
                     FlagsAfterButton(e->state, e->button, false));
  return TRUE;
}

gboolean GtkTopLevel::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  self->DeliverMouse(MouseKind::kMove, 0, e->x, e->y, e->x_root, e->y_root,
                     KeyFlagsFromState(e->state));
  return TRUE;
}

gboolean GtkTopLevel::OnLeave(GtkWidget*, GdkEventCrossing* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  if (e->detail == GDK_NOTIFY_INFERIOR) {
    return FALSE;  // onto a native child: still ours
  }
  if (e->mode == GDK_CROSSING_GRAB || e->mode == GDK_CROSSING_GTK_GRAB ||
      e->mode == GDK_CROSSING_STATE_CHANGED) {
    return FALSE;  // someone took the pointer; it has not moved
  }
  // While a press or a capture holds the pointer it stays ours; when that ends outside, the
  // server tells of the leave again (an ungrab crossing), and that one counts.
  if (self->grabbed_ || (e->state & kButtonMasks)) {
    return FALSE;
  }
  self->events_->OnPointerLeave();
  return FALSE;
}

gboolean GtkTopLevel::OnKey(GtkWidget*, GdkEventKey* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  const unsigned vk = VirtualKeyFromKeyval(e->keyval);
  if (vk == 0) {
    return FALSE;
  }
  const bool down = e->type == GDK_KEY_PRESS;
  // Keys for a hosted window are its own, as its own native window would have them.
  GtkTopLevel* target = self->KeyTarget();
  return target->events_->OnKey(down, vk, FlagsAfterKey(e->state, e->keyval, down)) ? TRUE : FALSE;
}

gboolean GtkTopLevel::OnFocus(GtkWidget*, GdkEventFocus* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  self->focused_ = e->in != 0;
  self->SetKeyTarget(self->KeyTarget());
  return FALSE;
}

gboolean GtkTopLevel::OnConfigureEvent(GtkWidget*, GdkEventConfigure* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  self->actual_ = Rect::FromSize(e->x, e->y, e->width, e->height);
  self->SettleBounds(false);
  return FALSE;
}

gboolean GtkTopLevel::OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer data) {
  auto* self = static_cast<GtkTopLevel*>(data);
  if (!(e->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) {
    return FALSE;
  }
  const bool minimized = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
  if (minimized == self->minimized_) {
    return FALSE;
  }
  self->minimized_ = minimized;
  self->events_->OnMinimizedChange(minimized);
  return FALSE;
}

gboolean GtkTopLevel::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  // The framework decides whether the window closes.
  static_cast<GtkTopLevel*>(data)->events_->OnCloseRequest();
  return TRUE;
}

}  // namespace ui::gtk

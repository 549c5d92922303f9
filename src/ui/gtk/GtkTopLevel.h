// A framework top-level as a GTK window: an undecorated GtkWindow whose whole client area is a
// drawing area the framework paints (its children included), at exactly the rectangle asked.
// Reports what the user and the window manager did through TopLevelEvents. UI thread only.
//
// Hosted windows: under a window manager that keeps every window where it put it (weston's), an
// owned window that is not a tool window has no native window of its own: its content lives
// inside its owner's window, over the owner's own, so that the two are one window for the window
// manager (one place, one keyboard focus, moved as one). It cannot reach beyond its owner's
// rectangle; keys go to whichever of the two holds the toolkit's focus or was clicked last.
//
// Lifetime: owned by the framework's Window. Any call into TopLevelEvents may destroy this
// object (a click that closes the window); handlers therefore touch nothing of it afterwards
// unless an alive token says it still exists.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ui/backend/Backend.h"
#include "ui/gtk/GtkHandles.h"
#include "ui/gtk/PixelOps.h"

namespace ui::gtk {

class GtkTopLevel final : public backend::NativeWindow {
 public:
  GtkTopLevel(backend::TopLevelEvents* events, const backend::NativeWindowParams& params);
  ~GtkTopLevel() override;
  GtkTopLevel(const GtkTopLevel&) = delete;
  GtkTopLevel& operator=(const GtkTopLevel&) = delete;

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
  bool BeginSystemLoop(unsigned command, Point screen) override;

  // The native window: its own, or for a hosted window its host's.
  GtkWindow* Window() const;
  // Where the drawing area and the layers over it (native children) are stacked.
  GtkOverlay* Content() const { return GTK_OVERLAY(content_); }
  // The top-level that last reported pointer input (the desktop's cursor belongs to it), or
  // null.
  static GtkTopLevel* LastInput();
  // How the last layered content was put on screen: with per-pixel translucency through a
  // compositor, or shaped by its alpha.
  bool LayeredTranslucent() const;

 private:
  // Signal handlers; data is the GtkTopLevel.
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer self);
  static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self);
  static gboolean OnLeave(GtkWidget*, GdkEventCrossing* e, gpointer self);
  static gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer self);
  static gboolean OnFocus(GtkWidget*, GdkEventFocus* e, gpointer self);
  static gboolean OnConfigureEvent(GtkWidget*, GdkEventConfigure* e, gpointer self);
  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer self);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static void OnMap(GtkWidget*, gpointer self);
  static void OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self);
  static void OnCompositedChanged(GdkScreen*, gpointer self);
  static gboolean OnSettleTimeout(gpointer self);
  static void OnSetFocus(GtkWindow*, GtkWidget* focus, gpointer self);

  // Every top-level alive, in the order made.
  static std::vector<GtkTopLevel*>& All();
  // The widget that is this window on the screen: the native window, or the hosted content.
  GtkWidget* Root() const { return host_ ? content_ : window_.Get(); }
  // Hosting (see above). The host a new window of this owner and style lives in, if any.
  static GtkTopLevel* HostFor(GtkTopLevel* owner, unsigned exStyle);
  void PlaceInHost();
  // Host: which of it and its hosted windows keys and focus changes are for.
  GtkTopLevel* KeyTarget();
  void SetKeyTarget(GtkTopLevel* target);

  void PaintLayered(cairo_t* cr);
  bool PaintKeyed(cairo_t* cr, const Rect& damage);  // false when this window went away
  // Paints the whole window offscreen and shapes it before it is first shown, so that the
  // key colour never appears on screen.
  bool PrepareKeyedFrame();  // false when this window went away
  // Follows what a paint changed in the offscreen image (area) into the shape.
  void UpdateKeyShape(const Rect& painted);
  void ApplyShapes();
  // Chooses the visual a layered window needs now; may re-realize a hidden window.
  void ChooseVisual();
  void RaiseOwned();
  // Where native children cover the window (client coordinates).
  std::vector<Rect> NativeChildRects() const;
  // Compares the window manager's idea of our rectangle with the one asked for; reports a
  // difference once no request of ours is still on its way (or waiting has timed out).
  void SettleBounds(bool timedOut);
  // Under a window manager that keeps places: true when the rectangle asked for is the window
  // manager's maximised state (asked for now, or the one it gave), which SetBounds then leaves
  // to it.
  bool MaximizedByWindowManager(const Rect& r);
  // Under a window manager that keeps places: true when a move asked for while the player
  // drags in the window was handed to the window manager as its own move.
  bool DraggedByWindowManager(const Rect& r);
  // Under a window manager that keeps places: a move of the window nobody told it of, found in
  // a pointer event at (x, y) in the drawing area and (xRoot, yRoot) on the screen, is reported
  // as the window manager's.
  void FollowUntoldMove(double x, double y, double xRoot, double yRoot);
  void DeliverMouse(backend::TopLevelEvents::MouseKind kind, int button, double x, double y,
                    double xRoot, double yRoot, unsigned flags);
  Size ClientSize() const;
  bool Composited() const;

  // How long the window system may take to carry out a move or resize of ours before a
  // different rectangle it reports counts as its own decision.
  static constexpr guint kSettleMs = 250;

  backend::TopLevelEvents* events_;
  GtkTopLevel* owner_;
  unsigned exStyle_;
  // A hosted window goes before its host (the framework destroys owned windows first).
  GtkTopLevel* host_;
  WidgetOwner window_;  // empty when hosted
  GtkWidget* content_;  // owned by window_, or by hostedContent_ when hosted
  WidgetOwner hostedContent_;
  GtkWidget* area_ = nullptr;  // owned by content_
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  // Geometry: what we asked for last, what the window system reported last.
  Rect requested_;
  std::optional<Rect> actual_;
  bool boundsPending_ = false;
  // How often the pending request was repeated because the window system's answer differed.
  int repeatedRequests_ = 0;
  gint64 lastRequestUs_ = 0;
  guint settleSource_ = 0;
  bool minimized_ = false;
  bool fullScreen_ = false;   // announced to the window manager
  bool wmMaximized_ = false;  // maximised by a window manager that keeps places

  // Shapes from the three sources; each absent when it does not apply.
  std::optional<std::vector<Rect>> frameworkShape_;
  SurfacePtr layered_;       // premultiplied picture
  AlphaShape layeredShape_;  // shown: any alpha; opaque: drawn when there is no compositor
  bool keyed_ = false;
  std::uint32_t keyRgb_ = 0;
  SurfacePtr offscreen_;  // keyed windows paint here first
  bool offscreenPainted_ = false;
  std::vector<std::uint8_t> keyMask_;
  std::optional<std::vector<Rect>> keyRects_;  // absent until the first paint
  std::vector<Rect> childRects_;               // native children, opaque whatever is under them

  // Input.
  bool grabbed_ = false;
  Cursor cursor_ = Cursor::kArrow;
  // Host: the window manager gave it the keyboard; the hosted window clicked last (null: the
  // host itself), when the toolkit's focus is in none of them.
  bool focused_ = false;
  GtkTopLevel* clickedTarget_ = nullptr;
  GtkTopLevel* keyTarget_ = nullptr;  // the one told it has the keyboard
  // Hosted: where it paints; outside, its host shows through. Absent: everywhere.
  RegionPtr paintClip_;
};

}  // namespace ui::gtk

// A framework top-level as a GTK window: an undecorated GtkWindow whose whole client area is a
// drawing area the framework paints (its children included), at exactly the rectangle asked.
// Reports what the user and the window manager did through TopLevelEvents. UI thread only.
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

#include "ui/detail/Native.h"
#include "ui/gtk/GtkHandles.h"
#include "ui/gtk/PixelOps.h"

namespace ui::gtk {

class GtkTopLevel final : public detail::NativeWindow {
 public:
  GtkTopLevel(detail::TopLevelEvents* events, const detail::NativeWindowParams& params);
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

  GtkWindow* Window() const { return GTK_WINDOW(window_.Get()); }
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
  void DeliverMouse(detail::TopLevelEvents::MouseKind kind, int button, double x, double y,
                    double xRoot, double yRoot, unsigned flags);
  Size ClientSize() const;
  bool Composited() const;

  detail::TopLevelEvents* events_;
  GtkTopLevel* owner_;
  unsigned exStyle_;
  WidgetOwner window_;
  GtkWidget* area_ = nullptr;  // owned by window_
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
};

}  // namespace ui::gtk

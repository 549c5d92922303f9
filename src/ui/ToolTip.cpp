#include "ui/ToolTip.h"

#include "ui/Canvas.h"

namespace ui {

namespace {
constexpr unsigned kShowTimer = 1;
constexpr unsigned kWatchTimer = 2;
constexpr unsigned kWatchIntervalMs = 200;
constexpr int kPadding = 4;
constexpr ColorRef kBackground = Rgb(255, 255, 225);
constexpr ColorRef kBorder = Rgb(118, 118, 118);
}  // namespace

// The tip's own window: a borderless top-level above everything, with the text.
class ToolTip::Popup : public Window {
 public:
  explicit Popup(ToolTip* owner) : owner_(owner) {}

  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
    switch (message) {
      case kWmPaint: {
        auto* canvas = reinterpret_cast<Canvas*>(lParam);
        if (!canvas) {
          return 0;
        }
        Rect r = GetClientRect();
        canvas->FillRect(r, kBorder);
        canvas->FillRect(r.Inflate(-1, -1), kBackground);
        canvas->DrawText(owner_->text_, r, kDtCenter | kDtVCenter | kDtSingleLine, 0,
                         FontKind::kMenu);
        return 0;
      }
      case kWmTimer:
        if (wParam == kShowTimer) {
          KillTimer(kShowTimer);
          owner_->Show();
        } else if (wParam == kWatchTimer) {
          // Hide once the pointer has left the tool.
          Window* under = WindowFromPoint(GetCursorPos());
          if (under != owner_->tool_) {
            owner_->Hide();
          }
        }
        return 0;
      case kWmNcHitTest:
        return kHtClient;
      default:
        return Window::WindowProc(message, wParam, lParam);
    }
  }

 private:
  ToolTip* owner_;
};

ToolTip::ToolTip() = default;
ToolTip::~ToolTip() = default;

bool ToolTip::Create(Window* owner) {
  if (created_) {
    return true;
  }
  auto popup = std::make_unique<Popup>(this);
  if (!popup->Create("", kWsPopup, Rect::FromSize(0, 0, 1, 1), owner, 0,
                     kWsExToolWindow | kWsExTopmost)) {
    return false;
  }
  popup_ = std::move(popup);
  created_ = true;
  return true;
}

bool ToolTip::IsCreated() const { return created_; }

bool ToolTip::AddTool(Window* tool, std::string_view text) {
  if (!created_ || !tool) {
    return false;
  }
  tool_ = tool;
  text_ = std::string(text);
  return true;
}

void ToolTip::UpdateTipText(std::string_view text) {
  text_ = std::string(text);
  if (IsShown()) {
    Show();
  }
}

void ToolTip::Activate(bool active) {
  active_ = active;
  if (!active) {
    Hide();
  }
}

bool ToolTip::IsShown() const { return popup_ && popup_->IsWindowVisible(); }

void ToolTip::RelayEvent(const Message& message) {
  if (!created_ || !active_ || !tool_ || message.window != tool_) {
    return;
  }
  switch (message.message) {
    case kWmMouseMove:
      if (!IsShown()) {
        popup_->SetTimer(kShowTimer, kInitialDelayMs);
      }
      break;
    case kWmLButtonDown:
    case kWmRButtonDown:
    case kWmLButtonDblClk:
      Hide();
      break;
    default:
      break;
  }
}

void ToolTip::Show() {
  if (!popup_ || text_.empty()) {
    return;
  }
  Size text = MeasureText(text_, FontKind::kMenu);
  Point at = GetCursorPos();
  popup_->MoveWindow(
      Rect::FromSize(at.x + 12, at.y + 20, text.cx + 2 * kPadding, text.cy + 2 * kPadding), true);
  popup_->ShowWindow(kSwShowNoActivate);
  popup_->SetTimer(kWatchTimer, kWatchIntervalMs);
}

void ToolTip::Hide() {
  if (!popup_) {
    return;
  }
  popup_->KillTimer(kShowTimer);
  popup_->KillTimer(kWatchTimer);
  if (popup_->IsWindowVisible()) {
    popup_->ShowWindow(kSwHide);
  }
}

}  // namespace ui

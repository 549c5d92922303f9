#include "ui/Button.h"

namespace ui {

void Button::SetState(bool pushed) {
  unsigned old = state_;
  if (pushed) {
    state_ |= kBstPushed;
  } else {
    state_ &= ~kBstPushed;
  }
  if (old != state_) {
    Invalidate();
  }
}

void Button::Click() {
  if (GetParent()) {
    GetParent()->SendMessage(kWmCommand, MakeWParam(GetDlgCtrlID(), kBnClicked),
                             reinterpret_cast<LParam>(this));
  }
}

void Button::DrawItem(Canvas& canvas, const DrawItemInfo& item) {
  canvas.FillRect(item.rect, GetSysColor(SysColor::kBtnFace));
  canvas.DrawEdge(item.rect,
                  (item.itemState & kOdsSelected) ? EdgeKind::kSunken : EdgeKind::kRaised);
  canvas.DrawText(GetWindowText(), item.rect, kDtCenter | kDtVCenter | kDtSingleLine,
                  GetSysColor(SysColor::kBtnText), FontKind::kMenu);
}

LResult Button::WindowProc(unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case kWmCreate:
      PreSubclassWindow();
      return 0;
    case kWmLButtonDown:
    case kWmLButtonDblClk:
      SetCapture();
      SetFocus();
      SetState(true);
      return 0;
    case kWmMouseMove:
      if (GetCapture() == this) {
        Point p{XFromLParam(lParam), YFromLParam(lParam)};
        SetState(GetClientRect().Contains(p));
      }
      return 0;
    case kWmLButtonUp: {
      if (GetCapture() != this) {
        return 0;
      }
      // A release counts only over the button, whether or not a move came before it.
      Point p{XFromLParam(lParam), YFromLParam(lParam)};
      bool clicked = (state_ & kBstPushed) != 0 && WindowFromPoint(ClientToScreen(p)) == this;
      SetState(false);
      ReleaseCapture();
      if (clicked) {
        Click();
      }
      return 0;
    }
    case kWmKeyDown:
      if (wParam == kVkSpace) {
        SetState(true);
      }
      return 0;
    case kWmKeyUp:
      if (wParam == kVkSpace && (state_ & kBstPushed)) {
        SetState(false);
        Click();
      }
      return 0;
    case kWmSetFocus:
      state_ |= kBstFocus;
      Invalidate();
      return 0;
    case kWmKillFocus:
      state_ &= ~kBstFocus;
      if (GetCapture() == this) {
        ReleaseCapture();
      }
      SetState(false);
      return 0;
    case kWmCaptureChanged:
      if (GetCapture() != this) {
        SetState(false);
      }
      return 0;
    case kBmGetState:
      return state_;
    case kBmSetState:
      SetState(wParam != 0);
      return 0;
    case kWmPaint: {
      auto* canvas = reinterpret_cast<Canvas*>(lParam);
      if (!canvas) {
        return 0;
      }
      DrawItemInfo item{GetClientRect(), 0};
      if (state_ & kBstPushed) {
        item.itemState |= kOdsSelected;
      }
      if (GetFocus() == this) {
        item.itemState |= kOdsFocus;
      }
      if (!IsWindowEnabled()) {
        item.itemState |= kOdsDisabled;
      }
      DrawItem(*canvas, item);
      return 0;
    }
    default:
      return Window::WindowProc(message, wParam, lParam);
  }
}

LResult StaticPicture::WindowProc(unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case kStmSetImage: {
      const auto* picture = reinterpret_cast<const Bitmap*>(lParam);
      picture_ = picture ? *picture : Bitmap{};
      // A picture control takes its picture's size.
      if (!picture_.Empty()) {
        SetWindowPos(0, 0, picture_.width, picture_.height, kSwpNoMove | kSwpNoZOrder);
      }
      Invalidate();
      return 0;
    }
    case kWmPaint: {
      auto* canvas = reinterpret_cast<Canvas*>(lParam);
      if (canvas && !picture_.Empty()) {
        Rect all = Rect::FromSize(0, 0, picture_.width, picture_.height);
        canvas->DrawBitmap(picture_, all, all);
      }
      return 0;
    }
    default:
      return Window::WindowProc(message, wParam, lParam);
  }
}

}  // namespace ui

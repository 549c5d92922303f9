#include "ui/Dialog.h"

#include "ui/Canvas.h"
#include "ui/backend/Backend.h"

namespace ui {

Dialog::Dialog(DialogTemplate dialogTemplate, Window* parent)
    : template_(std::move(dialogTemplate)), templateParent_(parent) {}

bool Dialog::CreateFromTemplate(Window* parent) {
  // First place: centred on the work area; dialogs usually move themselves while they start.
  Rect work = GetWorkArea();
  Rect rect = Rect::FromSize(work.left + (work.Width() - template_.size.cx) / 2,
                             work.top + (work.Height() - template_.size.cy) / 2, template_.size.cx,
                             template_.size.cy);
  ended_ = false;
  // Like the platform's dialog manager: shown only after kWmInitDialog.
  if (!Create(template_.caption, template_.style & ~kWsVisible, rect, parent, 0,
              template_.exStyle)) {
    return false;
  }
  SendMessage(kWmInitDialog);
  // A modal dialog shows whatever its template says; a modeless one only when visible.
  if (IsCreated() && (modal_ || (template_.style & kWsVisible)) && !ended_) {
    ShowWindow(kSwShow);
  }
  return IsCreated();
}

int Dialog::DoModal() {
  modal_ = true;
  result_ = -1;
  if (!CreateFromTemplate(templateParent_)) {
    modal_ = false;
    return -1;
  }
  if (!ended_) {
    backend::RunModalLoop(*this);
  }
  modal_ = false;
  DestroyWindow();
  return result_;
}

bool Dialog::CreateModeless(Window* parent) { return CreateFromTemplate(parent); }

void Dialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (modal_) {
    backend::WakeModalLoop();
  } else {
    DestroyWindow();
  }
}

bool Dialog::OnCommand(WParam wParam, LParam /*lParam*/) {
  switch (LowWord(wParam)) {
    case kIdOkCommand:
      OnOK();
      return true;
    case kIdCancelCommand:
      OnCancel();
      return true;
    default:
      return false;
  }
}

LResult Dialog::WindowProc(unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case kWmInitDialog:
      return OnInitDialog() ? 1 : 0;
    case kWmCommand:
      return OnCommand(wParam, lParam) ? 1 : 0;
    case kWmClose:
      // A dialog closes as if cancelled.
      OnCancel();
      return 0;
    case kWmEraseBkgnd: {
      // The dialog's background brush: its own answer, else the button face.
      auto* canvas = reinterpret_cast<Canvas*>(lParam);
      if (!canvas) {
        return 0;
      }
      const auto* brush = reinterpret_cast<const Brush*>(SendMessage(kWmCtlColorDlg));
      canvas->FillRect(GetClientRect(), brush ? brush->color : GetSysColor(SysColor::kBtnFace));
      return 1;
    }
    default:
      return Window::WindowProc(message, wParam, lParam);
  }
}

bool Dialog::PreTranslateMessage(Message& message) {
  if (message.message != kWmKeyDown) {
    return false;
  }
  // Only keys meant for this dialog or its own controls.
  Window* top = message.window ? message.window->GetTopLevel() : nullptr;
  if (top != this) {
    return false;
  }
  if (message.wParam == kVkReturn) {
    SendMessage(kWmCommand, MakeWParam(kIdOkCommand, kBnClicked), 0);
    return true;
  }
  if (message.wParam == kVkEscape) {
    SendMessage(kWmCommand, MakeWParam(kIdCancelCommand, kBnClicked), 0);
    return true;
  }
  return false;
}

}  // namespace ui

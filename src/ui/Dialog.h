// Dialogs: top-level windows run modally one after another, or modelessly beside their owner.
#pragma once

#include <string>

#include "ui/Window.h"

namespace ui {

// What a dialog is made from: its first size, styles and caption.
struct DialogTemplate {
  Size size{400, 300};
  unsigned style = kWsPopup | kWsVisible;
  unsigned exStyle = 0;
  std::string caption;  // GBK
};

// A solid brush, as a dialog's background answer to kWmCtlColorDlg.
struct Brush {
  ColorRef color = 0;
};

class Dialog : public Window {
 public:
  explicit Dialog(DialogTemplate dialogTemplate, Window* parent = nullptr);

  // Creates the window (kWmCreate, then kWmInitDialog), shows it when its style is visible,
  // and runs until EndDialog; then destroys the window. Returns the EndDialog result, or -1
  // when the window was refused.
  int DoModal();
  // Creates the dialog beside its owner and returns at once.
  bool CreateModeless(Window* parent);
  void EndDialog(int result);
  bool IsEnded() const { return ended_; }
  int GetResult() const { return result_; }
  const DialogTemplate& GetTemplate() const { return template_; }

  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(kIdOkCommand); }
  virtual void OnCancel() { EndDialog(kIdCancelCommand); }
  // kWmCommand; true when handled. The default runs OnOK / OnCancel for their identifiers.
  virtual bool OnCommand(WParam wParam, LParam lParam);

  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override;
  // The dialog manager: Enter is OK, Escape is Cancel.
  bool PreTranslateMessage(Message& message) override;

 private:
  bool CreateFromTemplate(Window* parent);

  DialogTemplate template_;
  Window* templateParent_;
  bool ended_ = false;
  bool modal_ = false;
  int result_ = 0;
};

}  // namespace ui

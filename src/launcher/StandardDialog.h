// The companion of the layered dialog: hosts the controls; its own background is painted in a
// colour key that the platform shows as nothing and lets the pointer through.
#pragma once

#include "ui/Dialog.h"

namespace launcher {

class CTranslucentDialog;

class CStandardDialog : public ui::Dialog {
 public:
  // parent is the layered dialog, which owns the companion's window.
  CStandardDialog(ui::DialogTemplate dialogTemplate, ui::ColorRef colorKey, ui::Window* parent);

  // Creates the dialog beside its parent and shows it.
  void CreateAndShow();
  void SetLayeredPartner(CTranslucentDialog* partner) { layeredPartner = partner; }
  CTranslucentDialog* GetLayeredPartner() const { return layeredPartner; }
  ui::ColorRef GetColorKey() const { return colorKey; }

  bool OnInitDialog() override;
  // Closing the companion closes the pair: the parent is told to close first.
  void OnOK() override;
  void OnCancel() override;
  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;

 private:
  ui::ColorRef colorKey;
  ui::Brush backgroundBrush;
  CTranslucentDialog* layeredPartner = nullptr;
  ui::Window* parent_;
};

}  // namespace launcher

// The framework's button control: push button behaviour (capture, pushed look, click
// notification to the parent), and owner drawing through DrawItem.
#pragma once

#include "ui/Canvas.h"
#include "ui/Window.h"

namespace ui {

struct DrawItemInfo {
  Rect rect;               // client rectangle
  unsigned itemState = 0;  // kOds* flags
};

class Button : public Window {
 public:
  // kBst* bits: pushed, focus.
  unsigned GetState() const { return state_; }
  void SetState(bool pushed);

  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override;

 protected:
  // Runs while the window is being made, before its first paint; style changes take effect.
  virtual void PreSubclassWindow() {}
  // Paints an owner-drawn button.
  virtual void DrawItem(Canvas& canvas, const DrawItemInfo& item);

 private:
  void Click();
  unsigned state_ = 0;
};

// A static control showing a picture at its natural size (kSsBitmap); kStmSetImage hands it the
// picture, which it copies.
class StaticPicture : public Window {
 public:
  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override;
  const Bitmap& GetPicture() const { return picture_; }

 private:
  Bitmap picture_;
};

}  // namespace ui

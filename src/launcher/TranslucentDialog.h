// The layered dialog pair: a window showing a picture with per-pixel alpha, and a companion
// lying exactly over it that hosts the controls on a background the platform leaves invisible.
#pragma once

#include <memory>
#include <vector>

#include "base/Bitmap.h"
#include "ui/Dialog.h"

namespace launcher {

class CStandardDialog;

// Told when a drawable item wants the picture drawn again.
class IRenderListener {
 public:
  virtual ~IRenderListener() = default;
  // requester identifies who asks; the layered dialog ignores it.
  virtual void OnRenderRequest(const void* requester) = 0;
};

// Something drawn over the layered picture at every render pass, in picture coordinates.
class RenderItem {
 public:
  virtual ~RenderItem() = default;
  virtual void Draw(Bitmap& surface) = 0;
  bool visible = true;
  IRenderListener* listener = nullptr;
};

// Blend parameters of every layered update.
struct BlendFunction {
  std::uint8_t blendOp = 0;  // source over
  std::uint8_t blendFlags = 0;
  std::uint8_t sourceConstantAlpha = 0;
  std::uint8_t alphaFormat = 0;  // 1: the source has per-pixel alpha
};

// Where a layered window of a picture's size is placed to be centred on the work area, given
// the rectangle its style's frame and caption would grow the picture to. Divisions truncate
// toward zero, so a window larger than the work area gets offsets rounded toward zero.
ui::Point CenterLayeredWindow(const ui::Rect& adjusted, const ui::Rect& workArea);

class CTranslucentDialog : public ui::Dialog, public IRenderListener {
 public:
  // The dialog owns the picture; its size is the window's size.
  CTranslucentDialog(ui::DialogTemplate dialogTemplate, std::unique_ptr<Bitmap> picture,
                     ui::Window* parent);
  ~CTranslucentDialog() override;

  void RenderLayered();
  void OnRenderRequest(const void* requester) override;
  void AddRenderItem(RenderItem* item);
  void RemoveRenderItem(RenderItem* item);
  void SuspendRender();
  void ResumeRender();
  void SetDragEnabled(bool enabled) { dragEnabled = enabled; }
  void SetCenterOnCreate(bool center) { centerOnCreate = center; }

  CStandardDialog* GetCompanion() const { return companion.get(); }
  const Bitmap* GetPicture() const { return picture.get(); }
  const BlendFunction& GetBlend() const { return blend; }

  bool OnInitDialog() override;
  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;

 protected:
  // Makes the companion, not yet created (null for none). Called once, while the window is
  // being created.
  virtual std::unique_ptr<CStandardDialog> CreateCompanionDialog() = 0;
  // Runs in OnInitDialog after the blend parameters are set, before the first render pass.
  virtual void OnLayeredInit() = 0;

 private:
  ui::LResult OnCreate(ui::CreateParams* params);

  BlendFunction blend;
  std::unique_ptr<Bitmap> picture;
  bool dragEnabled = true;
  bool centerOnCreate = true;
  bool renderSuspended = false;
  std::unique_ptr<CStandardDialog> companion;
  std::vector<RenderItem*> renderItems;  // not owned
};

}  // namespace launcher

#include "launcher/TranslucentDialog.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "launcher/StandardDialog.h"

namespace launcher {

ui::Point CenterLayeredWindow(const ui::Rect& adjusted, const ui::Rect& workArea) {
  return {workArea.left + (workArea.Width() - adjusted.Width()) / 2,
          workArea.top + (workArea.Height() - adjusted.Height()) / 2};
}

CTranslucentDialog::CTranslucentDialog(ui::DialogTemplate dialogTemplate,
                                       std::unique_ptr<Bitmap> picture, ui::Window* parent)
    : ui::Dialog(std::move(dialogTemplate), parent), picture(std::move(picture)) {}

CTranslucentDialog::~CTranslucentDialog() {
  // Our window owns the companion's; both go before the companion object does.
  DestroyWindow();
  companion.reset();
  renderItems.clear();
}

ui::LResult CTranslucentDialog::OnCreate(ui::CreateParams* params) {
  ui::Rect rect = params->rect;
  const int width = picture ? picture->width : 0;
  const int height = picture ? picture->height : 0;
  ui::Point at = rect.TopLeft();
  if (centerOnCreate) {
    // Centred as the captioned window it still is, then given the picture's size: it sits above
    // and left of the exact centre by half of the frame.
    ui::Rect adjusted = ui::AdjustWindowRect(ui::Rect{0, 0, width, height}, GetStyle());
    at = CenterLayeredWindow(adjusted, ui::GetWorkArea());
  }
  if (ui::Dialog::WindowProc(ui::kWmCreate, 0, reinterpret_cast<ui::LParam>(params)) == -1) {
    return -1;
  }
  companion = CreateCompanionDialog();
  if (companion) {
    companion->CreateAndShow();
  }
  ModifyStyle(ui::kWsCaption, ui::kWsPopup);
  MoveWindow(ui::Rect::FromSize(at.x, at.y, width, height), true);
  return 0;
}

bool CTranslucentDialog::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  blend = {0, 0, 255, 1};
  OnLayeredInit();
  RenderLayered();
  return true;
}

void CTranslucentDialog::RenderLayered() {
  if (!(GetExStyle() & ui::kWsExLayered)) {
    ModifyStyleEx(0, ui::kWsExLayered);
  }
  const int width = picture ? picture->width : 0;
  const int height = picture ? picture->height : 0;
  if (width <= 0 || height <= 0) {
    return;  // nothing to show: the window keeps what it had
  }

  // A fresh 32-bit surface, fully transparent, with the picture drawn at its own size.
  Bitmap surface;
  surface.width = width;
  surface.height = height;
  surface.bitsPerPixel = 32;
  try {
    surface.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
  } catch (const std::bad_alloc&) {
    return;  // the pass ends without an update
  }
  if (picture->bitsPerPixel == 32) {
    std::memcpy(surface.pixels.data(), picture->pixels.data(), surface.pixels.size());
  } else {
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
      std::memcpy(&surface.pixels[i * 4], &picture->pixels[i * 3], 3);
      surface.pixels[i * 4 + 3] = 255;
    }
  }
  for (RenderItem* item : renderItems) {
    if (item->visible) {
      item->Draw(surface);
    }
  }
  UpdateLayered(surface);
}

void CTranslucentDialog::OnRenderRequest(const void* /*requester*/) {
  if (!renderSuspended) {
    RenderLayered();
  }
}

void CTranslucentDialog::AddRenderItem(RenderItem* item) {
  item->listener = this;
  renderItems.push_back(item);
}

void CTranslucentDialog::RemoveRenderItem(RenderItem* item) {
  item->listener = nullptr;
  auto it = std::find(renderItems.begin(), renderItems.end(), item);
  if (it != renderItems.end()) {
    renderItems.erase(it);
  }
}

void CTranslucentDialog::SuspendRender() {
  if (renderSuspended) {
    ResumeRender();
  }
  renderSuspended = true;
}

void CTranslucentDialog::ResumeRender() {
  if (!renderSuspended) {
    return;
  }
  RenderLayered();
  renderSuspended = false;
}

ui::LResult CTranslucentDialog::WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
    case ui::kWmEraseBkgnd:
      return 1;
    case ui::kWmMove: {
      ui::LResult r = ui::Dialog::WindowProc(message, wParam, lParam);
      if (companion && companion->IsCreated()) {
        companion->SetWindowPos(ui::XFromLParam(lParam), ui::YFromLParam(lParam), 0, 0,
                                ui::kSwpNoZOrder | ui::kSwpNoSize);
      }
      return r;
    }
    case ui::kWmSize: {
      ui::LResult r = ui::Dialog::WindowProc(message, wParam, lParam);
      if (companion && companion->IsCreated()) {
        companion->SetWindowPos(0, 0, ui::LowWord(static_cast<std::uintptr_t>(lParam)),
                                ui::HighWord(static_cast<std::uintptr_t>(lParam)),
                                ui::kSwpNoZOrder | ui::kSwpNoMove);
      }
      return r;
    }
    case ui::kWmCreate:
      return OnCreate(reinterpret_cast<ui::CreateParams*>(lParam));
    case ui::kWmLButtonDown:
      if (dragEnabled) {
        SendMessage(ui::kWmSysCommand, ui::kScMove | 2, 0);
      }
      return ui::Dialog::WindowProc(message, wParam, lParam);
    default:
      return ui::Dialog::WindowProc(message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------------------------

CStandardDialog::CStandardDialog(ui::DialogTemplate dialogTemplate, ui::ColorRef colorKey,
                                 ui::Window* parent)
    : ui::Dialog(std::move(dialogTemplate), parent), colorKey(colorKey), parent_(parent) {}

void CStandardDialog::CreateAndShow() {
  CreateModeless(parent_);
  ShowWindow(ui::kSwShow);
}

bool CStandardDialog::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  backgroundBrush = {colorKey};
  ModifyStyleEx(0, ui::kWsExLayered);
  SetLayeredColorKey(colorKey);
  return true;
}

void CStandardDialog::OnOK() {
  if (parent_ && parent_->IsCreated()) {
    parent_->SendMessage(ui::kWmClose);
  }
  ui::Dialog::OnOK();
}

void CStandardDialog::OnCancel() {
  if (parent_ && parent_->IsCreated()) {
    parent_->SendMessage(ui::kWmClose);
  }
  ui::Dialog::OnCancel();
}

ui::LResult CStandardDialog::WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) {
  if (message == ui::kWmCtlColorDlg) {
    return reinterpret_cast<ui::LResult>(&backgroundBrush);
  }
  return ui::Dialog::WindowProc(message, wParam, lParam);
}

}  // namespace launcher

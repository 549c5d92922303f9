#include "skin/SkinButton.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace launcher {

using ui::LParam;
using ui::LResult;
using ui::Point;
using ui::Rect;
using ui::WParam;

namespace {

constexpr unsigned kCaptionFormat = ui::kDtSingleLine | ui::kDtCenter | ui::kDtVCenter;

const Bitmap* PictureOf(const std::optional<Bitmap>& slot) { return slot ? &*slot : nullptr; }

// A picture that has no pixels is no picture: it would draw nothing and outline nothing.
std::optional<Bitmap> Keep(std::optional<Bitmap> picture) {
  if (picture && picture->Empty()) {
    return std::nullopt;
  }
  return picture;
}

bool PixelIs(const Bitmap& picture, int x, int y, ui::ColorRef key) {
  const std::uint8_t* p = picture.Pixel(x, y);
  return p[0] == ui::RedOf(key) && p[1] == ui::GreenOf(key) && p[2] == ui::BlueOf(key);
}

}  // namespace

ui::Region MakeOutlineRegion(const Bitmap& mask, ui::ColorRef key) {
  ui::Region region;
  if (mask.Empty() || mask.BytesPerPixel() < 3) {
    return region;
  }
  for (int y = 0; y < mask.height; ++y) {
    int x = 0;
    while (x < mask.width) {
      while (x < mask.width && PixelIs(mask, x, y, key)) {
        ++x;
      }
      const int runStart = x;
      while (x < mask.width && !PixelIs(mask, x, y, key)) {
        ++x;
      }
      if (x > runStart) {
        region.rects.push_back({runStart, y, x, y + 1});
      }
    }
  }
  return region;
}

CxSkinButton::CxSkinButton() : textColor(ui::GetSysColor(ui::SysColor::kBtnText)) {}

CxSkinButton::~CxSkinButton() { DestroyWindow(); }

// The style values overlap, so the tests go by bits: a button made with the owner-draw style
// (0xB) already set reads as a check box. Owners create with kBsAutoCheckBox, kBsAutoRadioButton
// or neither.
void CxSkinButton::PreSubclassWindow() {
  const unsigned style = GetStyle() & 0xFFFF;
  if ((style & 0x3) == 0x3) {
    kind = kKindCheckBox;  // automatic check box
  } else if ((style & 0x9) == 0x9) {
    kind = kKindRadio;  // automatic radio button
  } else {
    kind = kKindPush;
  }
  ModifyStyle(0, ui::kBsOwnerDraw);
}

void CxSkinButton::SetSkin(std::optional<Bitmap> normal, std::optional<Bitmap> pressed,
                           std::optional<Bitmap> hover, std::optional<Bitmap> disabled,
                           std::optional<Bitmap> focus, std::optional<Bitmap> mask,
                           std::int16_t newDrawMode, std::int16_t newBorder,
                           std::int16_t newFocusMargin) {
  normalPicture = Keep(std::move(normal));
  pressedPicture = Keep(std::move(pressed));
  hoverPicture = Keep(std::move(hover));
  disabledPicture = Keep(std::move(disabled));
  focusPicture = Keep(std::move(focus));
  maskPicture = Keep(std::move(mask));

  drawMode = std::clamp<std::int16_t>(newDrawMode, 0, 2);
  border = newBorder;
  focusMargin = std::max<std::int16_t>(newFocusMargin, 0);

  if (maskPicture) {
    SetWindowRgn(MakeOutlineRegion(*maskPicture, kSkinMaskKey), true);
    if (drawMode == 0) {
      SetWindowPos(0, 0, maskPicture->width, maskPicture->height,
                   ui::kSwpNoMove | ui::kSwpNoZOrder);
    }
  }
}

void CxSkinButton::SetLinkUrl(std::string_view url) {
  linkUrl = std::string(url);
  std::replace(linkUrl.begin(), linkUrl.end(), ';', '&');
}

ui::ColorRef CxSkinButton::SetTextColor(ui::ColorRef color) {
  return std::exchange(textColor, color);
}

void CxSkinButton::SetToolTipText(std::string_view text) {
  if (toolTip.IsCreated()) {
    toolTip.UpdateTipText(text);
    return;
  }
  if (!toolTip.Create(this)) {
    return;  // not made: the next call tries again
  }
  if (toolTip.AddTool(this, text)) {
    toolTip.Activate(true);
  }
}

// ---------------------------------------------------------------------------------------------
// Messages

LResult CxSkinButton::WindowProc(unsigned message, WParam wParam, LParam lParam) {
  switch (message) {
    case ui::kWmEraseBkgnd:
      return 1;  // DrawItem paints the whole face
    case ui::kWmMouseMove:
      return OnMouseMove(wParam, lParam);
    case ui::kWmMouseLeave:
      hovering = false;
      Invalidate();
      return 0;
    case ui::kWmLButtonDown:
      return OnLButtonDown(wParam, lParam);
    case ui::kWmLButtonDblClk:
      // A double click is a second press: a link address opens once more.
      SendMessage(ui::kWmLButtonDown, wParam, lParam);
      return 0;
    case ui::kWmLButtonUp:
      return OnLButtonUp(wParam, lParam);
    case ui::kWmKeyDown:
      if (kind != kKindPush && wParam == ui::kVkSpace) {
        ToggleOrSetCheck();
      }
      return ui::Button::WindowProc(message, wParam, lParam);
    case ui::kWmKillFocus:
      if (GetCapture() == this) {
        ReleaseCapture();
        mousePressed = false;
      }
      return ui::Button::WindowProc(message, wParam, lParam);
    case kWmSkinButtonUncheck:
      if (checked) {
        checked = false;
        Invalidate();
      }
      return 0;
    case ui::kBmSetCheck:
      return OnSetCheck(wParam);
    case ui::kBmGetCheck:
      return checked ? 1 : 0;
    default:
      return ui::Button::WindowProc(message, wParam, lParam);
  }
}

LResult CxSkinButton::OnMouseMove(WParam wParam, LParam lParam) {
  RelayToToolTip(ui::kWmMouseMove, wParam, lParam);
  if (mousePressed && GetCapture() == this) {
    // The pushed look follows whether this button is the window under the pointer, which
    // honours the outline. The framework button's own tracking goes by the client rectangle
    // alone, so it is left out here rather than run after ours.
    const bool inside =
        IsUnderScreenPoint(ClientToScreen({ui::XFromLParam(lParam), ui::YFromLParam(lParam)}));
    if (((GetState() & ui::kBstPushed) != 0) != inside) {
      SetState(inside);  // repaints
    }
    return DefWindowProc(ui::kWmMouseMove, wParam, lParam);
  }
  if (!hovering && TrackMouseLeave()) {
    hovering = true;
    Invalidate();
  }
  return ui::Button::WindowProc(ui::kWmMouseMove, wParam, lParam);
}

LResult CxSkinButton::OnLButtonDown(WParam wParam, LParam lParam) {
  RelayToToolTip(ui::kWmLButtonDown, wParam, lParam);
  if (hovering && TrackMouseLeave(/*cancel=*/true)) {
    hovering = false;
  }
  ui::Button::WindowProc(ui::kWmLButtonDown, wParam, lParam);  // capture, focus, pushed
  mousePressed = true;
  // At the press, not the click: the address opens even when the release ends elsewhere. What
  // the desktop does with it is not examined.
  if (!linkUrl.empty()) {
    ui::ShellOpen(linkUrl);
  }
  return 0;
}

LResult CxSkinButton::OnLButtonUp(WParam wParam, LParam lParam) {
  RelayToToolTip(ui::kWmLButtonUp, wParam, lParam);
  const bool over =
      IsUnderScreenPoint(ClientToScreen({ui::XFromLParam(lParam), ui::YFromLParam(lParam)}));
  if (kind != kKindPush && over) {
    ToggleOrSetCheck();
  }
  mousePressed = false;
  // The framework button clicks when its pushed state is set at the release; a release that
  // arrives with no move before it must still be judged by where it happened.
  if (GetCapture() == this) {
    SetState(over);
  }
  return ui::Button::WindowProc(ui::kWmLButtonUp, wParam, lParam);
}

LResult CxSkinButton::OnSetCheck(WParam wParam) {
  checked = wParam != 0 && kind != kKindPush;
  if (kind == kKindRadio && checked) {
    UncheckRestOfGroup();
  }
  Invalidate();
  return 0;
}

void CxSkinButton::ToggleOrSetCheck() {
  SendMessage(ui::kBmSetCheck, kind == kKindCheckBox && checked ? 0 : 1);
}

// The group is the run of the parent's children (in creation order, the dialog's order) that
// starts at the nearest child at or before this button with kWsGroup, or at the first child, and
// ends before the next child with kWsGroup, or at the last child. The walk visits the children
// after this button to the group's end, then wraps to the group's start and stops on coming back
// to this button. Every other window of the group is told, whatever it is and whether or not it
// is visible or enabled: a hidden or disabled radio button must not stay checked either.
// Posted, not sent: the others repaint after this button's handler is done.
void CxSkinButton::UncheckRestOfGroup() {
  Window* parent = GetParent();
  if (!parent) {
    return;
  }
  const std::vector<Window*> siblings = parent->GetChildren();
  const auto self = std::find(siblings.begin(), siblings.end(), this);
  if (self == siblings.end()) {
    return;
  }
  const auto startsGroup = [](const Window* w) { return (w->GetStyle() & ui::kWsGroup) != 0; };

  std::size_t index = static_cast<std::size_t>(self - siblings.begin());
  std::size_t first = index;
  while (first > 0 && !startsGroup(siblings[first])) {
    --first;
  }
  std::size_t end = index + 1;
  while (end < siblings.size() && !startsGroup(siblings[end])) {
    ++end;
  }

  for (std::size_t i = index + 1; i < end; ++i) {
    siblings[i]->PostMessage(kWmSkinButtonUncheck, 0, 0);
  }
  for (std::size_t i = first; i < index; ++i) {
    siblings[i]->PostMessage(kWmSkinButtonUncheck, 0, 0);
  }
}

void CxSkinButton::RelayToToolTip(unsigned message, WParam wParam, LParam lParam) {
  if (!toolTip.IsCreated()) {
    return;
  }
  // The record carries the point as the message packed it, halves read unsigned.
  const auto packed = static_cast<std::uintptr_t>(lParam);
  const Point point{ui::LowWord(packed), ui::HighWord(packed)};
  ui::Message record{this, message, wParam, lParam, point};
  toolTip.RelayEvent(record);
}

bool CxSkinButton::IsUnderScreenPoint(Point screen) { return WindowFromPoint(screen) == this; }

// ---------------------------------------------------------------------------------------------
// Painting

const Bitmap* CxSkinButton::DisabledFace() const {
  return disabledPicture ? &*disabledPicture : PictureOf(normalPicture);
}

void CxSkinButton::DrawItem(ui::Canvas& canvas, const ui::DrawItemInfo& item) {
  // While the left button is held, the pushed look is first put right for where the pointer is
  // now; the state change brings its own repaint, so this one stops.
  if (mousePressed && GetCapture() == this) {
    const bool over = IsUnderScreenPoint(ui::GetCursorPos());
    const bool pushed = (GetState() & ui::kBstPushed) != 0;
    if (over != pushed) {
      SetState(over);
      return;
    }
  }

  const Rect rect = item.rect;
  const int captionInset = focusMargin + 2;
  Rect captionRect{rect.left + captionInset, rect.top, rect.right - captionInset, rect.bottom};
  const std::string& caption = GetWindowText();

  if (item.itemState & ui::kOdsDisabled) {
    DrawFace(canvas, DisabledFace(), rect);
    if (border != 0) {
      canvas.DrawEdge(rect, ui::EdgeKind::kRaised);
    }
    // Embossed: a light copy under a grey one moved up and left.
    canvas.DrawText(caption, captionRect, kCaptionFormat,
                    ui::GetSysColor(ui::SysColor::kBtnHighlight), ui::FontKind::kMenu);
    canvas.DrawText(caption, captionRect.Offset(-1, -1), kCaptionFormat,
                    ui::GetSysColor(ui::SysColor::kGrayText), ui::FontKind::kMenu);
    return;
  }

  const bool focused = (item.itemState & ui::kOdsFocus) != 0;
  if ((item.itemState & ui::kOdsSelected) || checked) {
    DrawFace(canvas, PictureOf(pressedPicture), rect);
    captionRect = captionRect.Offset(1, 1);
    if (border != 0) {
      canvas.DrawEdge(rect, ui::EdgeKind::kSunken);
    }
  } else {
    const Bitmap* face = nullptr;
    if (normalPicture) {
      if (hovering && hoverPicture) {
        face = &*hoverPicture;
      } else if (focused && focusPicture) {
        face = &*focusPicture;
      } else {
        face = &*normalPicture;
      }
    }
    DrawFace(canvas, face, rect);
    if (border != 0) {
      canvas.DrawEdge(rect, ui::EdgeKind::kRaised);
    }
  }

  if (focused && focusMargin > 0) {
    canvas.DrawFocusRect(rect.Inflate(-focusMargin, -focusMargin));
  }
  canvas.DrawText(caption, captionRect, kCaptionFormat, textColor, ui::FontKind::kMenu);
}

void CxSkinButton::DrawFace(ui::Canvas& canvas, const Bitmap* picture, const Rect& rect) const {
  if (picture) {
    DrawPicture(canvas, *picture, rect);
  } else {
    canvas.FillRect(rect, ui::GetSysColor(ui::SysColor::kBtnFace));
  }
}

// Pictures are copied opaquely; their alpha is not applied.
void CxSkinButton::DrawPicture(ui::Canvas& canvas, const Bitmap& picture, const Rect& rect) const {
  const int w = rect.Width();
  const int h = rect.Height();
  if (drawMode == 2) {
    // Tiled from the top-left corner at the picture's size; the last column and row are cut.
    // The mask plays no part.
    for (int y = 0; y < h; y += picture.height) {
      for (int x = 0; x < w; x += picture.width) {
        const int cw = std::min(picture.width, w - x);
        const int ch = std::min(picture.height, h - y);
        canvas.DrawBitmap(picture, {0, 0, cw, ch},
                          Rect::FromSize(rect.left + x, rect.top + y, cw, ch));
      }
    }
    return;
  }
  const bool stretch = drawMode == 1;
  if (maskPicture) {
    canvas.DrawMasked(picture, *maskPicture, rect, stretch);
  } else if (stretch) {
    canvas.DrawBitmap(picture, {0, 0, picture.width, picture.height}, rect);
  } else {
    const int cw = std::min(picture.width, w);
    const int ch = std::min(picture.height, h);
    canvas.DrawBitmap(picture, {0, 0, cw, ch}, Rect::FromSize(rect.left, rect.top, cw, ch));
  }
}

}  // namespace launcher

// The picture button of the launcher and game windows: an owner-drawn push button, check box or
// radio button whose faces are pictures, one per visual state, with an optional mask picture that
// gives it a non-rectangular outline. It can carry a link address opened as soon as it is pressed,
// a tooltip, a caption drawn over the picture, and two values its owner routes clicks by.
//
// UI thread only. Clicks reach the parent as kWmCommand (identifier, kBnClicked), sent by the
// framework button when the left button comes up over this one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Bitmap.h"
#include "ui/Button.h"
#include "ui/ToolTip.h"

namespace launcher {

// Posted (wParam and lParam 0) by a radio button that became checked to every other window of
// its group; a skin button that is checked clears its check.
constexpr unsigned kWmSkinButtonUncheck = ui::kWmUser + 0x100;

// Pixels of a mask picture in this colour lie outside the button.
constexpr ui::ColorRef kSkinMaskKey = ui::Rgb(255, 0, 255);

// The outline of a mask picture: row by row from the top, each maximal horizontal run of pixels
// whose colour differs from key gives one rectangle one pixel high covering exactly that run.
// Colours compare on red, green and blue; alpha plays no part. Empty when every pixel is key.
ui::Region MakeOutlineRegion(const Bitmap& mask, ui::ColorRef key);

class CxSkinButton : public ui::Button {
 public:
  // What the window style made of the button (see PreSubclassWindow).
  static constexpr int kKindPush = 0;
  static constexpr int kKindCheckBox = 2;
  static constexpr int kKindRadio = 4;

  CxSkinButton();
  // Destroys the window first, so no message reaches a half-destroyed button; the pictures and
  // the tooltip go with the object.
  ~CxSkinButton() override;

  // Takes the pictures; any of them may be absent (an empty picture counts as absent). Without a
  // disabled picture the normal one serves as the disabled face. The draw mode is clamped to
  // 0 (natural size), 1 (stretched) or 2 (tiled); a negative focus margin becomes 0; a non-zero
  // border draws a 3-D edge around the face. A mask (magenta outside) replaces the window's
  // outline and repaints; in draw mode 0 the button then takes the mask's size, staying where it
  // is. Without a mask the outline stays as it was. Call after Create.
  void SetSkin(std::optional<Bitmap> normal, std::optional<Bitmap> pressed,
               std::optional<Bitmap> hover, std::optional<Bitmap> disabled,
               std::optional<Bitmap> focus, std::optional<Bitmap> mask, std::int16_t drawMode,
               std::int16_t border, std::int16_t focusMargin);

  // The address opened through the desktop when the button is pressed; empty opens nothing.
  // Every ";" becomes "&": the configuration writes the query separators of an address as ";".
  void SetLinkUrl(std::string_view url);
  const std::string& GetLinkUrl() const { return linkUrl; }

  // Caption colour; returns the previous one.
  ui::ColorRef SetTextColor(ui::ColorRef color);

  // The first call makes the tooltip with the whole button as its only tool; later calls
  // replace the text. When the tooltip window cannot be made nothing changes and the next call
  // tries again; when the tool cannot be registered the tooltip stays inactive.
  void SetToolTipText(std::string_view text);
  const ui::ToolTip& GetToolTip() const { return toolTip; }

  // Values of the owner, not used by the button.
  void SetCommandType(std::uint8_t type) { commandType = type; }
  std::uint8_t GetCommandType() const { return commandType; }
  void SetTag(int value) { tag = value; }
  int GetTag() const { return tag; }

  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;

 protected:
  // Takes the kind from the creation style, then makes the button owner-drawn.
  void PreSubclassWindow() override;
  void DrawItem(ui::Canvas& canvas, const ui::DrawItemInfo& item) override;

 private:
  ui::LResult OnMouseMove(ui::WParam wParam, ui::LParam lParam);
  ui::LResult OnLButtonDown(ui::WParam wParam, ui::LParam lParam);
  ui::LResult OnLButtonUp(ui::WParam wParam, ui::LParam lParam);
  ui::LResult OnSetCheck(ui::WParam wParam);
  // Check box: toggles; radio button: checks. Both through kBmSetCheck.
  void ToggleOrSetCheck();
  void UncheckRestOfGroup();
  void RelayToToolTip(unsigned message, ui::WParam wParam, ui::LParam lParam);
  bool IsUnderScreenPoint(ui::Point screen);

  const Bitmap* DisabledFace() const;
  // The picture as the draw mode says, or the button-face colour when there is none.
  void DrawFace(ui::Canvas& canvas, const Bitmap* picture, const ui::Rect& rect) const;
  void DrawPicture(ui::Canvas& canvas, const Bitmap& picture, const ui::Rect& rect) const;

  std::string linkUrl;
  bool checked = false;
  int kind = kKindPush;
  bool hovering = false;      // the pointer is over the button and leave tracking is armed
  bool mousePressed = false;  // from a left press on the button to its release or focus loss
  ui::ToolTip toolTip;        // window made by the first SetToolTipText
  std::optional<Bitmap> normalPicture;
  std::optional<Bitmap> pressedPicture;   // pressed or checked
  std::optional<Bitmap> disabledPicture;  // absent: the normal picture
  std::optional<Bitmap> maskPicture;
  std::optional<Bitmap> hoverPicture;
  std::optional<Bitmap> focusPicture;
  std::int16_t focusMargin = 0;  // inset of the focus rectangle; narrows the caption too
  ui::ColorRef textColor;
  // The outline region made from the mask is held by the window (SetWindowRgn).
  int border = 0;
  std::uint8_t commandType = 0;
  std::int16_t drawMode = 1;
  int tag = 0;
};

}  // namespace launcher

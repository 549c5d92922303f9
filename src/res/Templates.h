// The window templates: first size, styles and caption of each dialog. Sizes of templates whose
// windows take another size while they start do not matter.
#pragma once

#include "ui/Dialog.h"

namespace launcher::res {

// Launcher picture window: captioned with a system menu and a modal frame until it starts, with
// a taskbar button.
inline ui::DialogTemplate LauncherPictureTemplate() {
  return {{320, 200}, ui::kWsPopup | ui::kWsCaption | ui::kWsSysMenu, ui::kWsExAppWindow, "Dialog"};
}

// Launcher companion: a visible popup with a system menu and no caption.
inline ui::DialogTemplate LauncherCompanionTemplate() {
  return {{604, 375}, ui::kWsPopup | ui::kWsVisible | ui::kWsSysMenu, 0, ""};
}

// Game window: a visible popup without caption, border or system menu.
inline ui::DialogTemplate GameWindowTemplate() {
  return {
      {800, 600}, ui::kWsPopup | ui::kWsVisible | ui::kWsClipSiblings | ui::kWsClipChildren, 0, ""};
}

}  // namespace launcher::res

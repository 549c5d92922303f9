// The rules of the game window's commands that need no window: which function key runs what,
// and the items of the settings menu.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/LauncherConfig.h"
#include "ui/Window.h"

namespace launcher {

// Command identifiers of the settings menu: 2034 + the entry's type.
constexpr int kSettingsMenuIdBase = 2034;
constexpr int kMenuTypeRestart = 1;
constexpr int kMenuTypeClearCache = 2;
constexpr int kMenuTypeFullScreen = 3;
constexpr int kMenuTypeVersion = 4;
// The version item's text fits a buffer of this many bytes with its terminator.
constexpr std::size_t kVersionItemBytes = 64;

// What a function key does.
enum class ShortcutAction {
  kNone,
  kClose,  // the close question
  kHideToTray,
  kSettingsMenu,
  kMinimize,
  kMaximize,
  kRestore,
  kClearCache,  // the cache question
  kRestart,     // the restart question
  kFullScreen,  // full screen on or off
};

// Slot N - 1 for key FN.
using ShortcutSlots = std::array<ShortcutAction, 12>;

// Fills the slots from the configuration: the game buttons of types 5, 8, 11, 7, 6 and 10, then
// the menu entries of types 2, 1 and 3, each group in configuration order; an entry whose
// shortCut is 1..12 puts its action into that slot, replacing what an earlier one put there.
// Entries count whether or not their button could be made; other types take no key.
ShortcutSlots RegisterShortcutSlots(const std::vector<GameButtonInfo>& gameButtons,
                                    const std::vector<MenuInfo>& menus);

// The settings menu: one item per entry in order, identifier 2034 + type; the version entry's
// text is its title directly followed by version, cut to 63 bytes without splitting a
// double-byte character.
std::vector<ui::MenuItem> SettingsMenuItems(const std::vector<MenuInfo>& menus,
                                            std::string_view version);

}  // namespace launcher

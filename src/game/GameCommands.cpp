// The game window's commands: close question, settings menu, restart, cache cleaning, full
// screen, notification-area icon, function keys, and the page's script bridge calls.
#include "game/GameCommands.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "game/GameDialog.h"
#include "skin/SkinButton.h"
#include "ui/Browser.h"
#include "ui/MessageBox.h"
#include "ui/NotifyIcon.h"

namespace launcher {
namespace {

// The questions: OK and Cancel, Cancel the default; only OK counts as yes.
constexpr unsigned kQuestionStyle =
    ui::kMbOkCancel | ui::kMbDefButton2 | ui::kMbSystemModal | ui::kMbTaskModal;

// Command identifiers of the game buttons.
constexpr int kCloseCommand = kGameButtonIdBase + kGameButtonClose;
constexpr int kMaximizeCommand = kGameButtonIdBase + kGameButtonMaximize;
constexpr int kMinimizeCommand = kGameButtonIdBase + kGameButtonMinimize;
constexpr int kHideToTrayCommand = kGameButtonIdBase + kGameButtonHideToTray;
constexpr int kRestoreCommand = kGameButtonIdBase + kGameButtonRestore;
constexpr int kSettingsCommand = kGameButtonIdBase + kGameButtonSettings;
constexpr int kRestartCommand = kSettingsMenuIdBase + kMenuTypeRestart;
constexpr int kClearCacheCommand = kSettingsMenuIdBase + kMenuTypeClearCache;
constexpr int kFullScreenCommand = kSettingsMenuIdBase + kMenuTypeFullScreen;

// The tip holds the first 64 bytes of the configured text (which is shorter already).
constexpr std::size_t kTrayTipBytes = 64;

}  // namespace

ShortcutSlots RegisterShortcutSlots(const std::vector<GameButtonInfo>& gameButtons,
                                    const std::vector<MenuInfo>& menus) {
  ShortcutSlots slots{};
  slots.fill(ShortcutAction::kNone);
  auto put = [&slots](int shortCut, ShortcutAction action) {
    if (shortCut >= 1 && shortCut <= static_cast<int>(slots.size())) {
      slots[static_cast<std::size_t>(shortCut - 1)] = action;
    }
  };
  // Later registrations win a shared key: menu entries over buttons.
  const std::pair<int, ShortcutAction> buttonOrder[] = {
      {kGameButtonClose, ShortcutAction::kClose},
      {kGameButtonHideToTray, ShortcutAction::kHideToTray},
      {kGameButtonSettings, ShortcutAction::kSettingsMenu},
      {kGameButtonMinimize, ShortcutAction::kMinimize},
      {kGameButtonMaximize, ShortcutAction::kMaximize},
      {kGameButtonRestore, ShortcutAction::kRestore},
  };
  for (const auto& [type, action] : buttonOrder) {
    for (const GameButtonInfo& button : gameButtons) {
      if (button.type == type) {
        put(button.shortCut, action);
      }
    }
  }
  const std::pair<int, ShortcutAction> menuOrder[] = {
      {kMenuTypeClearCache, ShortcutAction::kClearCache},
      {kMenuTypeRestart, ShortcutAction::kRestart},
      {kMenuTypeFullScreen, ShortcutAction::kFullScreen},
  };
  for (const auto& [type, action] : menuOrder) {
    for (const MenuInfo& menu : menus) {
      if (menu.type == type) {
        put(menu.shortCut, action);
      }
    }
  }
  return slots;
}

std::vector<ui::MenuItem> SettingsMenuItems(const std::vector<MenuInfo>& menus,
                                            std::string_view version) {
  std::vector<ui::MenuItem> items;
  items.reserve(menus.size());
  for (const MenuInfo& menu : menus) {
    ui::MenuItem item;
    item.id = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(kSettingsMenuIdBase) + menu.type, 1, 0xFFFF));
    item.text = menu.title;
    if (menu.type == kMenuTypeVersion) {
      item.text.append(version);
      item.text.resize(GbkPrefixLength(item.text, kVersionItemBytes - 1));
    }
    items.push_back(std::move(item));
  }
  return items;
}

// ---------------------------------------------------------------------------------------------
// Closing and restarting

std::string CGameDialog::CloseCaption() const { return Gbk(CloseCaptionFromPath(executablePath_)); }

void CGameDialog::EndWithOk() {
  // The base dialog's OK, not ours: ours asks first.
  ui::Dialog::OnOK();
}

void CGameDialog::OnCancel() {
  const int answer =
      ui::MessageBox(this, config_.GetSettings().closeMsg, CloseCaption(), kQuestionStyle);
  if (answer == ui::kIdOk) {
    EndWithOk();
  }
}

void CGameDialog::OnOK() { OnCancel(); }

void CGameDialog::ConfirmRestart() {
  const int answer =
      ui::MessageBox(this, config_.GetSettings().closeMsg, CloseCaption(), kQuestionStyle);
  if (answer != ui::kIdOk) {
    return;
  }
  RestartProgram();
  EndWithOk();
}

void CGameDialog::RestartProgram() {
  // The new run starts beside this one; whether it could start is not reported.
  ui::StartProcess(executablePath_);
}

// ---------------------------------------------------------------------------------------------
// Cache

void CGameDialog::ConfirmClearCache() {
  const GlobalSettings& settings = config_.GetSettings();
  if (ui::MessageBox(this, settings.clearFlashMsg, settings.clearFlashTitle, kQuestionStyle) ==
      ui::kIdOk) {
    ClearUrlCache();
  }
}

void CGameDialog::ClearUrlCache() {
  // The engine's cached content (memory and disk); cookies, history and the pages' stored data
  // stay. Nothing is reported, whatever the outcome.
  ui::ClearBrowserCache();
}

// ---------------------------------------------------------------------------------------------
// Full screen

void CGameDialog::ToggleFullScreen() {
  if (fullScreen) {
    ExitFullScreen();
  } else {
    EnterFullScreen();
  }
}

void CGameDialog::EnterFullScreen() {
  GetWindowPlacement(&savedPlacement);
  // From the framed state, this is where Restore goes back to.
  if (!maximized) {
    restorePlacement = savedPlacement;
  }
  const ui::Rect window = GetWindowRect();
  const ui::Rect client = GetClientRect();
  const ui::Point origin = ClientToScreen(client.TopLeft());
  const ui::Rect clientOnScreen = client.Offset(origin.x, origin.y);
  fullScreenRect = FullScreenWindowRect(window, clientOnScreen, ui::GetScreenSize());

  for (const auto& button : buttons) {
    button->ShowWindow(ui::kSwHide);
  }
  if (logo.IsCreated()) {
    logo.ShowWindow(ui::kSwHide);
  }
  if (browser) {
    browser->MoveWindow(ui::Rect::FromSize(0, 0, fullScreenRect.Width(), fullScreenRect.Height()),
                        true);
  }
  ShowWindow(ui::kSwHide);
  fullScreen = true;
  ui::Placement placement;
  placement.flags = 0;
  placement.showCmd = ui::kSwShowNormal;
  placement.normal = fullScreenRect;
  SetWindowPlacement(placement);
  // Told to the desktop once the window is back on the screen, so that no panel or dock stays
  // above it (a window manager forgets the states of a window it saw hidden).
  SetFullScreenState(true);
}

void CGameDialog::ExitFullScreen() {
  for (const auto& button : buttons) {
    button->ShowWindow(ui::kSwShowNormal);
  }
  if (logo.IsCreated()) {
    logo.ShowWindow(ui::kSwShowNormal);
  }
  fullScreen = false;
  SetFullScreenState(false);
  MoveWindow(savedPlacement.normal, true);
  ShowWindow(ui::kSwHide);
  SetWindowPlacement(savedPlacement);
  // Either one shows the right one of the maximize and restore buttons and lays out.
  if (maximized) {
    Maximize();
  } else {
    Restore();
  }
}

// ---------------------------------------------------------------------------------------------
// Settings menu

void CGameDialog::ShowSettingsMenu() {
  CxSkinButton* anchor = FindButtonByType(kGameButtonSettings);
  if (!anchor) {
    return;
  }
  const ui::Rect below = anchor->GetWindowRect();
  // A chosen item comes back as a command afterwards; dismissing sends nothing.
  ui::TrackPopupMenu(SettingsMenuItems(config_.GetMenus(), config_.GetSettings().version),
                     {below.left, below.bottom + 1}, this);
}

// ---------------------------------------------------------------------------------------------
// Notification area

namespace {

ui::NotifyIconData TrayIconData(ui::Window* window, const std::string& title) {
  ui::NotifyIconData data;
  data.window = window;
  data.id = kTrayIconId;
  data.callbackMessage = kWmTrayNotify;
  data.tip = title.substr(0, GbkPrefixLength(title, kTrayTipBytes));
  return data;
}

}  // namespace

void CGameDialog::HideToTray() {
  // Hidden without an icon to bring it back, the window would be lost for good (a desktop
  // without a notification area): it is minimised instead.
  const bool iconShown = ui::HasNotificationArea() &&
                         ui::AddNotifyIcon(TrayIconData(this, config_.GetSettings().notityTitle));
  ShowWindow(iconShown ? ui::kSwHide : ui::kSwMinimize);
}

ui::LResult CGameDialog::OnTrayNotify(ui::WParam wParam, ui::LParam lParam) {
  if (wParam != kTrayIconId) {
    return 1;
  }
  switch (static_cast<unsigned>(lParam)) {
    case ui::kWmLButtonUp:
    case ui::kWmLButtonDblClk:
      // The icon stays.
      ShowWindow(ui::kSwShow);
      break;
    case ui::kWmRButtonUp: {
      const ui::Point at = ui::GetCursorPos();
      const GlobalSettings& settings = config_.GetSettings();
      // A chosen item comes back as the cancel command afterwards: the close question.
      ui::TrackPopupMenu({{ui::kIdCancelCommand, settings.notifyCloseTitle}}, at, this);
      // The icon goes with the menu, unless it is the only way back to a hidden window.
      if (IsWindowVisible()) {
        ui::DeleteNotifyIcon(TrayIconData(this, settings.notityTitle));
      }
      break;
    }
    default:
      break;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Function keys and commands

void CGameDialog::RegisterShortcuts() {
  shortcutSlots = RegisterShortcutSlots(config_.GetGameButtons(), config_.GetMenus());
}

void CGameDialog::RunShortcut(ShortcutAction action) {
  switch (action) {
    case ShortcutAction::kNone:
      break;
    case ShortcutAction::kClose:
      OnCancel();
      break;
    case ShortcutAction::kHideToTray:
      HideToTray();
      break;
    case ShortcutAction::kSettingsMenu:
      ShowSettingsMenu();
      break;
    case ShortcutAction::kMinimize:
      Minimize();
      break;
    case ShortcutAction::kMaximize:
      Maximize();
      break;
    case ShortcutAction::kRestore:
      Restore();
      break;
    case ShortcutAction::kClearCache:
      ConfirmClearCache();
      break;
    case ShortcutAction::kRestart:
      ConfirmRestart();
      break;
    case ShortcutAction::kFullScreen:
      ToggleFullScreen();
      break;
  }
}

bool CGameDialog::OnCommand(ui::WParam wParam, ui::LParam lParam) {
  switch (ui::LowWord(wParam)) {
    case kRestartCommand:
      ConfirmRestart();
      return true;
    case kClearCacheCommand:
      ConfirmClearCache();
      return true;
    case kFullScreenCommand:
      ToggleFullScreen();
      return true;
    case kCloseCommand:
      OnCancel();
      return true;
    case kMaximizeCommand:
      Maximize();
      return true;
    case kMinimizeCommand:
      Minimize();
      return true;
    case kHideToTrayCommand:
      HideToTray();
      return true;
    case kRestoreCommand:
      Restore();
      return true;
    case kSettingsCommand:
      ShowSettingsMenu();
      return true;
    default:
      // OK and Cancel (the system's close, the icon's menu item); everything else is nobody's.
      return ui::Dialog::OnCommand(wParam, lParam);
  }
}

// ---------------------------------------------------------------------------------------------
// Script bridge

void CGameDialog::OnJsCallClient(const std::vector<ui::ScriptValue>& args) {
  if (args.empty()) {
    return;
  }
  switch (JsCallCommand(args)) {
    case kJsCallClose:
      EndWithOk();
      break;
    case kJsCallRestart:
      RestartProgram();
      EndWithOk();
      break;
    case kJsCallSetLink: {
      CxSkinButton* button = FindButtonByType(kGameButtonPageLink);
      const std::optional<std::string> value = JsCallValue(args);
      // Only web addresses: the player's click must not open whatever a page names.
      if (button && value && IsPageSettableLink(*value)) {
        button->SetLinkUrl(*value);
      }
      break;
    }
    case kJsCallExtendTitle: {
      const std::optional<std::string> value = JsCallValue(args);
      if (!value) {
        break;
      }
      titleText = ExtendedTitle(config_.GetSettings().title, *value);
      titleLength = static_cast<int>(titleText.size());
      LayoutChildren();
      if (browser) {
        browser->Invalidate(true);
        browser->UpdateWindow();
      }
      break;
    }
    default:
      break;  // 3, 5 and anything else change nothing
  }
}

}  // namespace launcher

// The game window: a borderless top-level that paints its own frame from the pieces of
// "config/style.png", shows the title and the logo in a title strip with a row of picture buttons
// at its right end, and the game page below it. It moves, sizes, maximizes and restores itself,
// and has a full-screen state; its commands (close question, settings menu, restart, cache
// cleaning, notification-area icon, function keys) and the page's script bridge calls are in
// GameCommands.cpp.
//
// UI thread only. The window owns its browser host, buttons, logo and script bridge object.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "browser/GameDialogCallback.h"
#include "browser/WebBrowserEx.h"
#include "config/LauncherConfig.h"
#include "game/GameCommands.h"
#include "game/GameFrame.h"
#include "ui/Button.h"
#include "ui/Dialog.h"

namespace launcher {

class CxSkinButton;

// Control identifiers: game buttons 180 + type, the page 170, the logo 300.
constexpr int kGameButtonIdBase = 180;
constexpr int kGameBrowserId = 170;
constexpr int kGameLogoId = 300;

// Game-button types.
constexpr int kGameButtonLink = 1;
constexpr int kGameButtonClose = 5;
constexpr int kGameButtonMaximize = 6;
constexpr int kGameButtonMinimize = 7;
constexpr int kGameButtonHideToTray = 8;
constexpr int kGameButtonRestore = 10;
constexpr int kGameButtonSettings = 11;
constexpr int kGameButtonPageLink = 12;

// The notification-area icon's identifier and the message it reports with (wParam the
// identifier, lParam the mouse message over the icon).
constexpr unsigned kTrayIconId = 128;
constexpr unsigned kWmTrayNotify = ui::kWmUser + 1001;

class CGameDialog : public ui::Dialog, public IJsCallClientHandler {
 public:
  // config outlives the window; executablePath is the running program (the close question's
  // caption and what a restart starts).
  CGameDialog(ui::Window* parent, const LauncherConfig& config, std::string executablePath);
  ~CGameDialog() override;

  // The game page's address; at most 255 bytes are kept (the application refuses longer ones
  // before it gets here).
  void SetGameUrl(std::string_view url);
  const std::string& GetGameUrl() const { return gameUrl; }

  bool OnInitDialog() override;
  bool OnCommand(ui::WParam wParam, ui::LParam lParam) override;
  bool PreTranslateMessage(ui::Message& message) override;
  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;
  // Both ask the close question.
  void OnOK() override;
  void OnCancel() override;

  // Places the buttons and the page for the current state and size, and repaints.
  void LayoutChildren();
  void Maximize();
  void Restore();
  // The first created button whose command type is type, or null.
  CxSkinButton* FindButtonByType(int type) const;

  // Commands.
  void ShowSettingsMenu();
  void HideToTray();
  ui::LResult OnTrayNotify(ui::WParam wParam, ui::LParam lParam);
  void ConfirmRestart();
  void RestartProgram();
  void ConfirmClearCache();
  void ClearUrlCache();
  void ToggleFullScreen();
  void EnterFullScreen();
  void ExitFullScreen();
  void RegisterShortcuts();

  // The script bridge: performs one JsCallClient call of the page.
  void OnJsCallClient(const std::vector<ui::ScriptValue>& args) override;

  // State, for the application and tests.
  CWebBrowserEx* GetBrowser() const { return browser.get(); }
  GameDialogCallback* GetScriptObject() const { return scriptObject.get(); }
  const std::vector<std::unique_ptr<CxSkinButton>>& GetButtons() const { return buttons; }
  const ui::StaticPicture& GetLogo() const { return logo; }
  const FramePieces& GetPieces() const { return pieces; }
  const ui::Bitmap& GetPieceBitmap(int piece) const {
    return pieceBitmaps[static_cast<std::size_t>(piece - 1)];
  }
  const std::string& GetTitleText() const { return titleText; }
  bool IsMaximized() const { return maximized; }
  bool IsFullScreen() const { return fullScreen; }
  bool IsInitialized() const { return initialized; }
  const ui::Placement& GetRestorePlacement() const { return restorePlacement; }
  bool IsRestoreRectKnown() const { return restoreRectKnown; }
  ui::Size GetMinTrackSize() const { return {minTrackWidth, minTrackHeight}; }
  const ShortcutSlots& GetShortcutSlots() const { return shortcutSlots; }

 private:
  bool CreateButtons(const ui::Bitmap& sheet);
  void OnPaint(ui::Canvas& canvas);
  ui::LResult OnMouseMove(ui::WParam wParam, ui::LParam lParam);
  bool OnTitleStripDoubleClick(const ui::Message& message);
  void Minimize();
  void LayoutIfSizeKept(const ui::Rect& before);
  void RunShortcut(ShortcutAction action);
  void EndWithOk();
  std::string CloseCaption() const;

  const LauncherConfig& config_;
  std::string executablePath_;

  // The script object goes after the browser that hands it to pages (members die in reverse).
  std::unique_ptr<GameDialogCallback> scriptObject;
  std::unique_ptr<CWebBrowserEx> browser;
  std::string gameUrl;
  std::array<ui::Bitmap, kFramePieceCount> pieceBitmaps;
  FramePieces pieces;
  ui::StaticPicture logo;
  std::vector<std::unique_ptr<CxSkinButton>> buttons;
  ShortcutSlots shortcutSlots{};
  std::string titleText;
  int titleX = 0;
  int titleY = 0;
  int titleLength = 0;
  ui::ColorRef titleColor = 0;
  bool fullScreen = false;
  bool maximized = false;
  ui::Rect fullScreenRect;
  ui::Placement savedPlacement;
  ui::Placement restorePlacement;
  bool restoreRectKnown = false;
  int minTrackWidth = 0;
  int minTrackHeight = 0;
  bool initialized = false;
  // The drag's last point (client coordinates): where the pointer was when it last moved
  // without dragging.
  ui::Point dragLastPoint;
};

}  // namespace launcher

// The windows the application runs, one after the other.
#include "app/LauncherApp.h"
#include "game/GameDialog.h"
#include "launcher/LauncherDialogs.h"

namespace launcher {

void LauncherApp::RunLauncherWindow() {
  // The window takes over the main picture; it lives until the application ends.
  auto dialog = std::make_unique<CLauncherTranslucentDlg>(std::move(mainPicture), nullptr, config,
                                                          GetExecutablePath(), launcherOutcome);
  launcherDialog = dialog.get();
  windows_.push_back(std::move(dialog));
  launcherDialog->DoModal();
}

void LauncherApp::RunGameWindow(const std::string& gameUrl) {
  // No parent: the game window is the run's main window; it lives until the application ends.
  auto dialog = std::make_unique<CGameDialog>(nullptr, config, GetExecutablePath());
  gameDialog = dialog.get();
  windows_.push_back(std::move(dialog));
  gameDialog->SetGameUrl(gameUrl);
  gameDialog->DoModal();
}

}  // namespace launcher

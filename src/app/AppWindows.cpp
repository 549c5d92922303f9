// The windows the application runs, one after the other.
#include "app/LauncherApp.h"
#include "launcher/LauncherDialogs.h"

namespace launcher {

void LauncherApp::RunLauncherWindow() {
  // The window takes over the main picture; it lives until the application ends.
  auto dialog =
      std::make_unique<CLauncherTranslucentDlg>(std::move(mainPicture), nullptr, config, *this);
  launcherDialog = dialog.get();
  windows_.push_back(std::move(dialog));
  launcherDialog->DoModal();
}

void LauncherApp::RunGameWindow(const std::string& /*gameUrl*/) {}

}  // namespace launcher

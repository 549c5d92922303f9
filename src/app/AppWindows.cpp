// The windows the application runs. They arrive with the launcher and game window code; until
// then start-up ends after its checks.
#include "app/LauncherApp.h"

namespace launcher {

void LauncherApp::RunLauncherWindow() {}

void LauncherApp::RunGameWindow(const std::string& /*gameUrl*/) {}

}  // namespace launcher

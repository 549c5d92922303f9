#include <iostream>
#include <string>
#include <utility>

#include "app/AppPlatform.h"
#include "app/DesktopShortcut.h"
#include "app/LauncherApp.h"

// Also the entry of the Windows build, a program of the graphical subsystem: there standard
// error leads nowhere, and the display is never missing.
int main() {
  launcher::StartupPaths paths = launcher::StartupPaths::FromProcess();
  std::string problem;
  if (!launcher::PrepareDisplay(&problem)) {
    std::cerr << launcher::ShortcutBaseName(paths.executablePath) << ": " << problem << "\n";
    return 1;
  }
  launcher::LauncherApp app(std::move(paths));
  app.InitInstance();
  return app.ExitInstance();
}

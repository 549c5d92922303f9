#include <cstdlib>
#include <iostream>

#include "app/DesktopShortcut.h"
#include "app/DisplayChoice.h"
#include "app/LauncherApp.h"

int main() {
  launcher::StartupPaths paths = launcher::StartupPaths::FromProcess();
  // Before the toolkit starts: it reads its backend from the environment once.
  const launcher::DisplayChoice display = launcher::ChooseDisplay(std::getenv);
  if (display.kind == launcher::DisplayChoice::Kind::kNoDisplay) {
    std::cerr << launcher::ShortcutBaseName(paths.executablePath) << ": " << display.message
              << "\n";
    return 1;
  }
  if (display.kind == launcher::DisplayChoice::Kind::kX11) {
    setenv("GDK_BACKEND", "x11", 1);
  }
  launcher::LauncherApp app(std::move(paths));
  app.InitInstance();
  return app.ExitInstance();
}

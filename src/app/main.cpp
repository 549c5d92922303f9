#include "app/LauncherApp.h"

int main() {
  launcher::LauncherApp app(launcher::StartupPaths::FromProcess());
  app.InitInstance();
  return app.ExitInstance();
}

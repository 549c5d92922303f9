// The windows the application runs. They arrive with the launcher and game window code; until
// then the launcher window only does its part of the self-update.
#include "app/LauncherApp.h"
#include "ui/Message.h"
#include "ui/Platform.h"
#include "update/UpdateThread.h"

namespace launcher {
namespace {

// Stands in for the launcher window as the receiver of the update result.
class UpdateResultReceiver : public ui::MessageTarget {
 public:
  void OnPostedMessage(unsigned /*message*/, std::uintptr_t /*wParam*/,
                       std::intptr_t /*lParam*/) override {
    ui::QuitMessageLoop();
  }
};

}  // namespace

// The real launcher window replaces this: it starts the check while it initialises and runs on
// whatever the worker finds. Until then the check is all there is, and the window "closes" as
// soon as the worker has posted its result (or has ended the process to update).
void LauncherApp::RunLauncherWindow() {
  UpdateResultReceiver receiver;
  ui::WindowId owner = ui::RegisterTarget(&receiver);
  std::shared_ptr<const CUpdateInfo> update = StartUpdateCheck(config.GetSettings(), owner);
  ui::RunMessageLoop();
  ui::UnregisterTarget(owner);
}

void LauncherApp::RunGameWindow(const std::string& /*gameUrl*/) {}

}  // namespace launcher

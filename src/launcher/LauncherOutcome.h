// What the launcher window leaves for start-up as it closes.
#pragma once

#include <string>

namespace launcher {

// Owned by whoever runs the launcher window, and outlives it. UI thread.
struct LauncherOutcome {
  // The game's address the login page handed over; empty while none was.
  std::string startUrl;
  // The window closed for an installed update: start-up then starts the new build instead of
  // going on to the game window.
  bool restartIntoUpdate = false;
};

}  // namespace launcher

// The application: start-up, the windows one after the other, exit.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "config/LauncherConfig.h"
#include "launcher/LauncherOutcome.h"
#include "ui/Window.h"

namespace launcher {

class CGameDialog;
class CLauncherTranslucentDlg;

// Where start-up looks: the running executable, the current directory and the desktop folder.
struct StartupPaths {
  std::string executablePath;
  std::string currentDirectory;
  std::optional<std::string> desktopDirectory;
  // Where the shortcut's icon is installed (under icons/hicolor); none: the entry has no icon.
  std::optional<std::string> dataDirectory;

  // Read from the running process and the user's desktop settings.
  static StartupPaths FromProcess();
};

class LauncherApp {
 public:
  explicit LauncherApp(StartupPaths paths);
  virtual ~LauncherApp();
  LauncherApp(const LauncherApp&) = delete;
  LauncherApp& operator=(const LauncherApp&) = delete;

  // Runs the whole program; returns false in every case (nothing is left to run after it).
  bool InitInstance();
  int ExitInstance();

  LauncherConfig& GetConfig() { return config; }
  CGameDialog* GetGameDialog() const { return gameDialog; }
  void SetStartUrl(const std::string& url) { launcherOutcome.startUrl = url; }
  bool WillRestartIntoUpdate() const { return launcherOutcome.restartIntoUpdate; }
  const std::string& GetStartUrl() const { return launcherOutcome.startUrl; }
  const Bitmap* GetMainPicture() const { return mainPicture.get(); }
  const std::string& GetExecutablePath() const { return paths_.executablePath; }

  // The application object of this process (null before one is constructed).
  static LauncherApp* Current();

 protected:
  // The two windows, each run modally. The launcher leaves its outcome in launcherOutcome.
  virtual void RunLauncherWindow();
  virtual void RunGameWindow(const std::string& gameUrl);

  // Caption of the start-up failure boxes, and of the box when the platform cannot start.
  void ShowStartupFailure(std::string_view gbkMessage);

  LauncherConfig config;
  std::unique_ptr<Bitmap> mainPicture;
  CGameDialog* gameDialog = nullptr;
  CLauncherTranslucentDlg* launcherDialog = nullptr;
  LauncherOutcome launcherOutcome;

 private:
  void RemoveUpdateLeftovers(bool buildStarts);
  // The operator's icon (kIconEntry), when packed, becomes every window's and the notification
  // area's.
  void UseOperatorIcon();
  void EnsureDesktopShortcut();

  StartupPaths paths_;
  // The windows made so far; they live as long as the application.
  std::vector<std::unique_ptr<ui::Window>> windows_;
};

// A firstUrl longer than this many bytes skips the launcher window.
constexpr std::size_t kFirstUrlThreshold = 2;

}  // namespace launcher

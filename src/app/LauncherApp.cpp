#include "app/LauncherApp.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "app/DesktopShortcut.h"
#include "ui/MessageBox.h"
#include "ui/Platform.h"
#include "ui/Text.h"
#include "update/UpdateFiles.h"

namespace launcher {
namespace {

LauncherApp* gCurrent = nullptr;

std::string CurrentDirectory() {
  std::string dir(4096, '\0');
  if (!getcwd(dir.data(), dir.size())) return {};
  dir.resize(std::char_traits<char>::length(dir.c_str()));
  return dir;
}

}  // namespace

StartupPaths StartupPaths::FromProcess() {
  return {OwnExecutablePath(), CurrentDirectory(), FindDesktopDirectory()};
}

LauncherApp::LauncherApp(StartupPaths paths) : paths_(std::move(paths)) { gCurrent = this; }

LauncherApp::~LauncherApp() {
  if (gCurrent == this) gCurrent = nullptr;
}

LauncherApp* LauncherApp::Current() { return gCurrent; }

void LauncherApp::ShowStartupFailure(std::string_view gbkMessage) {
  ui::MessageBox(nullptr, gbkMessage, ui::Gbk("启动失败"), ui::kMbOk);
}

void LauncherApp::RemoveUpdateLeftovers() {
  if (paths_.currentDirectory.empty()) return;
  for (const char* name : {kBackupName, kUpdateBatchName, kUpdateScriptName}) {
    std::string path = paths_.currentDirectory + "/" + name;
    std::remove(path.c_str());  // failures are of no consequence
  }
}

void LauncherApp::UseOperatorIcon() {
  // Optional: without it (or when it does not decode) the built-in icon stays, silently.
  std::vector<std::uint8_t> bytes;
  Bitmap icon;
  if (config.ReadEntry(kOperatorIconEntry, &bytes) &&
      DecodePng(bytes.data(), bytes.size(), &icon)) {
    ui::SetAppIcon(icon);
  }
}

void LauncherApp::EnsureDesktopShortcut() {
  if (!paths_.desktopDirectory || paths_.desktopDirectory->empty() || paths_.executablePath.empty()) {
    return;
  }
  const std::string& desktop = *paths_.desktopDirectory;
  if (desktop == paths_.currentDirectory) return;
  if (ShortcutExists(paths_.executablePath, desktop)) return;
  std::string name = ShortcutBaseName(paths_.executablePath);
  if (name.empty()) return;
  CreateShortcut(paths_.executablePath, desktop + "/" + name + ".desktop");
}

bool LauncherApp::InitInstance() {
  if (!ui::InitPlatform()) {
    // Without a display there is no box to show; say it where a terminal can see it.
    std::cerr << ShortcutBaseName(paths_.executablePath)
              << ": cannot start the user interface (no display?)\n";
    return false;
  }
  RemoveUpdateLeftovers();

  config.SetMessageSink([this](std::string_view message) { ShowStartupFailure(message); });
  if (!config.OpenArchiveAt(paths_.executablePath)) return false;
  if (!config.LoadConfigFile("config/cg.txt")) return false;
  if (!config.ParseConfig()) return false;
  if (!config.LoadGdiplusImage("config/main1.png", &mainPicture)) return false;
  UseOperatorIcon();

  EnsureDesktopShortcut();

  const std::string& firstUrl = config.GetSettings().firstUrl;
  if (firstUrl.size() > kFirstUrlThreshold) {
    RunGameWindow(firstUrl);
    return false;
  }
  RunLauncherWindow();
  if (!startUrl.empty()) RunGameWindow(startUrl);
  return false;
}

int LauncherApp::ExitInstance() {
  gameDialog = nullptr;
  return 0;
}

}  // namespace launcher

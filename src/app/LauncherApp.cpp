#include "app/LauncherApp.h"

#include <cstdio>
#include <iostream>
#include <thread>

#include "app/DesktopShortcut.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "config/Png.h"
#include "res/AppIcon.h"
#include "ui/MessageBox.h"
#include "ui/Platform.h"
#include "update/UpdatePlatform.h"
#include "update/UpdateThread.h"

namespace launcher {
namespace {

LauncherApp* gCurrent = nullptr;

}  // namespace

StartupPaths StartupPaths::FromProcess() {
  return {OwnExecutablePath(), CurrentDirectory(), FindDesktopDirectory(), FindDataDirectory()};
}

LauncherApp::LauncherApp(StartupPaths paths) : paths_(std::move(paths)) { gCurrent = this; }

LauncherApp::~LauncherApp() {
  if (gCurrent == this) {
    gCurrent = nullptr;
  }
}

LauncherApp* LauncherApp::Current() { return gCurrent; }

void LauncherApp::ShowStartupFailure(std::string_view gbkMessage) {
  ui::MessageBox(nullptr, gbkMessage, Gbk("启动失败"), ui::kMbOk);
}

// An update leaves files in the executable's folder, and older builds left them in the
// current directory: both are cleaned. Failures are of no consequence.
void LauncherApp::RemoveUpdateLeftovers(bool buildStarts) {
  const std::string& own = paths_.executablePath;
  std::vector<std::string> folders = {paths_.currentDirectory};
  if (FolderOfPath(own) != paths_.currentDirectory) {
    folders.push_back(FolderOfPath(own));
  }
  for (const std::string& folder : folders) {
    // The backup is the previous, working build: it goes only once this one has shown that it
    // starts (its package and configuration load), never before.
    if (buildStarts) {
      RemoveUpdateBackup(folder, own);
    } else {
      RemoveUpdateScriptsAndDownloads(folder, own);
    }
  }
}

void LauncherApp::UseOperatorIcon() {
  // Optional: without it (or when it does not decode) the built-in icon stays, silently.
  std::vector<std::uint8_t> bytes;
  Bitmap icon;
  if (config.ReadEntry(kIconEntry, &bytes) && DecodePng(bytes.data(), bytes.size(), &icon)) {
    ui::SetAppIcon(icon);
  }
}

void LauncherApp::EnsureDesktopShortcut() {
  if (!paths_.desktopDirectory || paths_.desktopDirectory->empty() ||
      paths_.executablePath.empty()) {
    return;
  }
  const std::string& desktop = *paths_.desktopDirectory;
  if (desktop == paths_.currentDirectory) {
    return;
  }
  if (ShortcutExists(paths_.executablePath, desktop)) {
    return;
  }
  std::string name = ShortcutBaseName(paths_.executablePath);
  if (name.empty()) {
    return;
  }
  std::string icon;
  if (paths_.dataDirectory) {
    std::vector<std::uint8_t> packed;
    const bool hasIcon = config.ReadEntry(kIconEntry, &packed);
    int side = 0;
    std::vector<std::uint8_t> png = ShortcutIconPng(hasIcon ? &packed : nullptr, &side);
    icon =
        InstallShortcutIcon(*paths_.dataDirectory, paths_.executablePath, png, side).value_or("");
  }
  CreateShortcut(paths_.executablePath, ShortcutPathIn(desktop, name), icon);
}

bool LauncherApp::InitInstance() {
  // The package is read and its picture decoded on a second thread while this one starts the
  // toolkit; neither waits for the other until both are done. Until then the model belongs to
  // that thread, and the message of a failing step waits to be shown here.
  std::optional<std::string> failure;
  bool loaded = false;
  std::thread reader([this, &failure, &loaded] {
    config.SetMessageSink([&failure](std::string_view message) {
      if (!failure) {
        failure = std::string(message);
      }
    });
    loaded = config.OpenArchiveAt(paths_.executablePath) &&
             config.LoadConfigFile("config/cg.txt") && config.ParseConfig() &&
             config.LoadGdiplusImage("config/main1.png", &mainPicture);
    // A background that does not decode would leave a window with nothing to see or click.
    if (loaded && mainPicture->Empty()) {
      failure = Gbk("读取图片失败");
      loaded = false;
    }
  });
  ui::SetBuiltInAppIcon(res::AppIcon);
  const bool platform = ui::InitPlatform();
  reader.join();
  if (!platform) {
    // Without a display there is no box to show; say it where a terminal can see it.
    std::cerr << ShortcutBaseName(paths_.executablePath)
              << ": cannot start the user interface (no display?)\n";
    return false;
  }
  RemoveUpdateLeftovers(false);
  config.SetMessageSink([this](std::string_view message) { ShowStartupFailure(message); });
  if (!loaded) {
    // A refused configuration has no message of its own.
    if (failure) {
      ShowStartupFailure(*failure);
    }
    return false;
  }
  RemoveUpdateLeftovers(true);
  UseOperatorIcon();

  EnsureDesktopShortcut();

  const std::string& firstUrl = config.GetSettings().firstUrl;
  if (firstUrl.size() > kFirstUrlThreshold) {
    RunGameWindow(firstUrl);
    return false;
  }
  RunLauncherWindow();
  if (launcherOutcome.restartIntoUpdate) {
    // The launcher closed for the new build, which is at this executable's path by now.
    StartDetached(paths_.executablePath);
    return false;
  }
  if (!launcherOutcome.startUrl.empty()) {
    RunGameWindow(launcherOutcome.startUrl);
  }
  return false;
}

int LauncherApp::ExitInstance() {
  // The last window has closed: the process ends now, whatever the update worker is doing.
  CancelUpdateWorker();
  gameDialog = nullptr;
  return 0;
}

}  // namespace launcher

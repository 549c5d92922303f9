// The update worker: checks the server's version text and, when a newer build is published,
// downloads it and hands over to the replacement, which ends the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Platform.h"
#include "config/LauncherConfig.h"
#include "ui/Message.h"
#include "update/HttpDownload.h"
#include "update/UpdatePlatform.h"

namespace launcher {

// The update result codes, posted to the owner as the message number (wParam: the record's
// address, lParam: 0).
constexpr unsigned kUpdateUpToDate = 0;
constexpr unsigned kUpdateNoRecord = 10003;
constexpr unsigned kUpdateVersionFailed = 10009;
constexpr unsigned kUpdateVersionUnreadable = 10010;
// Also a download refused before installing: not a build this launcher could start, not the
// published version, or (for a package with a key) not signed by its publisher.
constexpr unsigned kUpdateExecutableFailed = 10011;
// The replacement cannot be made (the executable's folder does not take the new file, the
// backup or the rename fails); the running build stays in place.
constexpr unsigned kUpdateBatchFailed = 10013;
// The new build is at the executable's path and runs at the next start. The owner restarts into
// it only while nothing else is open; the process never ends under the player.
constexpr unsigned kUpdateInstalled = 10016;

// The largest version text read; its first line is all that is used.
constexpr std::uint64_t kMaxVersionTextBytes = std::uint64_t{64} * 1024;
// The largest executable accepted, so that an endless body ends too.
constexpr std::uint64_t kMaxExecutableBytes = std::uint64_t{1} << 30;

// Any thread. Ends the worker's transfers within a fraction of a second and keeps it from
// installing anything from then on; nothing half-written is left at the executable's path (the
// new build only ever arrives there by one rename). The application calls it when its last
// window has closed, so that the process ends at once. A worker started later is not affected.
void CancelUpdateWorker();

// The record the worker works on: complete before the worker starts, read-only after. Texts
// are the configuration's (GBK); the working directory is the file system's.
struct CUpdateInfo {
  CUpdateInfo(ui::WindowId owner, std::string version, std::string server, int port,
              std::string versionUrl, std::string exeUrl,
              std::string workingDirectory = CurrentDirectory(),
              std::optional<std::string> updateKey = std::nullopt);

  std::string versionUrl;  // server path of the version text, "/..."
  std::string exeUrl;      // server path of the new executable, "/..."
  std::string server;      // host, optionally with "http://" or "https://"
  std::string version;     // the running build's version, "major.minor"
  int port = 80;
  std::string workingDirectory;  // receives the version text; the current directory by default
  ui::WindowId owner = 0;        // receives the result code
  // The package's update key (config/update.pub) when it carries one: every new build must then
  // come with its signature. A key of the wrong size refuses every build.
  std::optional<std::string> updateKey;
};

// What the worker uses of the world, with the product's values by default. Tests shorten the
// time-outs and bounds and name another executable to replace.
struct UpdateEnvironment {
  HttpTimeouts timeouts;
  std::uint64_t maxVersionTextBytes = kMaxVersionTextBytes;
  std::uint64_t maxExecutableBytes = kMaxExecutableBytes;
  std::function<std::uint32_t()> tickCount;   // default: milliseconds since system start
  std::string ownPath;                        // default: the running executable
  const std::atomic<bool>* cancel = nullptr;  // default: the flag of CancelUpdateWorker
};

// Worker thread. Runs one check and posts its result to the record's owner exactly once (unless
// cancelled: the application is ending then): the
// version text, and when a newer version is published the new build, downloaded beside the
// executable, flushed, checked and installed in its place. Without a record posts 10003 to no
// window (so it is dropped). Returns 0.
int UpdateThreadProc(const std::shared_ptr<const CUpdateInfo>& info,
                     const UpdateEnvironment& environment = {});

// UI thread. Runs UpdateThreadProc on a detached thread of its own; the worker keeps its share
// of the record, so the record outlives the window that made it as long as needed.
void StartUpdateThread(std::shared_ptr<const CUpdateInfo> info, UpdateEnvironment environment = {});

// UI thread. What the launcher window does while it initialises: builds the record from the
// configuration (and the package's update key, when it has one), with the current directory as
// the working directory and owner as the receiver of the result, and starts the worker on it.
std::shared_ptr<const CUpdateInfo> StartUpdateCheck(const LauncherConfig& config,
                                                    ui::WindowId owner);
std::shared_ptr<const CUpdateInfo> StartUpdateCheck(const GlobalSettings& settings,
                                                    ui::WindowId owner);

}  // namespace launcher

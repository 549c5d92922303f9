// The update worker: checks the server's version text and, when a newer build is published,
// downloads it and hands over to the replacement, which ends the process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/LauncherConfig.h"
#include "ui/Message.h"
#include "update/HttpDownload.h"
#include "update/UpdatePlatform.h"

namespace launcher {

// The update result codes, posted to the owner as the message number (wParam: the record's
// address, lParam: 0). A successful update posts nothing: the process ends.
constexpr unsigned kUpdateUpToDate = 0;
constexpr unsigned kUpdateNoRecord = 10003;
constexpr unsigned kUpdateVersionFailed = 10009;
constexpr unsigned kUpdateVersionUnreadable = 10010;
constexpr unsigned kUpdateExecutableFailed = 10011;
constexpr unsigned kUpdateBatchFailed = 10013;

// The largest version text read; its first line is all that is used.
constexpr std::uint64_t kMaxVersionTextBytes = std::uint64_t{64} * 1024;
// The largest executable accepted, so that an endless body ends too.
constexpr std::uint64_t kMaxExecutableBytes = std::uint64_t{1} << 30;

// The record the worker works on: complete before the worker starts, read-only after. Texts
// are the configuration's (GBK); the working directory is the file system's.
struct CUpdateInfo {
  CUpdateInfo(ui::WindowId owner, std::string version, std::string server, int port,
              std::string versionUrl, std::string exeUrl,
              std::string workingDirectory = CurrentDirectory());

  std::string versionUrl;  // server path of the version text, "/..."
  std::string exeUrl;      // server path of the new executable, "/..."
  std::string server;      // host, optionally with "http://" or "https://"
  std::string version;     // the running build's version, "major.minor"
  int port = 80;
  std::string workingDirectory;  // receives the downloads; the current directory by default
  ui::WindowId owner = 0;        // receives the result code
};

// What the worker uses of the world, with the product's values by default. Tests shorten the
// time-outs and bounds and catch the hand-over instead of ending the process.
struct UpdateEnvironment {
  HttpTimeouts timeouts;
  std::uint64_t maxVersionTextBytes = kMaxVersionTextBytes;
  std::uint64_t maxExecutableBytes = kMaxExecutableBytes;
  std::function<std::uint32_t()> tickCount;  // default: milliseconds since system start
  // Takes the downloaded executable; returns only when the replacement cannot be made.
  std::function<void(const std::string& downloadedPath)> handOver;  // default: WriteUpdateBatch
};

// Worker thread. Runs one check and posts its result to the record's owner exactly once,
// unless the process ends in the hand-over. Without a record posts 10003 to no window (so it
// is dropped). Returns 0.
int UpdateThreadProc(const std::shared_ptr<const CUpdateInfo>& info,
                     const UpdateEnvironment& environment = {});

// UI thread. Runs UpdateThreadProc on a detached thread of its own; the worker keeps its share
// of the record, so the record outlives the window that made it as long as needed.
void StartUpdateThread(std::shared_ptr<const CUpdateInfo> info, UpdateEnvironment environment = {});

// UI thread. What the launcher window does while it initialises: builds the record from the
// configuration, with the current directory as the working directory and owner as the
// receiver of the result, and starts the worker on it.
std::shared_ptr<const CUpdateInfo> StartUpdateCheck(const GlobalSettings& settings,
                                                    ui::WindowId owner);

}  // namespace launcher

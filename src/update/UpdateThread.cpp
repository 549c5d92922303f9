#include "update/UpdateThread.h"

#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>

#include "update/UpdateRules.h"

namespace launcher {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// One transfer of a path on the update server into a file named after it, in the working
// directory and behind this run's prefix. Sets *target to that file; false when it failed.
bool FetchFromServer(const CUpdateInfo& info, const UpdateEnvironment& env,
                     const std::string& prefix, const std::string& serverPath,
                     const HttpBodyLimits& limits, std::string* target) {
  *target = PathInFolder(info.workingDirectory, prefix + FileNameFromPath(serverPath));
  CHttpDownload download;
  download.SetUrlAndTarget(BuildUpdateUrl(info.server, info.port, serverPath), *target);
  download.SetTimeouts(env.timeouts);
  download.SetBodyLimits(limits);
  return download.Download();
}

// The check itself. Returns the result to post, or does not return when the hand-over ends the
// process. *failure is kept at the code a failure in the current step would post, so that
// whatever escapes (memory running out) still ends in one posted result.
unsigned RunCheck(const CUpdateInfo& info, const UpdateEnvironment& env, unsigned* failure) {
  *failure = kUpdateVersionFailed;
  // One prefix for both downloads of this run.
  const std::string prefix = FormatTickPrefix(env.tickCount ? env.tickCount() : MillisecondTicks());

  std::string versionPath;
  if (!FetchFromServer(info, env, prefix, info.versionUrl,
                       {env.maxVersionTextBytes, /*allowEmpty=*/true}, &versionPath)) {
    return kUpdateVersionFailed;
  }

  std::string head(kVersionLineLimit, '\0');
  {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(versionPath.c_str(), "rb"));
    if (!file) {
      std::remove(versionPath.c_str());
      return kUpdateVersionUnreadable;
    }
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  }
  std::remove(versionPath.c_str());
  if (!IsUpdateNeeded(info.version, FirstVersionLine(head))) {
    return kUpdateUpToDate;
  }

  *failure = kUpdateExecutableFailed;
  std::string executablePath;
  if (!FetchFromServer(info, env, prefix, info.exeUrl,
                       {env.maxExecutableBytes, /*allowEmpty=*/false}, &executablePath)) {
    return kUpdateExecutableFailed;
  }

  *failure = kUpdateBatchFailed;
  if (env.handOver) {
    env.handOver(executablePath);
  } else {
    WriteUpdateBatch(executablePath);
  }
  // Still running: the replacement could not be made. The download is removed, or every start
  // would leave one more copy of the executable behind.
  std::remove(executablePath.c_str());
  return kUpdateBatchFailed;
}

}  // namespace

CUpdateInfo::CUpdateInfo(ui::WindowId owner, std::string version, std::string server, int port,
                         std::string versionUrl, std::string exeUrl, std::string workingDirectory)
    : versionUrl(std::move(versionUrl)),
      exeUrl(std::move(exeUrl)),
      server(std::move(server)),
      version(std::move(version)),
      port(port),
      workingDirectory(std::move(workingDirectory)),
      owner(owner) {}

int UpdateThreadProc(const std::shared_ptr<const CUpdateInfo>& info,
                     const UpdateEnvironment& environment) {
  unsigned result = kUpdateNoRecord;
  if (info) {
    unsigned failure = kUpdateVersionFailed;
    try {
      result = RunCheck(*info, environment, &failure);
    } catch (...) {
      result = failure;
    }
  }
  ui::PostMessage(info ? info->owner : 0, result, reinterpret_cast<std::uintptr_t>(info.get()), 0);
  return 0;
}

void StartUpdateThread(std::shared_ptr<const CUpdateInfo> info, UpdateEnvironment environment) {
  CHttpDownload::InitGlobal();
  const ui::WindowId owner = info ? info->owner : 0;
  const auto address = reinterpret_cast<std::uintptr_t>(info.get());
  try {
    std::thread([info = std::move(info), environment = std::move(environment)] {
      UpdateThreadProc(info, environment);
    }).detach();
  } catch (const std::system_error&) {
    // No thread to run the check: report it as a check that could not be made, so that the
    // owner still hears of it once.
    ui::PostMessage(owner, address != 0 ? kUpdateVersionFailed : kUpdateNoRecord, address, 0);
  }
}

std::shared_ptr<const CUpdateInfo> StartUpdateCheck(const GlobalSettings& settings,
                                                    ui::WindowId owner) {
  auto info =
      std::make_shared<const CUpdateInfo>(owner, settings.version, settings.server, settings.port,
                                          settings.versionUrl, settings.exeUrl);
  StartUpdateThread(info);
  return info;
}

}  // namespace launcher

#include "update/UpdateThread.h"

#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "base/Platform.h"
#include "update/UpdateFiles.h"
#include "update/UpdateRules.h"
#include "update/UpdateVerify.h"

namespace launcher {
namespace {

std::atomic<bool> gWorkerCancelled{false};

struct FileCloser {
  // The deleter of a unique_ptr, which is the owner.
  void operator()(std::FILE* f) const {
    std::fclose(f);  // NOLINT(cppcoreguidelines-owning-memory)
  }
};

// One transfer of a server path into folder/name. False when it failed (nothing is left then).
bool Fetch(const CUpdateInfo& info, const UpdateEnvironment& env, const std::string& serverPath,
           const std::string& target, const HttpBodyLimits& limits, CHttpDownload* download) {
  download->SetUrlAndTarget(BuildUpdateUrl(info.server, info.port, serverPath), target);
  download->SetTimeouts(env.timeouts);
  download->SetBodyLimits(limits);
  download->SetCancelFlag(env.cancel ? env.cancel : &gWorkerCancelled);
  return download->Download();
}

// The first bytes of a file, at most limit of them; empty when it cannot be read.
bool ReadHead(const std::string& path, std::size_t limit, std::string* bytes) {
  std::unique_ptr<std::FILE, FileCloser> file(OpenFileForReading(path));
  if (!file) {
    return false;
  }
  bytes->assign(limit, '\0');
  bytes->resize(std::fread(bytes->data(), 1, bytes->size(), file.get()));
  return true;
}

ExecutableFormat FormatOfFile(const std::string& path) {
  MappedFile file;
  if (file.Open(path) != MappedFile::Status::kOk) {
    return {};
  }
  return ReadExecutableFormat(file.Data(), file.Size());
}

// The check itself. Returns the result to post. *failure is kept at the code a failure in the
// current step would post, so that whatever escapes (memory running out) still ends in one
// posted result.
unsigned RunCheck(const CUpdateInfo& info, const UpdateEnvironment& env, unsigned* failure) {
  const std::atomic<bool>& cancel = env.cancel ? *env.cancel : gWorkerCancelled;
  *failure = kUpdateVersionFailed;
  // One name stem for the files of this run; the prefix marks them as an update's.
  const std::string stem =
      kDownloadPrefix + FormatTickPrefix(env.tickCount ? env.tickCount() : MillisecondTicks());

  std::string publishedLine;
  {
    const std::string path =
        PathInFolder(info.workingDirectory, stem + FileNameFromPath(info.versionUrl));
    CHttpDownload version;
    if (!Fetch(info, env, info.versionUrl, path, {env.maxVersionTextBytes, /*allowEmpty=*/true},
               &version)) {
      return kUpdateVersionFailed;
    }
    version.File().Close();
    std::string head;
    const bool read = ReadHead(path, kVersionLineLimit, &head);
    RemoveFile(path);
    if (!read) {
      return kUpdateVersionUnreadable;
    }
    publishedLine = FirstVersionLine(head);
  }
  if (!IsUpdateNeeded(info.version, publishedLine)) {
    return kUpdateUpToDate;
  }

  // The new build is written beside the executable, so that one rename on one file system puts
  // it in place. Without the right to do that there is nothing to download for.
  *failure = kUpdateBatchFailed;
  const std::string ownPath = env.ownPath.empty() ? OwnExecutablePath() : env.ownPath;
  const std::string folder = FolderOfPath(ownPath);
  if (!FolderIsWritable(folder)) {
    return kUpdateBatchFailed;
  }

  *failure = kUpdateExecutableFailed;
  const std::string exeName = FileNameFromPath(info.exeUrl);
  CHttpDownload build;
  if (!Fetch(info, env, info.exeUrl, PathInFolder(folder, stem + exeName),
             {env.maxExecutableBytes, /*allowEmpty=*/false}, &build)) {
    return kUpdateExecutableFailed;
  }
  const std::string buildPath = build.File().Path();
  // From here every way out but the installation removes the download.
  auto refuse = [&](unsigned result) {
    build.File().Close();
    RemoveFile(buildPath);
    return result;
  };

  BuildExpectation expected;
  expected.format = FormatOfFile(ownPath);
  expected.publishedVersion = publishedLine;
  if (info.updateKey) {
    expected.signatureRequired = true;
    expected.publicKey = *info.updateKey;
    const std::string sigPath = PathInFolder(folder, stem + exeName + kSignatureSuffix);
    CHttpDownload signature;
    if (!Fetch(info, env, info.exeUrl + kSignatureSuffix, sigPath,
               {kUpdateSignatureBytes, /*allowEmpty=*/false}, &signature)) {
      return refuse(kUpdateExecutableFailed);
    }
    signature.File().Close();
    ReadHead(sigPath, kUpdateSignatureBytes + 1, &expected.signature);
    RemoveFile(sigPath);
  }

  if (!build.File().FlushToDisk()) {
    return refuse(kUpdateExecutableFailed);
  }
  if (CheckDownloadedBuild(buildPath, expected) != BuildCheck::kOk) {
    return refuse(kUpdateExecutableFailed);
  }
  // The application is ending: it asked for nothing more to be started or changed.
  if (cancel.load()) {
    return refuse(kUpdateExecutableFailed);
  }

  *failure = kUpdateBatchFailed;
  if (!InstallBuild(build.File(), ownPath)) {
    return kUpdateBatchFailed;
  }
  return kUpdateInstalled;
}

}  // namespace

void CancelUpdateWorker() { gWorkerCancelled.store(true); }

CUpdateInfo::CUpdateInfo(ui::WindowId owner, std::string version, std::string server, int port,
                         std::string versionUrl, std::string exeUrl, std::string workingDirectory,
                         std::optional<std::string> updateKey)
    : versionUrl(std::move(versionUrl)),
      exeUrl(std::move(exeUrl)),
      server(std::move(server)),
      version(std::move(version)),
      port(port),
      workingDirectory(std::move(workingDirectory)),
      owner(owner),
      updateKey(std::move(updateKey)) {}

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
  // Once cancelled the application is ending and nobody is left to hear the result.
  const std::atomic<bool>* cancel = environment.cancel ? environment.cancel : &gWorkerCancelled;
  if (!cancel->load()) {
    ui::PostMessage(info ? info->owner : 0, result, reinterpret_cast<std::uintptr_t>(info.get()),
                    0);
  }
  return 0;
}

void StartUpdateThread(std::shared_ptr<const CUpdateInfo> info, UpdateEnvironment environment) {
  CHttpDownload::InitGlobal();
  // One worker per run: a cancellation was meant for an earlier one.
  gWorkerCancelled.store(false);
  const ui::WindowId owner = info ? info->owner : 0;
  const auto address = reinterpret_cast<std::uintptr_t>(info.get());
  try {
    // Detached: the process never waits for it. What it leaves at any instant of an ending
    // process is the old build or the new one at the executable's path, never a part of one.
    std::thread([info = std::move(info), environment = std::move(environment)] {
      UpdateThreadProc(info, environment);
    }).detach();
  } catch (const std::system_error&) {
    // No thread to run the check: report it as a check that could not be made, so that the
    // owner still hears of it once.
    ui::PostMessage(owner, address != 0 ? kUpdateVersionFailed : kUpdateNoRecord, address, 0);
  }
}

std::shared_ptr<const CUpdateInfo> StartUpdateCheck(const LauncherConfig& config,
                                                    ui::WindowId owner) {
  const GlobalSettings& settings = config.GetSettings();
  // A key that is there but cannot be read still asks for signatures: it then refuses every
  // build rather than letting an unsigned one in.
  std::optional<std::string> key;
  ArchiveEntryInfo entry;
  if (config.GetArchive() && FindArchiveEntry(config.GetArchive(), kUpdateKeyEntry, &entry) == 0) {
    std::vector<std::uint8_t> bytes;
    config.ReadEntry(kUpdateKeyEntry, &bytes);
    key.emplace(bytes.begin(), bytes.end());
  }
  auto info = std::make_shared<const CUpdateInfo>(owner, settings.version, settings.server,
                                                  settings.port, settings.versionUrl,
                                                  settings.exeUrl, CurrentDirectory(), key);
  StartUpdateThread(info);
  return info;
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

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>

#include "config/LauncherConfig.h"
#include "update/UpdateFiles.h"
#include "update/UpdatePlatform.h"
#include "update/UpdatePlatformPosix.h"
#include "update/UpdateRules.h"

extern char** environ;

namespace launcher {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
};

struct SpawnAttributes {
  posix_spawnattr_t attributes;
  SpawnAttributes() { posix_spawnattr_init(&attributes); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

bool WriteWholeFile(const std::string& path, const std::string& text) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "w"));
  if (!file) {
    return false;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  // Closing flushes: its failure is a failure to write.
  if (std::fclose(file.release()) != 0) {
    written = false;
  }
  return written;
}

}  // namespace

std::string CurrentDirectory() {
  std::string dir(4096, '\0');
  if (!getcwd(dir.data(), dir.size())) {
    return {};
  }
  dir.resize(std::char_traits<char>::length(dir.c_str()));
  return dir;
}

std::uint32_t MillisecondTicks() {
  // Boot time counts the time asleep as well, like the tick count of the Windows build.
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
            static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

std::string ExecutableFileName() {
  std::string own = OwnExecutablePath();
  return own.substr(own.rfind('/') + 1);  // npos + 1 is 0: the whole text
}

bool PrepareUpdateScript(const std::string& currentDirectory, const std::string& ownPath,
                         const std::string& downloadedPath, std::string* scriptPath) {
  std::size_t slash = ownPath.rfind('/');
  if (slash == std::string::npos) {
    return false;
  }
  // The folder must take the backup and the new file; otherwise the script would start the old
  // executable again, which would download the same update again, on and on.
  std::string folder = slash == 0 ? "/" : ownPath.substr(0, slash);
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    return false;
  }

  struct stat own {};
  if (stat(ownPath.c_str(), &own) != 0) {
    return false;
  }
  if (chmod(downloadedPath.c_str(), own.st_mode & 07777) != 0) {
    return false;
  }

  std::string path = PathInFolder(currentDirectory, kUpdateScriptName);
  if (!WriteWholeFile(path, UpdateScriptText(ownPath, downloadedPath))) {
    std::remove(path.c_str());
    return false;
  }
  *scriptPath = path;
  return true;
}

bool StartDetached(const std::string& scriptPath) {
  SpawnActions files;
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&files.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                     0);
  }
  posix_spawn_file_actions_addclosefrom_np(&files.actions, 3);

  // A session of its own, so that the end of this process (or of its terminal) does not reach
  // the script; signals as a fresh program has them. The priority is left as it is: a POSIX
  // process can lower its own priority but never raise it again, so a script at a lowered
  // priority would hand it on to the launcher it starts, for that launcher's whole run.
  SpawnAttributes attributes;
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes.attributes, &none);
  posix_spawnattr_setsigdefault(&attributes.attributes, &all);
  posix_spawnattr_setflags(&attributes.attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string shell = "/bin/sh";
  std::string script = scriptPath;
  char* argv[] = {shell.data(), script.data(), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, shell.c_str(), &files.actions, &attributes.attributes, argv, environ) ==
         0;
}

void WriteUpdateBatch(const std::string& downloadedPath) {
  std::string scriptPath;
  if (!PrepareUpdateScript(CurrentDirectory(), OwnExecutablePath(), downloadedPath, &scriptPath)) {
    return;
  }
  if (!StartDetached(scriptPath)) {
    // Ending now would leave the user with no launcher and nothing to start one; run on.
    std::remove(scriptPath.c_str());
    return;
  }
  _exit(0);
}

}  // namespace launcher

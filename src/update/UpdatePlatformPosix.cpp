// The self-update's platform operations on POSIX systems (Linux). A running executable's file
// may be renamed over here, so the new build takes the executable's path by one rename from
// this process itself: no script and no wait for the process to end.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

#include "base/Platform.h"
#include "update/UpdateFiles.h"
#include "update/UpdatePlatform.h"

extern char** environ;

namespace launcher {
namespace {

// An owned descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
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

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

// Whether removing the name at path could take the running build away: when it is the build's
// own path, or the one name of the build's file. A second name of that file (a backup made as a
// hard link, left by an update ended before its rename) goes without harm.
bool IsOwnBuild(const std::string& path, const std::string& ownPath) {
  struct stat st {};
  struct stat own {};
  if (::lstat(path.c_str(), &st) != 0 || ::stat(ownPath.c_str(), &own) != 0) {
    return false;
  }
  if (SameFile(st, own) && st.st_nlink <= 1) {
    return true;
  }
  const std::string real = RealPath(path);
  return !real.empty() && real == RealPath(ownPath);
}

// Makes a rename or a new name in folder last across a power cut.
void FlushFolder(const std::string& folder) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) {
    fsync(dir.Get());
  }
}

bool CopyInto(int from, NewFile* to) {
  std::vector<char> buffer(std::size_t{256} * 1024);
  for (;;) {
    ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      return true;
    }
    if (!to->Write(buffer.data(), static_cast<std::size_t>(n))) {
      return false;
    }
  }
}

// The build at ownPath, kept under backupPath: a second name where the file system has them,
// else a flushed copy. Whatever stood at backupPath before is replaced.
bool KeepBackup(const std::string& ownPath, const std::string& backupPath) {
  if (::unlink(backupPath.c_str()) != 0 && errno != ENOENT) {
    return false;
  }
  if (::link(ownPath.c_str(), backupPath.c_str()) == 0) {
    return true;
  }
  Fd own(::open(ownPath.c_str(), O_RDONLY | O_CLOEXEC));
  NewFile copy;
  if (own.Get() < 0 || !copy.Create(backupPath)) {
    return false;
  }
  if (!CopyInto(own.Get(), &copy) || !copy.FlushToDisk()) {
    copy.Close();
    ::unlink(backupPath.c_str());
    return false;
  }
  struct stat st {};
  if (fstat(own.Get(), &st) == 0) {
    // The backup stays startable, as the build was.
    copy.SetPermissions(st.st_mode & 0777);
  }
  return true;
}

}  // namespace

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

std::string FolderOfPath(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return {};
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ExecutableFileName() {
  std::string own = OwnExecutablePath();
  return own.substr(own.rfind('/') + 1);  // npos + 1 is 0: the whole text
}

std::FILE* OpenFileForReading(const std::string& path) {
  // The caller owns the stream, as the declaration says.
  return std::fopen(path.c_str(), "rb");  // NOLINT(cppcoreguidelines-owning-memory)
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool FolderIsWritable(const std::string& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// ---------------------------------------------------------------------------------------------

NewFile::~NewFile() { Close(); }

bool NewFile::Create(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    return false;
  }
  // Held until closed, or until the process ends however it ends: the mark of a live download.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  handle_ = fd;
  path_ = path;
  return true;
}

bool NewFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(handle_, data, size);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool NewFile::SetPermissions(unsigned mode) {
  return handle_ >= 0 && fchmod(handle_, static_cast<mode_t>(mode)) == 0;
}

bool NewFile::FlushToDisk() { return handle_ >= 0 && fsync(handle_) == 0; }

void NewFile::Close() {
  if (handle_ >= 0) {
    ::close(handle_);
    handle_ = -1;
  }
}

bool InstallBuild(NewFile& download, const std::string& ownPath) {
  const std::string folder = FolderOfPath(ownPath);
  struct stat own {};
  struct stat held {};
  struct stat named {};
  bool ok = !folder.empty() && download.IsOpen() && FolderOfPath(download.Path()) == folder &&
            ::stat(ownPath.c_str(), &own) == 0 && S_ISREG(own.st_mode) &&
            fstat(download.handle_, &held) == 0 &&
            // The name still leads to the file that was checked.
            ::lstat(download.Path().c_str(), &named) == 0 && SameFile(held, named) &&
            download.SetPermissions(own.st_mode & 0777) && download.FlushToDisk();
  const std::string backup = PathInFolder(folder, kBackupName);
  if (ok && backup != ownPath) {
    ok = KeepBackup(ownPath, backup);
  }
  if (ok) {
    ok = ::rename(download.Path().c_str(), ownPath.c_str()) == 0;
  }
  const std::string path = download.Path();
  download.Close();
  if (!ok) {
    ::unlink(path.c_str());
    return false;
  }
  FlushFolder(folder);
  return true;
}

void RemoveUpdateScriptsAndDownloads(const std::string& folder, const std::string& ownPath) {
  if (folder.empty()) {
    return;
  }
  auto removeUnlessOwn = [&](const std::string& path) {
    if (!IsOwnBuild(path, ownPath)) {
      ::unlink(path.c_str());  // failures are of no consequence
    }
  };
  for (const char* name : {kUpdateBatchName, kUpdateScriptName}) {
    removeUnlessOwn(PathInFolder(folder, name));
  }

  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) {
    return;
  }
  const std::string_view prefix = kDownloadPrefix;
  std::vector<std::string> stale;
  while (dirent* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) {
      continue;
    }
    const std::string path = PathInFolder(folder, std::string(name));
    Fd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // A name that is no file of ours to open (a link planted under our prefix) goes too.
    if (file.Get() < 0 || flock(file.Get(), LOCK_EX | LOCK_NB) == 0) {
      stale.push_back(path);
    }
  }
  for (const std::string& path : stale) {
    removeUnlessOwn(path);
  }
}

void RemoveUpdateBackup(const std::string& folder, const std::string& ownPath) {
  if (folder.empty()) {
    return;
  }
  const std::string backup = PathInFolder(folder, kBackupName);
  if (!IsOwnBuild(backup, ownPath)) {
    ::unlink(backup.c_str());
  }
}

bool StartDetached(const std::string& program) {
  SpawnActions files;
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&files.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                     0);
  }
  posix_spawn_file_actions_addclosefrom_np(&files.actions, 3);

  // A session of its own, so that the end of this process (or of its terminal) does not reach
  // it; signals as a fresh program has them.
  SpawnAttributes attributes;
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes.attributes, &none);
  posix_spawnattr_setsigdefault(&attributes.attributes, &all);
  posix_spawnattr_setflags(&attributes.attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, path.c_str(), &files.actions, &attributes.attributes, argv, environ) ==
         0;
}

}  // namespace launcher

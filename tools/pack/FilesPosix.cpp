// The packer's file handling on POSIX systems (Linux).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "pack/Files.h"

namespace launcher::pack {

namespace fs = std::filesystem;

void Descriptor::Reset() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

bool Descriptor::Close() {
  const int fd = std::exchange(fd_, -1);
  return fd < 0 || close(fd) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ReadRegularFile(const std::string& path, std::uint64_t limit, std::string* bytes,
                     std::string* error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "not a regular file";
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > limit) {
    *error = "larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  bytes->assign(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t n = read(fd.Get(), bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      *error = n < 0 ? std::strerror(errno) : "the file shrank while being read";
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

PendingFile::PendingFile(const std::string& destination) : destination_(destination) {
  fs::path target(destination);
  fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  temporary_ = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  fd_ = Descriptor(mkstemp(temporary_.data()));
  if (fd_.Get() < 0) {
    temporary_.clear();
  }
}

PendingFile::~PendingFile() {
  fd_.Close();
  if (!committed_ && !temporary_.empty()) {
    unlink(temporary_.c_str());
  }
}

bool PendingFile::Commit(unsigned mode) {
  if (fchmod(fd_.Get(), static_cast<mode_t>(mode)) != 0 || fsync(fd_.Get()) != 0 || !fd_.Close()) {
    return false;
  }
  if (rename(temporary_.c_str(), destination_.c_str()) != 0) {
    return false;
  }
  committed_ = true;
  return true;
}

bool CreateNewFile(const std::string& path, std::string_view bytes, unsigned mode) {
  Descriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     static_cast<mode_t>(mode)));
  if (fd.Get() < 0) {
    return false;
  }
  // The mode asked for, whatever the umask let through (never more).
  if (fchmod(fd.Get(), static_cast<mode_t>(mode)) != 0 || !WriteAll(fd.Get(), bytes) ||
      fsync(fd.Get()) != 0 || !fd.Close()) {
    const int saved = errno;
    unlink(path.c_str());
    errno = saved;
    return false;
  }
  return true;
}

bool NothingAt(const std::string& path) {
  return access(path.c_str(), F_OK) != 0 && errno == ENOENT;
}

std::optional<std::string> CreateTemporaryFile() {
  char path[] = "/tmp/launcher-zip-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) {
    return std::nullopt;
  }
  close(fd);
  return std::string(path);
}

bool FolderBelow::Open(const std::string& path) {
  fd_ = Descriptor(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd_.Get() >= 0;
}

bool FolderBelow::Write(std::string_view path, std::string_view bytes, std::string* error) const {
  auto fail = [&](const char* what) {
    *error = what ? what : std::strerror(errno);
    return false;
  };
  Descriptor folder(dup(fd_.Get()));
  std::size_t slash;
  while ((slash = path.find('/')) != std::string_view::npos) {
    std::string part(path.substr(0, slash));
    if (mkdirat(folder.Get(), part.c_str(), 0755) != 0 && errno != EEXIST) {
      return fail(nullptr);
    }
    Descriptor next(
        openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.Get() < 0) {
      return fail(nullptr);
    }
    folder = std::move(next);
    path.remove_prefix(slash + 1);
  }
  const std::string name(path);
  struct stat st {};
  if (fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    return fail(S_ISLNK(st.st_mode) ? "a symbolic link is in the way" : "not a regular file");
  }
  std::string temporary;
  Descriptor file;
  for (unsigned attempt = 0; file.Get() < 0; ++attempt) {
    temporary = "." + name + "." + std::to_string(getpid()) + "." + std::to_string(attempt);
    file = Descriptor(openat(folder.Get(), temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.Get() < 0 && (errno != EEXIST || attempt > 100)) {
      return fail(nullptr);
    }
  }
  if (!WriteAll(file.Get(), bytes) || !file.Close() ||
      renameat(folder.Get(), temporary.c_str(), folder.Get(), name.c_str()) != 0) {
    const int saved = errno;
    unlinkat(folder.Get(), temporary.c_str(), 0);
    errno = saved;
    return fail(nullptr);
  }
  return true;
}

}  // namespace launcher::pack

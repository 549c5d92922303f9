#include "pack/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

bool PendingFile::Commit(mode_t mode) {
  if (fchmod(fd_.Get(), mode) != 0 || fsync(fd_.Get()) != 0 || !fd_.Close()) {
    return false;
  }
  if (rename(temporary_.c_str(), destination_.c_str()) != 0) {
    return false;
  }
  committed_ = true;
  return true;
}

bool CreateNewFile(const std::string& path, std::string_view bytes, mode_t mode) {
  Descriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (fd.Get() < 0) {
    return false;
  }
  // The mode asked for, whatever the umask let through (never more).
  if (fchmod(fd.Get(), mode) != 0 || !WriteAll(fd.Get(), bytes) || fsync(fd.Get()) != 0 ||
      !fd.Close()) {
    const int saved = errno;
    unlink(path.c_str());
    errno = saved;
    return false;
  }
  return true;
}

}  // namespace launcher::pack

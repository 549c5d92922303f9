// Start-up's file system operations on POSIX systems (Linux).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

#include "app/AppPlatform.h"
#include "app/DisplayChoice.h"

namespace launcher {
namespace {

// Owns one descriptor.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int Get() const { return fd_; }
  // Closes now; false when close reports an error.
  bool Close() { return close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool PrepareDisplay(std::string* problem) {
  const DisplayChoice display = ChooseDisplay(std::getenv);
  if (display.kind == DisplayChoice::Kind::kNoDisplay) {
    *problem = display.message;
    return false;
  }
  if (display.kind == DisplayChoice::Kind::kX11) {
    setenv("GDK_BACKEND", "x11", 1);
  }
  return true;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadRegularFilePrefix(const std::string& path, std::size_t limit) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return {};
  }
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  // Checked again on what was opened: the name may have been replaced in between.
  if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return {};
  }
  std::string text(limit, '\0');
  std::size_t done = 0;
  while (done < limit) {
    ssize_t n = read(fd.Get(), text.data() + done, limit - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  text.resize(done);
  return text;
}

bool WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode, bool* taken) {
  *taken = false;
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   static_cast<mode_t>(mode)));
  if (fd.Get() < 0) {
    *taken = errno == EEXIST || errno == ELOOP;
    return false;
  }
  bool ok = fchmod(fd.Get(), static_cast<mode_t>(mode)) == 0;  // the mode meant, whatever the umask
  while (ok && !bytes.empty()) {
    ssize_t n = write(fd.Get(), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    ok = n > 0;
    if (ok) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  if (!fd.Close() || !ok) {
    unlink(path.c_str());  // ours: created above
    return false;
  }
  return true;
}

bool ForEachFolderEntry(const std::string& folder,
                        const std::function<bool(std::string_view name)>& visit) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) {
    return false;
  }
  while (dirent* entry = readdir(dir.get())) {
    if (!visit(entry->d_name)) {
      break;
    }
  }
  return true;
}

}  // namespace launcher

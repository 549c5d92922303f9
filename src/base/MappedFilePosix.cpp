// Mapping a file on POSIX systems: mmap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/MappedFile.h"

namespace launcher {

MappedFile::~MappedFile() {
  if (data_ && size_ > 0) {
    munmap(const_cast<std::uint8_t*>(data_), size_);
  }
}

MappedFile::Status MappedFile::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return Status::kCannotOpen;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::kCannotOpen;
  }
  // An empty file cannot be mapped, as on the platform the format comes from.
  if (st.st_size <= 0) {
    ::close(fd);
    return Status::kCannotMap;
  }
  void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);  // the mapping keeps the file
  if (p == MAP_FAILED) {
    return Status::kCannotMap;
  }
  data_ = static_cast<const std::uint8_t*>(p);
  size_ = static_cast<std::size_t>(st.st_size);
  return Status::kOk;
}

}  // namespace launcher

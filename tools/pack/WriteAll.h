// Writing a whole buffer to a file descriptor, for the packer's output files.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace launcher::pack {

// Writes every byte, going on after interruptions and short writes. False on an error (errno
// says which; a write that takes nothing counts as one).
inline bool WriteAll(int fd, std::string_view bytes) {
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

}  // namespace launcher::pack

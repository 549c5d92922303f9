// The platform's services on POSIX systems (Linux).
#include <unistd.h>

#include <cstddef>
#include <string>

#include "base/Platform.h"

namespace launcher {

std::string OwnExecutablePath() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) {
    return {};
  }
  path.resize(static_cast<std::size_t>(n));
  return path;
}

std::string CurrentDirectory() {
  std::string dir(4096, '\0');
  if (!getcwd(dir.data(), dir.size())) {
    return {};
  }
  dir.resize(std::char_traits<char>::length(dir.c_str()));
  return dir;
}

}  // namespace launcher

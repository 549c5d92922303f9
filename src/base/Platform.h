// The platform's services that several layers ask for. Each platform has its own implementation
// file (PlatformPosix.cpp), chosen when linking. Any thread.
#pragma once

#include <string>

namespace launcher {

// The running executable's full path, as the file system names it; empty when it cannot be
// found.
std::string OwnExecutablePath();

// The process's current directory; empty when it cannot be read.
std::string CurrentDirectory();

}  // namespace launcher

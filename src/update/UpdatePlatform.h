// What the self-update asks of the operating system. Each platform has its own implementation
// file (UpdatePlatformPosix.cpp), chosen when linking.
#pragma once

#include <cstdint>
#include <string>

namespace launcher {

// The process's current directory; empty when it cannot be read.
std::string CurrentDirectory();

// Milliseconds since the system started, wrapping at 32 bits.
std::uint32_t MillisecondTicks();

// A file in a folder: folder + the platform's separator + name.
std::string PathInFolder(const std::string& folder, const std::string& name);

// The running executable's file name, without its folder.
std::string ExecutableFileName();

// Hands over to the replacement script: writes it into the current directory, starts it
// detached and ends the process at once with exit code 0, without any clean-up. Any thread.
// Returns only when the script cannot be made or started; then nothing has been started, no
// script is left and the download is where it was.
void WriteUpdateBatch(const std::string& downloadedPath);

}  // namespace launcher

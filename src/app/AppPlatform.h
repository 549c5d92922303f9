// What start-up asks of the operating system: the display to run on, and the file system for the
// desktop shortcut. Each platform has its own implementation file (AppPlatformPosix.cpp,
// AppPlatformWin.cpp), chosen when linking. Any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace launcher {

// Settles the display before the window framework starts, which reads its choice from the
// environment once: on X systems the display choice (DisplayChoice.h) and the toolkit's backend.
// False, with problem set to a line for the terminal, when there is no display to run on.
// Windows always has its own: true, nothing done.
bool PrepareDisplay(std::string* problem);

// True when path names a folder (through a symbolic link as well).
bool IsDirectory(const std::string& path);

// The first limit bytes of a regular file (a symbolic link is followed only to one); empty for
// anything else. A FIFO or device is never opened, so reading other programs' files on the
// desktop cannot block.
std::string ReadRegularFilePrefix(const std::string& path, std::size_t limit);

// Creates path as a new file with mode (permission bits in the POSIX sense, whatever the
// process's mask; on Windows only the write bits count: none of them makes the file read-only)
// and the bytes; never over an existing file or through a link. taken is set
// when the name is in use (by a file, a link or anything else). Nothing is left behind on
// failure.
bool WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode, bool* taken);

// Calls visit with the name of each entry of folder, in the file system's order, until visit
// returns false. False when the folder cannot be read.
bool ForEachFolderEntry(const std::string& folder,
                        const std::function<bool(std::string_view name)>& visit);

}  // namespace launcher

// The POSIX replacement's steps on their own, for tests: WriteUpdateBatch is these two and the
// end of the process.
#pragma once

#include <string>

namespace launcher {

// Gives the download the permission bits of the own executable and writes the replacement
// script into currentDirectory. False (with the script removed, and nothing else changed but
// the download's bits) when the executable's folder cannot take the new file, the bits cannot
// be set or the script cannot be written in full: starting the old executable again would only
// find the same update again, and a cut script could lose the launcher.
bool PrepareUpdateScript(const std::string& currentDirectory, const std::string& ownPath,
                         const std::string& downloadedPath, std::string* scriptPath);

// Runs the script with /bin/sh in a session of its own, with no terminal (standard streams on
// /dev/null) and none of this process's other descriptors. The script's outcome is not waited
// for; false only when it could not be started.
bool StartDetached(const std::string& scriptPath);

}  // namespace launcher

// Names of the files a self-update leaves in the current directory; start-up removes them.
#pragma once

namespace launcher {

constexpr char kBackupName[] = "Launcher_back_up.exe";
constexpr char kUpdateBatchName[] = "Launcher_update.bat";
// The replacement script of the POSIX build, beside the batch file of the Windows build.
constexpr char kUpdateScriptName[] = "Launcher_update.sh";

}  // namespace launcher

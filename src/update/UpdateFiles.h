// Names of the files a self-update leaves behind; start-up removes them.
#pragma once

namespace launcher {

constexpr char kBackupName[] = "Launcher_back_up.exe";
constexpr char kUpdateBatchName[] = "Launcher_update.bat";
// The replacement script of earlier POSIX builds, removed where one was left.
constexpr char kUpdateScriptName[] = "Launcher_update.sh";
// Downloads in progress begin with this; one that no running update holds is a leftover.
constexpr char kDownloadPrefix[] = "Launcher_download_";

}  // namespace launcher

// What the self-update asks of the operating system. Each platform has its own implementation
// file (UpdatePlatformPosix.cpp, UpdatePlatformWin.cpp), chosen when linking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace launcher {

// Milliseconds since the system started, wrapping at 32 bits.
std::uint32_t MillisecondTicks();

// A file in a folder: folder + the platform's separator + name.
std::string PathInFolder(const std::string& folder, const std::string& name);

// The folder of a file's path (the root folder for a file in it); empty when the path names no
// folder.
std::string FolderOfPath(const std::string& path);

// The running executable's file name, without its folder.
std::string ExecutableFileName();

// Opens the file at path for reading bytes; null when it cannot. The caller closes it.
std::FILE* OpenFileForReading(const std::string& path);

// Removes the name path (a link as a link); false when it is not there or does not go.
bool RemoveFile(const std::string& path);

// True when this process may create and rename files in folder.
bool FolderIsWritable(const std::string& folder);

// A file an update writes: always a new file (an existing name, a symbolic link included, is
// never opened or followed: creation fails), readable and writable by its owner only, and marked
// as in use while it is open, so that the clean-up of another start leaves it alone. Closing
// does not remove it. Any thread; one thread at a time.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // False when the name is taken or the folder does not take it.
  bool Create(const std::string& path);
  bool IsOpen() const { return handle_ >= 0; }
  const std::string& Path() const { return path_; }
  // Appends all of data; false on any shortfall (a full disk).
  bool Write(const char* data, std::size_t size);
  // Permission bits in the POSIX sense (the platform maps what it can).
  bool SetPermissions(unsigned mode);
  // Waits until what was written is on the disk. Nothing is written after it: from here the file
  // is only read (Windows holds it for reading from then on, so that it can be mapped, and keeps
  // the mark).
  bool FlushToDisk();
  void Close();

 private:
  friend bool InstallBuild(NewFile& download, const std::string& ownPath);
  int handle_ = -1;
  std::string path_;
};

// Puts a downloaded build in the running executable's place. The download must be flushed, be
// checked and lie in the executable's own folder. Keeps the build at ownPath as kBackupName in
// that folder (a second name for it, or a copy where the file system has no second names),
// gives the download the executable's permission bits and renames it over ownPath, which holds
// the old or the new build, complete, at every instant, whenever the process is ended. (Windows
// cannot rename over a running executable, only rename it: the old build goes to the backup name
// first, and for the instant between the two renames ownPath names nothing.) False
// when any step fails; ownPath then holds the old build. The download is closed either way and
// remains only on success, under ownPath.
bool InstallBuild(NewFile& download, const std::string& ownPath);

// Start-up clean-up in folder: the update scripts, and downloads that no running update holds
// (an update ended half way). Never removes ownPath.
void RemoveUpdateScriptsAndDownloads(const std::string& folder, const std::string& ownPath);
// The backup of the previous build in folder, unless it is the running build itself (its own
// path, or the only name of its file; a second name of it goes). Called only once the running
// build has shown it starts: until then the backup may be the only working build.
void RemoveUpdateBackup(const std::string& folder, const std::string& ownPath);

// Starts program (no arguments) in a session of its own, with no terminal (standard streams on
// the null device) and none of this process's other descriptors; does not wait for it. False when
// it could not be started.
bool StartDetached(const std::string& program);

}  // namespace launcher

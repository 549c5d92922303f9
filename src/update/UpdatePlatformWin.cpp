// The self-update's platform operations on Windows. A running executable's file cannot be
// overwritten or deleted here, but it can be renamed within its volume: the old build moves aside
// to the backup name and the new one takes the executable's path, both by this process, while
// it runs. So the update needs no script and no wait for the process to end, and the new build
// is in place (for a restart, or for the next start) as soon as the installation returns.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/Platform.h"
#include "base/WinHandle.h"
#include "base/WinText.h"
#include "update/UpdateFiles.h"
#include "update/UpdatePlatform.h"

namespace launcher {

namespace {

// The system calls take UTF-16; the program's paths are UTF-8.
const auto Widen = Utf8ToWide;

// The system's handles fit in 32 bits (they are shared with 32-bit processes), so NewFile keeps
// one in its int.
HANDLE FromInt(int handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }
int ToInt(HANDLE handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Opens a name for its identity only: no sharing is denied to anyone, a link is not followed
// unless follow is set.
HANDLE OpenForIdentity(const std::string& path, bool follow) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool IdentityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info) {
  return GetFileInformationByHandle(handle, info) != 0;
}

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    return {};
  }
  std::wstring full(needed, L'\0');
  DWORD n = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (n == 0 || n >= needed) {
    return {};
  }
  full.resize(n);
  return full;
}

// Whether removing the name at path could take the running build away: when it is the build's
// own path (in any letter case), or the one name of the build's file. A second name of that file
// goes without harm.
bool IsOwnBuild(const std::string& path, const std::string& ownPath) {
  const std::wstring full = FullPath(path);
  const std::wstring own = FullPath(ownPath);
  if (!full.empty() && !own.empty() &&
      CompareStringOrdinal(full.c_str(), -1, own.c_str(), -1, TRUE) == CSTR_EQUAL) {
    return true;
  }
  WinHandle named(OpenForIdentity(path, /*follow=*/true));
  WinHandle running(OpenForIdentity(ownPath, /*follow=*/true));
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return named.Valid() && running.Valid() && IdentityOf(named.Get(), &a) &&
         IdentityOf(running.Get(), &b) && SameFile(a, b) && a.nNumberOfLinks <= 1;
}

}  // namespace

std::FILE* OpenFileForReading(const std::string& path) {
  // The run time's narrow names are in the system's code page, not UTF-8.
  return _wfopen(Widen(path).c_str(), L"rb");
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

std::uint32_t MillisecondTicks() { return GetTickCount(); }

std::string PathInFolder(const std::string& folder, const std::string& name) {
  // A root folder ("C:\") already ends in its separator.
  if (!folder.empty() && IsSeparator(folder.back())) {
    return folder + name;
  }
  return folder + "\\" + name;
}

std::string FolderOfPath(const std::string& path) {
  // In UTF-8 neither separator is ever part of another character.
  std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) {
    return {};
  }
  // The root of a drive ("C:\") or of the current drive ("\") keeps its separator.
  if (slash == 0 || (slash == 2 && path[1] == ':')) {
    return path.substr(0, slash + 1);
  }
  return path.substr(0, slash);
}

std::string ExecutableFileName() {
  std::string own = OwnExecutablePath();
  return own.substr(own.find_last_of("\\/") + 1);  // npos + 1 is 0: the whole text
}

bool FolderIsWritable(const std::string& folder) {
  if (folder.empty()) {
    return false;
  }
  // The folder's permissions are only known by trying: a probe that goes when its handle
  // closes, named as a download so that a probe left by a power cut is cleaned up like one.
  const std::string probe = PathInFolder(folder, std::string(kDownloadPrefix) + "probe" +
                                                     std::to_string(GetCurrentProcessId()) + "_" +
                                                     std::to_string(GetTickCount()));
  WinHandle file(CreateFileW(Widen(probe).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return file.Valid();
}

// ---------------------------------------------------------------------------------------------

NewFile::~NewFile() { Close(); }

bool NewFile::Create(const std::string& path) {
  Close();
  // Not shared for writing or deleting: while this handle is open no other process can remove
  // the file, which is the mark of a live download that the clean-up of another start respects.
  // The handle goes with the process however it ends. An existing name (a link too, which is not
  // followed) fails the creation.
  HANDLE file =
      CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  handle_ = ToInt(file);
  path_ = path;
  return true;
}

bool NewFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(FromInt(handle_), data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool NewFile::SetPermissions(unsigned mode) {
  if (handle_ < 0) {
    return false;
  }
  // What the file system has of the permission bits: read-only without the owner's write bit.
  FILE_BASIC_INFO info{};
  if (!GetFileInformationByHandleEx(FromInt(handle_), FileBasicInfo, &info, sizeof info)) {
    return false;
  }
  if ((mode & 0200) != 0) {
    info.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  } else {
    info.FileAttributes |= FILE_ATTRIBUTE_READONLY;
  }
  if (info.FileAttributes == 0) {
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  }
  return SetFileInformationByHandle(FromInt(handle_), FileBasicInfo, &info, sizeof info) != 0;
}

bool NewFile::FlushToDisk() {
  if (handle_ < 0) {
    return false;
  }
  if (!FlushFileBuffers(FromInt(handle_))) {
    // A handle of this class is made writable, so a refusal means it has already given way to
    // the read handle below: what was written is on the disk.
    return GetLastError() == ERROR_ACCESS_DENIED;
  }
  // From here the file is only read, and the check maps it; a mapping is refused while anyone
  // holds the file for writing. So the write handle gives way to a read handle on the same open
  // file (no instant without one): still not shared for deleting, so the mark stays.
  HANDLE reading = ReOpenFile(FromInt(handle_), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (reading == INVALID_HANDLE_VALUE) {
    return false;
  }
  CloseHandle(FromInt(handle_));
  handle_ = ToInt(reading);
  return true;
}

void NewFile::Close() {
  if (handle_ >= 0) {
    CloseHandle(FromInt(handle_));
    handle_ = -1;
  }
}

bool InstallBuild(NewFile& download, const std::string& ownPath) {
  const std::string folder = FolderOfPath(ownPath);
  const std::string path = download.Path();
  const std::string backup = PathInFolder(folder, kBackupName);
  const std::wstring own = Widen(ownPath);
  const DWORD ownAttributes = GetFileAttributesW(own.c_str());
  bool ok = !folder.empty() && download.IsOpen() && FolderOfPath(path) == folder &&
            ownAttributes != INVALID_FILE_ATTRIBUTES &&
            (ownAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
            // The backup name is free for the old build only when it is not the running one.
            !IsOwnBuild(backup, ownPath) && download.FlushToDisk();
  if (ok) {
    // The name still leads to the file that was checked.
    BY_HANDLE_FILE_INFORMATION held{};
    BY_HANDLE_FILE_INFORMATION named{};
    WinHandle name(OpenForIdentity(path, /*follow=*/false));
    ok = name.Valid() && IdentityOf(FromInt(download.handle_), &held) &&
         IdentityOf(name.Get(), &named) && SameFile(held, named);
  }
  // The download is renamed by its name, which needs every handle to it closed.
  download.Close();
  if (ok) {
    // The running build's file may be renamed, not replaced: it goes aside first. An old backup
    // that an ending process still runs from refuses to go, and so does the update.
    ok = MoveFileExW(own.c_str(), Widen(backup).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (ok && !MoveFileExW(Widen(path).c_str(), own.c_str(), MOVEFILE_WRITE_THROUGH)) {
      // The old build back at its path; the instant between the renames is the only one at
      // which the path names nothing, and a process ended there leaves the build as the backup.
      MoveFileExW(Widen(backup).c_str(), own.c_str(), MOVEFILE_WRITE_THROUGH);
      ok = false;
    }
  }
  if (!ok) {
    RemoveFile(path);
  }
  return ok;
}

void RemoveUpdateScriptsAndDownloads(const std::string& folder, const std::string& ownPath) {
  if (folder.empty()) {
    return;
  }
  auto removeUnlessOwn = [&](const std::string& path) {
    if (!IsOwnBuild(path, ownPath)) {
      RemoveFile(path);  // failures are of no consequence
    }
  };
  for (const char* name : {kUpdateBatchName, kUpdateScriptName}) {
    removeUnlessOwn(PathInFolder(folder, name));
  }

  WIN32_FIND_DATAW found{};
  const std::wstring pattern = Widen(PathInFolder(folder, std::string(kDownloadPrefix) + "*"));
  HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    return;
  }
  const std::wstring prefix = Widen(kDownloadPrefix);
  std::vector<std::string> stale;
  do {
    // The pattern also matches short names: the long name must carry the prefix itself.
    const std::wstring_view name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        name.substr(0, prefix.size()) != prefix) {
      continue;
    }
    stale.push_back(PathInFolder(folder, WideToUtf8(name)));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // A download that a running update holds refuses to be deleted (it is not shared for that),
  // so it stays; a name planted under the prefix (a link) goes as a name, never followed.
  for (const std::string& path : stale) {
    removeUnlessOwn(path);
  }
}

void RemoveUpdateBackup(const std::string& folder, const std::string& ownPath) {
  if (folder.empty()) {
    return;
  }
  const std::string backup = PathInFolder(folder, kBackupName);
  // An earlier build that is still ending keeps its file, which refuses deletion until then; the
  // next start removes it.
  if (!IsOwnBuild(backup, ownPath)) {
    RemoveFile(backup);
  }
}

bool StartDetached(const std::string& program) {
  const std::wstring path = Widen(program);
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // No console of this process's and no handle of it inherited; a process group of its own, so
  // that a console's interrupt meant for this one does not reach it.
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace launcher

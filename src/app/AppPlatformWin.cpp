// Start-up's operating system services on Windows.
#include <windows.h>

#include <algorithm>

#include "app/AppPlatform.h"
#include "base/WinHandle.h"
#include "base/WinText.h"

namespace launcher {
namespace {

// Attributes of what path names, its links followed; false when it cannot be reached.
bool AttributesOf(const std::wstring& path, DWORD* attributes) {
  // Opened for no access, with the flag that lets a folder be opened: only to ask.
  WinHandle file(CreateFileW(path.c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &info)) {
    return false;
  }
  *attributes = info.dwFileAttributes;
  return true;
}

}  // namespace

bool PrepareDisplay(std::string*) { return true; }

bool IsDirectory(const std::string& path) {
  DWORD attributes = 0;
  return !path.empty() && AttributesOf(Utf8ToWide(path), &attributes) &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ReadRegularFilePrefix(const std::string& path, std::size_t limit) {
  if (path.empty()) {
    return {};
  }
  WinHandle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  // A device name (CON, a pipe) opens as something other than a file on disk: never read.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || GetFileType(file.Get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  std::string text(limit, '\0');
  std::size_t done = 0;
  while (done < limit) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(limit - done, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(file.Get(), text.data() + done, chunk, &n, nullptr) || n == 0) {
      break;
    }
    done += n;
  }
  text.resize(done);
  return text;
}

bool WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode, bool* taken) {
  *taken = false;
  const std::wstring wide = Utf8ToWide(path);
  // CREATE_NEW never opens what exists; with the reparse point flag a link of that name counts
  // as existing rather than being followed.
  const DWORD attributes = (mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  WinHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) {
    const DWORD error = GetLastError();
    // A folder of that name is refused as access denied: the name is in use all the same.
    *taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
             (error == ERROR_ACCESS_DENIED &&
              GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES);
    return false;
  }
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD n = 0;
    ok = WriteFile(file.Get(), bytes.data(), chunk, &n, nullptr) && n > 0;
    if (ok) {
      bytes.remove_prefix(n);
    }
  }
  if (!file.Close() || !ok) {
    if (attributes == FILE_ATTRIBUTE_READONLY) {
      SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    DeleteFileW(wide.c_str());  // ours: created above
    return false;
  }
  return true;
}

bool ForEachFolderEntry(const std::string& folder,
                        const std::function<bool(std::string_view name)>& visit) {
  if (folder.empty()) {
    return false;
  }
  std::wstring pattern = Utf8ToWide(folder);
  if (pattern.back() != L'\\' && pattern.back() != L'/') {
    pattern += L'\\';
  }
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  HANDLE find =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    // A drive's root lists nothing at all when it is empty; that is a folder read.
    return GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(folder);
  }
  do {
    if (!visit(WideToUtf8(entry.cFileName))) {
      break;
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return true;
}

}  // namespace launcher

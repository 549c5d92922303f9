// The platform's services on Windows.
#include <windows.h>

#include <string>

#include "base/Platform.h"
#include "base/WinHandle.h"
#include "base/WinText.h"

namespace launcher {

std::string OwnExecutablePath() {
  // The answer is cut short without an error of its own when the buffer is too small (a long
  // path beyond MAX_PATH), so the buffer grows until the answer leaves room to spare.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) {
      return {};
    }
    if (n < path.size()) {
      path.resize(n);
      return WideToUtf8(path);
    }
    if (path.size() >= 32768) {  // longer than any path the system can name
      return {};
    }
    path.resize(path.size() * 2);
  }
}

std::string CurrentDirectory() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);  // with the terminating zero
  if (needed == 0) {
    return {};
  }
  std::wstring dir(needed, L'\0');
  DWORD n = GetCurrentDirectoryW(needed, dir.data());
  if (n == 0 || n >= needed) {
    return {};
  }
  dir.resize(n);
  return WideToUtf8(dir);
}

WinHandle::~WinHandle() {
  if (Valid()) {
    CloseHandle(handle_);
  }
}

bool WinHandle::Close() {
  void* handle = handle_;
  handle_ = Invalid();
  return CloseHandle(handle) != 0;
}

}  // namespace launcher

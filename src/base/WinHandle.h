// An owned handle of the system (a HANDLE of a file, mapping or process), closed when it goes.
// For the Windows sibling files (*Win.cpp) only; implemented in PlatformWin.cpp.
#pragma once

#include <cstdint>

namespace launcher {

class WinHandle {
 public:
  // The value the system's calls give for no handle (INVALID_HANDLE_VALUE).
  static void* Invalid() { return reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)); }

  explicit WinHandle(void* handle = Invalid()) : handle_(handle) {}
  ~WinHandle();
  WinHandle(const WinHandle&) = delete;
  WinHandle& operator=(const WinHandle&) = delete;

  bool Valid() const { return handle_ != Invalid() && handle_ != nullptr; }
  void* Get() const { return handle_; }
  // Closes now; false when closing reports an error.
  bool Close();

 private:
  void* handle_;
};

}  // namespace launcher

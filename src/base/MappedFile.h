// Files read in place: the appended archive and a downloaded build are mapped, not copied. The
// platform's mapping is in MappedFilePosix.cpp, chosen when linking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace launcher {

// A whole file mapped read-only. Owns the mapping; the bytes stay valid while it lives.
class MappedFile {
 public:
  enum class Status { kOk, kCannotOpen, kCannotMap };

  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  Status Open(const std::string& path);
  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace launcher

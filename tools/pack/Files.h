// The packer's file handling: every file it reads is a regular file read without blocking, and
// every file it writes appears whole or not at all, never written through a link. Each platform
// has its own implementation file (FilesPosix.cpp), chosen when linking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace launcher::pack {

// Owns one descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int Get() const { return fd_; }
  // Closes now; false when close reports an error (a write that did not reach the disk).
  bool Close();

 private:
  void Reset();
  int fd_;
};

// Writes every byte, going on after interruptions and short writes. False on an error (errno
// says which; a write that takes nothing counts as one).
bool WriteAll(int fd, std::string_view bytes);

// Reads a regular file whole, following a symbolic link given by the caller. False (error says
// why, in words) for anything else (a FIFO is never waited on) or a file larger than limit.
bool ReadRegularFile(const std::string& path, std::uint64_t limit, std::string* bytes,
                     std::string* error);

// A file being written under a temporary name beside its destination, renamed over it by
// Commit: a reader of destination sees the old file or the whole new one, and a link at the
// destination is replaced, never written through. Removed again unless committed.
class PendingFile {
 public:
  explicit PendingFile(const std::string& destination);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool Opened() const { return fd_.Get() >= 0; }
  bool Write(std::string_view bytes) { return WriteAll(fd_.Get(), bytes); }
  // Mode (permission bits in the POSIX sense), contents on disk, then the name.
  bool Commit(unsigned mode);

 private:
  std::string destination_;
  std::string temporary_;
  Descriptor fd_;
  bool committed_ = false;
};

// Creates path as a new file (never over an existing one, never through a link) with mode and
// writes bytes. On a failed write the new file is removed. False with errno set.
bool CreateNewFile(const std::string& path, std::string_view bytes, unsigned mode);

// True when nothing at all is at path (not even a dangling link); false when something is, or
// when that cannot be told.
bool NothingAt(const std::string& path);

// A new empty file of this process's own in the temporary folder, for a library that writes
// only through files; its path, or nothing. The caller removes it.
std::optional<std::string> CreateTemporaryFile();

// A folder held open while files are written below it.
class FolderBelow {
 public:
  // False (errno says why) when path cannot be opened as a folder.
  bool Open(const std::string& path);

  // Writes bytes to path (relative, "/" between its parts, none of them "." or "..") below the
  // folder. Every step is taken relative to the step before without following symbolic links,
  // so a link planted in the folder cannot redirect the write; missing folders are made. The
  // file is written under a new temporary name and renamed over the destination: an existing
  // regular file is replaced (a hard link to it elsewhere keeps its contents); anything else
  // there (a link, a FIFO, a folder) is refused. False with error in words.
  bool Write(std::string_view path, std::string_view bytes, std::string* error) const;

 private:
  Descriptor fd_;
};

}  // namespace launcher::pack

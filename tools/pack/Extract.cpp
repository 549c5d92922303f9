#include "pack/Extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "pack/WriteAll.h"

namespace launcher::pack {

namespace {

// Owns one descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) {
        close(fd_);
      }
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int Get() const { return fd_; }

 private:
  int fd_;
};

// Writes bytes to path (checked by ExtractPath) below the folder open as root. Every step is
// taken relative to the step before without following symbolic links, so a link planted in the
// folder cannot redirect the write.
bool WriteBelow(int root, std::string_view path, std::string_view bytes, std::string* error) {
  Descriptor folder(dup(root));
  std::size_t slash;
  while ((slash = path.find('/')) != std::string_view::npos) {
    std::string part(path.substr(0, slash));
    if (mkdirat(folder.Get(), part.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = std::strerror(errno);
      return false;
    }
    Descriptor next(
        openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.Get() < 0) {
      *error = std::strerror(errno);
      return false;
    }
    folder = std::move(next);
    path.remove_prefix(slash + 1);
  }
  Descriptor file(openat(folder.Get(), std::string(path).c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (file.Get() < 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (!WriteAll(file.Get(), bytes)) {
    *error = std::strerror(errno);
    return false;
  }
  return true;
}

bool IsDirectoryEntry(std::string_view name) { return !name.empty() && name.back() == '/'; }

}  // namespace

std::optional<std::string> ExtractPath(std::string_view entryName, std::string* why) {
  std::string_view path = entryName;
  if (path.starts_with(kEntryPrefix)) {
    path.remove_prefix(kEntryPrefix.size());
  }
  auto refuse = [&](const char* reason) {
    if (why) {
      *why = reason;
    }
    return std::nullopt;
  };
  if (path.empty()) {
    return refuse("names no file");
  }
  if (path.front() == '/') {
    return refuse("an absolute path");
  }
  if (path.find('\\') != std::string_view::npos) {
    return refuse("a backslash");
  }
  if (path.find('\0') != std::string_view::npos) {
    return refuse("a NUL byte");
  }
  std::string_view rest = path;
  while (true) {
    std::size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    if (part.empty()) {
      return refuse("an empty path part");
    }
    if (part == "." || part == "..") {
      return refuse("a \".\" or \"..\" path part");
    }
    if (slash == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(slash + 1);
  }
  return std::string(path);
}

ExtractResult ExtractPackage(const Package& package, const std::string& folder) {
  ExtractResult result;
  if (package.source == Package::Source::kExecutable && !package.archiveOpen) {
    result.error = package.path + ": no archive to extract";
    for (const std::string& message : package.openMessages) {
      result.error += " (the launcher shows \"" + message + "\")";
    }
    return result;
  }
  // Every name is judged before anything is written: one hostile name refuses the package.
  for (const PackageEntry& entry : package.entries) {
    std::string why;
    if (!IsDirectoryEntry(entry.name) && !ExtractPath(entry.name, &why)) {
      result.error = "refusing entry \"" + entry.name + "\": " + why;
      return result;
    }
  }
  std::error_code created;
  std::filesystem::create_directories(folder, created);
  Descriptor root(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (root.Get() < 0) {
    result.error = folder + ": " + std::strerror(errno);
    return result;
  }
  std::vector<std::string> unreadable;
  for (const PackageEntry& entry : package.entries) {
    if (IsDirectoryEntry(entry.name)) {
      result.notes.push_back(entry.name + ": a folder entry, nothing to write");
      continue;
    }
    switch (entry.state) {
      case PackageEntry::State::kShadowed:
        result.notes.push_back(entry.name + ": a second entry of this name, left out");
        continue;
      case PackageEntry::State::kCorrupt:
      case PackageEntry::State::kRefused:
        unreadable.push_back(entry.name);
        continue;
      case PackageEntry::State::kRead:
        break;
    }
    std::string path = *ExtractPath(entry.name, nullptr);
    std::string error;
    if (!WriteBelow(root.Get(), path, entry.bytes, &error)) {
      result.error = folder;
      result.error.append("/").append(path).append(": ").append(error);
      return result;
    }
    result.written.push_back(path);
  }
  if (!unreadable.empty()) {
    result.error = "entries that cannot be read were left out:";
    for (const std::string& name : unreadable) {
      result.error += " " + name;
    }
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace launcher::pack

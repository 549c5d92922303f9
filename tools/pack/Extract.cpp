#include "pack/Extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

#include "pack/Files.h"

namespace launcher::pack {

namespace {

// Writes bytes to path (checked by ExtractPath) below the folder open as root. Every step is
// taken relative to the step before without following symbolic links, so a link planted in the
// folder cannot redirect the write. The file is written under a new temporary name and renamed
// over the destination: an existing regular file is replaced (a hard link to it elsewhere keeps
// its contents); anything else there (a link, a FIFO, a folder) is refused.
bool WriteBelow(int root, std::string_view path, std::string_view bytes, std::string* error) {
  auto fail = [&](const char* what) {
    *error = what ? what : std::strerror(errno);
    return false;
  };
  Descriptor folder(dup(root));
  std::size_t slash;
  while ((slash = path.find('/')) != std::string_view::npos) {
    std::string part(path.substr(0, slash));
    if (mkdirat(folder.Get(), part.c_str(), 0755) != 0 && errno != EEXIST) {
      return fail(nullptr);
    }
    Descriptor next(
        openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.Get() < 0) {
      return fail(nullptr);
    }
    folder = std::move(next);
    path.remove_prefix(slash + 1);
  }
  const std::string name(path);
  struct stat st {};
  if (fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    return fail(S_ISLNK(st.st_mode) ? "a symbolic link is in the way" : "not a regular file");
  }
  std::string temporary;
  Descriptor file;
  for (unsigned attempt = 0; file.Get() < 0; ++attempt) {
    temporary = "." + name + "." + std::to_string(getpid()) + "." + std::to_string(attempt);
    file = Descriptor(openat(folder.Get(), temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.Get() < 0 && (errno != EEXIST || attempt > 100)) {
      return fail(nullptr);
    }
  }
  if (!WriteAll(file.Get(), bytes) || !file.Close() ||
      renameat(folder.Get(), temporary.c_str(), folder.Get(), name.c_str()) != 0) {
    const int saved = errno;
    unlinkat(folder.Get(), temporary.c_str(), 0);
    errno = saved;
    return fail(nullptr);
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
  // Every name is judged before anything is written: one hostile name refuses the package, and
  // so do two entries that would land in one file ("config/a" and "a" as well).
  std::map<std::string, std::string> paths;  // path below the folder → entry name
  for (const PackageEntry& entry : package.entries) {
    if (IsDirectoryEntry(entry.name)) {
      continue;
    }
    std::string why;
    std::optional<std::string> path = ExtractPath(entry.name, &why);
    if (!path) {
      result.error = "refusing entry \"" + entry.name + "\": " + why;
      return result;
    }
    auto [it, fresh] = paths.emplace(*path, entry.name);
    if (!fresh) {
      result.error = "refusing entries \"" + it->second + "\" and \"" + entry.name +
                     "\": both would be written to " + *path;
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
    // One entry in memory at a time.
    std::optional<std::string> bytes = package.Read(entry);
    if (!bytes) {
      unreadable.push_back(entry.name);
      continue;
    }
    std::string path = *ExtractPath(entry.name, nullptr);
    std::string error;
    if (!WriteBelow(root.Get(), path, *bytes, &error)) {
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

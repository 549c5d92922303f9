#include "pack/Extract.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

#include "pack/Files.h"

namespace launcher::pack {

namespace {

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
  FolderBelow root;
  if (!root.Open(folder)) {
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
    if (!root.Write(path, *bytes, &error)) {
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

// Unpacking: the entries of a packed executable written back to a folder. Entry names come
// from an untrusted file; nothing is ever written outside the folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/Package.h"

namespace launcher::pack {

// The path below the folder for an entry: its name without "config/". Nothing for a name that
// could leave the folder or means no file: empty, absolute, with a backslash, a NUL, an empty
// part, "." or "..". why says which.
std::optional<std::string> ExtractPath(std::string_view entryName, std::string* why);

struct ExtractResult {
  bool ok = false;
  std::vector<std::string> written;  // paths below the folder, in archive order
  std::vector<std::string> notes;    // entries left out (directory entries)
  std::string error;
};

// Writes every entry, cg.txt as stored, one entry in memory at a time. Refuses the whole
// package, writing nothing, when any name is unsafe or two entries would land in one file.
// Creates folder when missing; regular files already there are replaced (by renaming a new
// file over them), but a link, FIFO or folder in the way is an error and never written through.
ExtractResult ExtractPackage(const Package& package, const std::string& folder);

}  // namespace launcher::pack

// Writes the Zip archives that are appended to the launcher: deflated entries, "/" separators,
// no directory entries, no archive comment.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace launcher::pack {

struct ZipInput {
  std::string name;  // stored as given
  std::string data;
};

// The whole archive as bytes; nothing on failure.
std::optional<std::string> BuildZip(const std::vector<ZipInput>& entries);

}  // namespace launcher::pack

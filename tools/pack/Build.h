// Packing: a skin folder zipped under config/ and appended to a copy of the launcher.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "pack/Package.h"

namespace launcher::pack {

// The launcher's own bytes: an executable with anything appended to it removed, so that a
// packed launcher can be packed again without stacking archives.
struct LauncherImage {
  std::string bytes;
  std::size_t removed = 0;  // bytes of an earlier archive (or other appendage) left out
  std::string error;        // not empty: not an executable whose end can be found
};
LauncherImage StripAppended(std::string bytes, std::string_view name);

struct BuildResult {
  bool ok = false;
  std::string error;
  std::size_t removed = 0;  // as LauncherImage
  std::size_t size = 0;     // of the written file
};

// Writes launcher + the package's archive to output, mode 0755. The file appears whole or not
// at all: it is written beside output under a temporary name and renamed over it. Packs the
// entries as they are; refusing a package with errors is the caller's decision.
BuildResult BuildPackage(const Package& skin, const std::string& launcherPath,
                         const std::string& outputPath);

// The launcher built beside the running packer.
std::string DefaultLauncherPath();

}  // namespace launcher::pack

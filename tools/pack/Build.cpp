#include "pack/Build.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/Platform.h"
#include "config/Archive.h"
#include "pack/Files.h"
#include "pack/ZipWriter.h"

namespace launcher::pack {

namespace fs = std::filesystem;

namespace {

// Largest launcher executable packed onto; ours is a few megabytes.
constexpr std::uint64_t kMaxLauncherSize = 1ull << 30;

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

}  // namespace

LauncherImage StripAppended(std::string bytes, std::string_view name) {
  LauncherImage image;
  const ArchiveLocation location = LocateArchive(Bytes(bytes), bytes.size());
  switch (location.source) {
    case ArchiveStartSource::kElf:
    case ArchiveStartSource::kPe32:
    case ArchiveStartSource::kPe32Plus:
      break;
    case ArchiveStartSource::kEndRecord:
      image.error = std::string(name) + ": a Zip archive, not a launcher executable";
      return image;
    case ArchiveStartSource::kNone:
      image.error = std::string(name) + ": not an ELF or PE executable whose end can be found";
      return image;
  }
  image.removed = bytes.size() - location.start;
  bytes.resize(location.start);
  image.bytes = std::move(bytes);
  return image;
}

BuildResult BuildPackage(const Package& skin, const std::string& launcherPath,
                         const std::string& outputPath) {
  BuildResult result;
  std::string launcherBytes, why;
  if (!ReadRegularFile(launcherPath, kMaxLauncherSize, &launcherBytes, &why)) {
    result.error = launcherPath + ": cannot be read (" + why + ")";
    return result;
  }
  LauncherImage image = StripAppended(std::move(launcherBytes), launcherPath);
  if (!image.error.empty()) {
    result.error = image.error;
    return result;
  }
  result.removed = image.removed;

  std::vector<ZipInput> inputs;
  for (const PackageEntry& entry : skin.entries) {
    if (entry.state == PackageEntry::State::kRead) {
      inputs.push_back({entry.name, entry.bytes});
    }
  }
  auto zip = BuildZip(inputs);
  if (!zip) {
    result.error = "the archive could not be written";
    return result;
  }
  std::string packed = std::move(image.bytes);
  const std::size_t start = packed.size();
  packed += *zip;
  // The launcher will look for its archive where its headers end; make sure that is where it is.
  const ArchiveLocation check = LocateArchive(Bytes(packed), packed.size());
  if (check.start != start || check.zipStart != start) {
    result.error = launcherPath + ": the packed file would not find its archive at byte " +
                   std::to_string(start);
    return result;
  }

  PendingFile file(outputPath);
  if (!file.Opened()) {
    result.error = outputPath + ": cannot be written (" + std::strerror(errno) + ")";
    return result;
  }
  if (!file.Write(packed) || !file.Commit(0755)) {
    result.error = outputPath + ": writing failed (" + std::strerror(errno) + ")";
    return result;
  }
  result.ok = true;
  result.size = packed.size();
  return result;
}

std::string DefaultLauncherPath() {
  std::string self = OwnExecutablePath();
  if (self.empty()) {
    return "launcher";
  }
  return (fs::path(self).parent_path() / "launcher").string();
}

}  // namespace launcher::pack

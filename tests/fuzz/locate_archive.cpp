// A whole executable image: find the archive behind its headers, open it, read every entry.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/Archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace launcher;
  ArchiveLocation at = LocateArchive(data, size);
  if (at.source == ArchiveStartSource::kNone || at.start >= size) return 0;
  ArchiveHandle archive = OpenZipFromMemory(data + at.start, size - at.start);
  if (!archive) return 0;
  std::vector<ArchiveListing> entries;
  ListArchive(archive.get(), &entries);
  for (const ArchiveListing& entry : entries) {
    ArchiveEntryInfo info;
    if (FindArchiveEntry(archive.get(), entry.name, &info) != 0) continue;
    std::vector<std::uint8_t> buffer(info.uncompressedSize);
    ReadArchiveEntry(archive.get(), info, buffer.data(), buffer.size());
  }
  return 0;
}

// Bytes taken as the appended archive itself: the lookups start-up makes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/Archive.h"
#include "config/Png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace launcher;
  ArchiveHandle archive = OpenZipFromMemory(data, size);
  if (!archive) return 0;
  for (const char* name : {"config/cg.txt", "config/main1.png", "config/style.png"}) {
    ArchiveEntryInfo info;
    if (FindArchiveEntry(archive.get(), name, &info) != 0) continue;
    std::vector<std::uint8_t> buffer(info.uncompressedSize);
    long n = ReadArchiveEntry(archive.get(), info, buffer.data(), buffer.size());
    if (n == static_cast<long>(buffer.size()) && name[7] != 'c') {
      Bitmap picture;
      DecodePng(buffer.data(), buffer.size(), &picture);
    }
  }
  return 0;
}

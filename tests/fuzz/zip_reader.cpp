// Bytes taken as the appended archive itself: the lookups start-up makes, through minizip's
// reader and our own, which must agree on everything (open or refused and why, the listing,
// every lookup, every byte read); a disagreement aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "config/Archive.h"
#include "config/Png.h"
#include "config/ZipInflate.h"

namespace {

using namespace launcher;

void Disagree(const char* what) {
  std::fprintf(stderr, "the Zip readers disagree: %s\n", what);
  std::abort();
}

bool SameInfo(const ArchiveEntryInfo& a, const ArchiveEntryInfo& b) {
  return a.index == b.index && a.directoryOffset == b.directoryOffset &&
         a.uncompressedSize == b.uncompressedSize && a.compressedSize == b.compressedSize;
}

// Reads info through both; the bytes the launcher would use, when both read them whole.
std::vector<std::uint8_t> ReadBoth(ZipArchive* minizip, inflate_zip::ZipArchive* inflate,
                                   const ArchiveEntryInfo& info) {
  std::vector<std::uint8_t> a(info.uncompressedSize), b(info.uncompressedSize);
  long n = ReadArchiveEntry(minizip, info, a.data(), a.size());
  long m = inflate_zip::ReadArchiveEntry(inflate, info, b.data(), b.size());
  if (n != m) {
    Disagree("read count");
  }
  if (n > 0 && !std::equal(a.begin(), a.begin() + n, b.begin())) {
    Disagree("bytes read");
  }
  return n == static_cast<long>(a.size()) ? a : std::vector<std::uint8_t>{};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ZipOpenError minizipError = ZipOpenError::kNone, inflateError = ZipOpenError::kNone;
  ArchiveHandle archive = OpenZipFromMemory(data, size, &minizipError);
  inflate_zip::ArchiveHandle ours = inflate_zip::OpenZipFromMemory(data, size, &inflateError);
  if (minizipError != inflateError || !archive != !ours) {
    Disagree("open");
  }
  if (!archive) {
    return 0;
  }

  std::vector<ArchiveListing> listing, ourListing;
  if (ListArchive(archive.get(), &listing) != inflate_zip::ListArchive(ours.get(), &ourListing) ||
      listing.size() != ourListing.size()) {
    Disagree("listing");
  }
  for (std::size_t i = 0; i < listing.size(); ++i) {
    if (listing[i].name != ourListing[i].name || !SameInfo(listing[i].info, ourListing[i].info)) {
      Disagree("listed entry");
    }
    // Reads of what is listed but refused too (the packing tool lists before it looks up),
    // within a bound for the buffers.
    if (listing[i].info.uncompressedSize <= (1u << 24)) {
      ReadBoth(archive.get(), ours.get(), listing[i].info);
    }
  }

  for (const char* name : {"config/cg.txt", "config/main1.png", "config/style.png"}) {
    ArchiveEntryInfo info, ourInfo;
    int found = FindArchiveEntry(archive.get(), name, &info);
    if (found != inflate_zip::FindArchiveEntry(ours.get(), name, &ourInfo) ||
        (found == 0 && !SameInfo(info, ourInfo))) {
      Disagree("lookup");
    }
    if (found != 0) {
      continue;
    }
    std::vector<std::uint8_t> bytes = ReadBoth(archive.get(), ours.get(), info);
    if (!bytes.empty() && name[7] != 'c') {
      Bitmap picture;
      DecodePng(bytes.data(), bytes.size(), &picture);
    }
  }
  return 0;
}

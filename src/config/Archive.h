// The Zip archive appended to the executable: locating it behind the executable's own headers,
// and reading its entries in place from the mapped file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/MappedFile.h"

namespace launcher {

// How the start of the appended archive was found.
enum class ArchiveStartSource {
  kNone,  // no archive follows the executable
  kElf,   // end of the ELF file's sections, segments and header tables
  kPe32,  // end of the last PE section's raw data
  kPe32Plus,
  kEndRecord,  // not an executable we know: the Zip end-of-central-directory record
};

struct ArchiveLocation {
  ArchiveStartSource source = ArchiveStartSource::kNone;
  std::size_t start = 0;  // first byte after the executable's own data
  // Where the Zip end record says its archive begins (counting its offsets back from the
  // central directory), or npos when there is no end record. Agrees with start for a packed
  // executable.
  std::size_t zipStart = std::string_view::npos;
};

// Finds where the appended bytes begin. Every header field is checked against size; headers
// that are cut short or point outside the file give kNone. Pure: reads only data[0, size).
ArchiveLocation LocateArchive(const std::uint8_t* data, std::size_t size);

const char* ArchiveStartSourceName(ArchiveStartSource source);

// Position of the Zip end-of-central-directory record within data, or npos.
std::size_t FindZipEndRecord(const std::uint8_t* data, std::size_t size);

// What a lookup yields.
struct ArchiveEntryInfo {
  std::uint64_t index = 0;            // position in the central directory
  std::uint64_t directoryOffset = 0;  // where the reader finds the entry again
  std::uint32_t uncompressedSize = 0;
  std::uint32_t compressedSize = 0;
};

// An open archive over bytes it does not own (the mapped executable). Not thread-safe.
class ZipArchive;
struct ZipArchiveDeleter {
  void operator()(ZipArchive* archive) const;
};
using ArchiveHandle = std::unique_ptr<ZipArchive, ZipArchiveDeleter>;

// Why bytes could not be opened as an archive.
enum class ZipOpenError {
  kNone,
  kNotZip,    // no Zip archive the library can open
  kOverlap,   // two entries claim the same bytes: a bomb, not a packed skin
  kTooLarge,  // the entries together state more than kMaxArchiveTotal
};
const char* ZipOpenErrorText(ZipOpenError error);

// Opens a Zip archive on [data, data + size); null when it is not one, or when its entries
// overlap or their stated sizes add up past kMaxArchiveTotal (judged from the directory alone,
// before anything is inflated). The central directory is read once, here; lookups afterwards
// cost no walk. The bytes must outlive the handle.
ArchiveHandle OpenZipFromMemory(const std::uint8_t* data, std::size_t size,
                                ZipOpenError* error = nullptr);

// 0 when found. Names compare byte for byte; a name of 256 bytes or more is never found. An entry
// whose stated sizes cannot be true (more than deflate can expand, or past kMaxEntrySize) counts
// as missing, so a lying header never makes a caller allocate gigabytes.
int FindArchiveEntry(ZipArchive* archive, std::string_view name, ArchiveEntryInfo* info);

// Inflates the entry into buffer, at most size bytes. Returns the number of bytes written, or -1
// when the data is corrupt (a failed inflation or a checksum mismatch).
long ReadArchiveEntry(ZipArchive* archive, const ArchiveEntryInfo& info, void* buffer,
                      std::size_t size);

// Every entry name, in central-directory order, with its sizes. Names of 256 bytes or more are
// cut and end in "...". False when the directory breaks off (entries holds those before).
struct ArchiveListing {
  std::string name;
  ArchiveEntryInfo info;
};
bool ListArchive(ZipArchive* archive, std::vector<ArchiveListing>* entries);

// What one entry, and all entries together, may state as their uncompressed size. A skin needs
// a few megabytes; the bounds keep a hostile archive from making a reader allocate more.
constexpr std::uint32_t kMaxEntrySize = 256u << 20;
constexpr std::uint64_t kMaxArchiveTotal = 512ull << 20;

}  // namespace launcher

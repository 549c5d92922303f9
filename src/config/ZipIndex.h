// The central directory as both Zip readers keep it, and every judgement made on it: which
// entries can be read, which names are found, and which archives are refused before anything is
// inflated. The minizip reader and our own reader feed it the same records, so they cannot
// disagree on a bound. Internal to config/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/Archive.h"

namespace launcher {

// What FindArchiveEntry returns (minizip's codes; callers only compare with 0).
constexpr int kZipFound = 0;
constexpr int kZipNotFound = -100;
constexpr int kZipBadName = -102;
constexpr int kZipUnreadable = -103;

// Longer names are listed cut and never found.
constexpr std::size_t kMaxZipNameLength = 255;

// One central-directory record as a reader parsed it.
struct ZipRecord {
  std::string_view name;         // the stored name's first bytes, at most kMaxZipNameLength + 1
  std::uint64_t nameLength = 0;  // as the record states it
  std::uint64_t index = 0;
  std::uint64_t directoryOffset = 0;
  std::uint64_t flag = 0;
  std::uint64_t method = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  bool located = false;         // a local header agrees with the record
  std::uint64_t dataBegin = 0;  // where the compressed data starts, when located
};

class ZipIndex {
 public:
  // Records in central-directory order.
  void Add(const ZipRecord& record);
  // After the last record; complete when the directory ended where it said it would. Judges
  // the whole directory (overlapping data, the stated total) and builds the name index.
  ZipOpenError Finish(bool complete);

  // FindArchiveEntry and ListArchive, after Finish.
  int Find(std::string_view name, ArchiveEntryInfo* info) const;
  bool List(std::vector<ArchiveListing>* entries) const;

 private:
  struct Entry {
    ArchiveListing listing;
    bool readable = false;  // plausible sizes, a name that can be looked up, a local header found
  };
  // The bytes an entry's compressed data occupies.
  struct DataRange {
    std::uint64_t begin, end;
  };

  std::vector<Entry> entries_;
  std::vector<DataRange> ranges_;
  std::uint64_t total_ = 0;
  std::unordered_map<std::string_view, std::size_t> byName_;  // keys point into entries_
  bool complete_ = false;
};

}  // namespace launcher

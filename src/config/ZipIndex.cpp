#include "config/ZipIndex.h"

#include <algorithm>
#include <string>

namespace launcher {

namespace {

constexpr std::uint64_t kStored = 0;
constexpr std::uint64_t kDeflated = 8;

// Sizes a reader can trust: deflate never expands more than about 1032 to 1, stored entries
// are as long as they are, and nothing the skin needs comes near kMaxEntrySize.
bool Plausible(const ZipRecord& record) {
  if (record.flag & 1) {
    return false;  // encrypted
  }
  if (record.uncompressedSize > kMaxEntrySize) {
    return false;
  }
  if (record.method == kStored) {
    return record.uncompressedSize == record.compressedSize;
  }
  if (record.method == kDeflated) {
    return record.uncompressedSize <= record.compressedSize * 1032 + 1024;
  }
  return false;
}

}  // namespace

void ZipIndex::Add(const ZipRecord& record) {
  Entry entry;
  const bool fullName = record.nameLength <= kMaxZipNameLength;
  entry.listing.name.assign(record.name.substr(0, kMaxZipNameLength));
  if (!fullName) {
    entry.listing.name.append("...");
  }
  ArchiveEntryInfo& info = entry.listing.info;
  info.index = record.index;
  info.directoryOffset = record.directoryOffset;
  info.uncompressedSize =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(record.uncompressedSize, UINT32_MAX));
  info.compressedSize =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(record.compressedSize, UINT32_MAX));
  if (record.located && record.compressedSize > 0) {
    ranges_.push_back({record.dataBegin, record.dataBegin + record.compressedSize});
  }
  entry.readable = record.located && fullName && Plausible(record);
  if (entry.readable) {
    total_ += record.uncompressedSize;
  }
  entries_.push_back(std::move(entry));
}

ZipOpenError ZipIndex::Finish(bool complete) {
  complete_ = complete;
  std::sort(ranges_.begin(), ranges_.end(),
            [](const DataRange& a, const DataRange& b) { return a.begin < b.begin; });
  for (std::size_t i = 1; i < ranges_.size(); ++i) {
    if (ranges_[i].begin < ranges_[i - 1].end) {
      return ZipOpenError::kOverlap;
    }
  }
  if (total_ > kMaxArchiveTotal) {
    return ZipOpenError::kTooLarge;
  }
  // Keys point into entries_, which no longer grows.
  byName_.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const std::string& name = entries_[i].listing.name;
    if (name.size() <= kMaxZipNameLength) {
      byName_.emplace(name, i);  // an earlier entry of the same name stays
    }
  }
  return ZipOpenError::kNone;
}

int ZipIndex::Find(std::string_view name, ArchiveEntryInfo* info) const {
  if (name.empty() || name.size() > kMaxZipNameLength ||
      name.find('\0') != std::string_view::npos) {
    return kZipBadName;
  }
  auto it = byName_.find(name);
  if (it == byName_.end()) {
    return kZipNotFound;
  }
  const Entry& entry = entries_[it->second];
  if (!entry.readable) {
    return kZipUnreadable;
  }
  *info = entry.listing.info;
  return kZipFound;
}

bool ZipIndex::List(std::vector<ArchiveListing>* entries) const {
  entries->reserve(entries->size() + entries_.size());
  for (const Entry& entry : entries_) {
    entries->push_back(entry.listing);
  }
  return complete_;
}

}  // namespace launcher

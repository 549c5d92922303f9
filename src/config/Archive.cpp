#include "config/Archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace launcher {

// ---------------------------------------------------------------------------------------------
// Locating the archive

namespace {

// Bounds-checked little- or big-endian reads from the file image.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size, bool bigEndian = false)
      : data_(data), size_(size), big_(bigEndian) {}

  bool Fits(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  // Each returns false when the field lies outside the file.
  bool U16(std::uint64_t offset, std::uint64_t* out) const { return Read(offset, 2, out); }
  bool U32(std::uint64_t offset, std::uint64_t* out) const { return Read(offset, 4, out); }
  bool U64(std::uint64_t offset, std::uint64_t* out) const { return Read(offset, 8, out); }

 private:
  bool Read(std::uint64_t offset, unsigned width, std::uint64_t* out) const {
    if (!Fits(offset, width)) {
      return false;
    }
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i) {
      unsigned shift = big_ ? 8 * (width - 1 - i) : 8 * i;
      v |= static_cast<std::uint64_t>(data_[offset + i]) << shift;
    }
    *out = v;
    return true;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  bool big_;
};

constexpr std::uint64_t kShtNobits = 8;

// End of everything an ELF file's headers describe: the header itself, both header tables,
// every section with file contents and every segment. False when a header is cut short or a
// table lies outside the file.
bool ElfDataEnd(const std::uint8_t* data, std::size_t size, std::uint64_t* end) {
  if (size < 16) {
    return false;
  }
  bool is64 = data[4] == 2;
  if (data[4] != 1 && data[4] != 2) {
    return false;
  }
  if (data[5] != 1 && data[5] != 2) {
    return false;
  }
  Reader r(data, size, data[5] == 2);

  std::uint64_t phoff, shoff, phentsize, phnum, shentsize, shnum, ehsize;
  bool ok = is64 ? r.U64(32, &phoff) && r.U64(40, &shoff) && r.U16(52, &ehsize) &&
                       r.U16(54, &phentsize) && r.U16(56, &phnum) && r.U16(58, &shentsize) &&
                       r.U16(60, &shnum)
                 : r.U32(28, &phoff) && r.U32(32, &shoff) && r.U16(40, &ehsize) &&
                       r.U16(42, &phentsize) && r.U16(44, &phnum) && r.U16(46, &shentsize) &&
                       r.U16(48, &shnum);
  if (!ok) {
    return false;
  }
  const std::uint64_t minSh = is64 ? 64 : 40;
  const std::uint64_t minPh = is64 ? 56 : 32;
  std::uint64_t result = std::max<std::uint64_t>(ehsize, is64 ? 64 : 52);

  if (shoff != 0) {
    if (shentsize < minSh) {
      return false;
    }
    // More than 0xff00 sections: the real count sits in the first entry's size field.
    if (shnum == 0) {
      std::uint64_t count;
      if (!(is64 ? r.U64(shoff + 32, &count) : r.U32(shoff + 20, &count))) {
        return false;
      }
      shnum = count;
    }
    if (shnum > size / shentsize || !r.Fits(shoff, shnum * shentsize)) {
      return false;
    }
    result = std::max(result, shoff + shnum * shentsize);
    for (std::uint64_t i = 0; i < shnum; ++i) {
      std::uint64_t entry = shoff + i * shentsize, type, offset, length;
      bool read = r.U32(entry + 4, &type) &&
                  (is64 ? r.U64(entry + 24, &offset) && r.U64(entry + 32, &length)
                        : r.U32(entry + 16, &offset) && r.U32(entry + 20, &length));
      if (!read) {
        return false;
      }
      if (type == kShtNobits) {
        continue;
      }
      if (offset > size || length > size - offset) {
        return false;
      }
      result = std::max(result, offset + length);
    }
  }
  if (phoff != 0 && phnum != 0) {
    if (phentsize < minPh || !r.Fits(phoff, phnum * phentsize)) {
      return false;
    }
    result = std::max(result, phoff + phnum * phentsize);
    for (std::uint64_t i = 0; i < phnum; ++i) {
      std::uint64_t entry = phoff + i * phentsize, offset, length;
      bool read = is64 ? r.U64(entry + 8, &offset) && r.U64(entry + 32, &length)
                       : r.U32(entry + 4, &offset) && r.U32(entry + 16, &length);
      if (!read) {
        return false;
      }
      if (offset > size || length > size - offset) {
        return false;
      }
      result = std::max(result, offset + length);
    }
  }
  *end = result;
  return true;
}

// End of the raw data of the last entry of the PE section table. The table starts after the
// optional header, whose size the file header gives (224 bytes for PE32, 240 for PE32+).
bool PeDataEnd(const std::uint8_t* data, std::size_t size, std::uint64_t* end, bool* plus) {
  Reader r(data, size);
  std::uint64_t pe, sections, optionalSize, magic;
  if (!r.U32(0x3C, &pe) || !r.U16(pe + 6, &sections) || !r.U16(pe + 20, &optionalSize)) {
    return false;
  }
  *plus = r.U16(pe + 24, &magic) && magic == 0x20B;
  std::uint64_t table = pe + 24 + optionalSize;
  if (sections == 0) {
    if (!r.Fits(table, 0)) {
      return false;
    }
    *end = table;
    return true;
  }
  std::uint64_t last = table + (sections - 1) * 40, rawSize, rawPointer;
  if (!r.U32(last + 16, &rawSize) || !r.U32(last + 20, &rawPointer)) {
    return false;
  }
  *end = rawPointer + rawSize;
  return true;
}

}  // namespace

std::size_t FindZipEndRecord(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kRecord = 22;
  if (size < kRecord) {
    return std::string_view::npos;
  }
  std::size_t lowest = size - kRecord > 0xFFFF ? size - kRecord - 0xFFFF : 0;
  for (std::size_t pos = size - kRecord + 1; pos-- > lowest;) {
    if (data[pos] != 'P' || data[pos + 1] != 'K' || data[pos + 2] != 5 || data[pos + 3] != 6) {
      continue;
    }
    std::size_t commentLength = data[pos + 20] | (data[pos + 21] << 8);
    if (pos + kRecord + commentLength <= size) {
      return pos;
    }
  }
  return std::string_view::npos;
}

ArchiveLocation LocateArchive(const std::uint8_t* data, std::size_t size) {
  ArchiveLocation location;
  std::size_t endRecord = FindZipEndRecord(data, size);
  if (endRecord != std::string_view::npos) {
    Reader r(data, size);
    std::uint64_t directorySize = 0, directoryOffset = 0;
    r.U32(endRecord + 12, &directorySize);
    r.U32(endRecord + 16, &directoryOffset);
    if (directorySize + directoryOffset <= endRecord) {
      location.zipStart = endRecord - directorySize - directoryOffset;
    }
  }

  std::uint64_t end = 0;
  if (size >= 4 && std::memcmp(data,
                               "\x7F"
                               "ELF",
                               4) == 0) {
    if (!ElfDataEnd(data, size, &end)) {
      return location;
    }
    location.source = ArchiveStartSource::kElf;
  } else if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
    bool plus = false;
    if (!PeDataEnd(data, size, &end, &plus)) {
      return location;
    }
    location.source = plus ? ArchiveStartSource::kPe32Plus : ArchiveStartSource::kPe32;
  } else if (location.zipStart != std::string_view::npos) {
    location.source = ArchiveStartSource::kEndRecord;
    end = location.zipStart;
  } else {
    return location;
  }
  if (end > size) {
    location.source = ArchiveStartSource::kNone;
    return location;
  }
  location.start = static_cast<std::size_t>(end);
  return location;
}

const char* ArchiveStartSourceName(ArchiveStartSource source) {
  switch (source) {
    case ArchiveStartSource::kElf:
      return "ELF";
    case ArchiveStartSource::kPe32:
      return "PE32";
    case ArchiveStartSource::kPe32Plus:
      return "PE32+";
    case ArchiveStartSource::kEndRecord:
      return "Zip end record";
    case ArchiveStartSource::kNone:
      break;
  }
  return "none";
}

// ---------------------------------------------------------------------------------------------
// The Zip reader over memory

namespace {

struct MemoryRange {
  const std::uint8_t* data;
  std::size_t size;
};

struct MemoryCursor {
  MemoryRange range;
  std::uint64_t position = 0;
};

voidpf MemOpen(voidpf opaque, const void* /*filename*/, int /*mode*/) {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): freed by MemClose, minizip's contract
  return new MemoryCursor{*static_cast<MemoryRange*>(opaque)};
}

uLong MemRead(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
  auto* c = static_cast<MemoryCursor*>(stream);
  if (c->position >= c->range.size) {
    return 0;
  }
  std::uint64_t n = std::min<std::uint64_t>(size, c->range.size - c->position);
  std::memcpy(buffer, c->range.data + c->position, n);
  c->position += n;
  return static_cast<uLong>(n);
}

uLong MemWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T MemTell(voidpf /*opaque*/, voidpf stream) {
  return static_cast<MemoryCursor*>(stream)->position;
}

long MemSeek(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
  auto* c = static_cast<MemoryCursor*>(stream);
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      base = 0;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = c->position;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = c->range.size;
      break;
    default:
      return -1;
  }
  if (offset > c->range.size || base > c->range.size - offset) {
    return -1;
  }
  c->position = base + offset;
  return 0;
}

int MemClose(voidpf /*opaque*/, voidpf stream) {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): made by MemOpen
  delete static_cast<MemoryCursor*>(stream);
  return 0;
}

int MemError(voidpf, voidpf) { return 0; }

constexpr std::size_t kMaxNameLength = 255;  // longer names are never found

// Sizes a reader can trust: deflate never expands more than about 1032 to 1, stored entries
// are as long as they are, and nothing the skin needs comes near kMaxEntrySize.
bool Plausible(const unz_file_info64& info) {
  if (info.flag & 1) {
    return false;  // encrypted
  }
  if (info.uncompressed_size > kMaxEntrySize) {
    return false;
  }
  if (info.compression_method == 0) {
    return info.uncompressed_size == info.compressed_size;
  }
  if (info.compression_method == Z_DEFLATED) {
    return info.uncompressed_size <= info.compressed_size * 1032 + 1024;
  }
  return false;
}

// One entry of the directory as the index keeps it.
struct IndexedEntry {
  ArchiveListing listing;
  bool readable = false;  // plausible sizes, a name that can be looked up, a local header found
};

// The bytes an entry's compressed data occupies.
struct DataRange {
  std::uint64_t begin, end;
};

}  // namespace

class ZipArchive {
 public:
  explicit ZipArchive(MemoryRange range) : range_(range) {}
  ~ZipArchive() {
    if (file_) {
      unzClose(file_);
    }
  }
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  ZipOpenError Open() {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = MemOpen;
    functions.zread_file = MemRead;
    functions.zwrite_file = MemWrite;
    functions.ztell64_file = MemTell;
    functions.zseek64_file = MemSeek;
    functions.zclose_file = MemClose;
    functions.zerror_file = MemError;
    functions.opaque = &range_;
    file_ = unzOpen2_64("appended archive", &functions);
    if (!file_) {
      return ZipOpenError::kNotZip;
    }
    return Index();
  }

  unzFile File() const { return file_; }
  const std::vector<IndexedEntry>& Entries() const { return entries_; }
  bool Complete() const { return complete_; }

  // The first entry of that exact name, or null.
  const IndexedEntry* Find(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &entries_[it->second];
  }

 private:
  // Reads the whole central directory once: the listing, the name index (first name wins), and
  // the checks that need every entry at once. Nothing is inflated.
  ZipOpenError Index() {
    std::vector<DataRange> ranges;
    std::uint64_t total = 0;
    int err = unzGoToFirstFile(file_);
    for (; err == UNZ_OK; err = unzGoToNextFile(file_)) {
      IndexedEntry entry;
      unz_file_info64 raw{};
      char name[kMaxNameLength + 1];
      if (unzGetCurrentFileInfo64(file_, &raw, name, sizeof name, nullptr, 0, nullptr, 0) !=
          UNZ_OK) {
        break;
      }
      unz64_file_pos pos{};
      if (unzGetFilePos64(file_, &pos) != UNZ_OK) {
        break;
      }
      const bool fullName = raw.size_filename <= kMaxNameLength;
      entry.listing.name.assign(name, std::min<std::size_t>(raw.size_filename, kMaxNameLength));
      if (!fullName) {
        entry.listing.name.append("...");
      }
      ArchiveEntryInfo& info = entry.listing.info;
      info.index = pos.num_of_file;
      info.directoryOffset = pos.pos_in_zip_directory;
      info.uncompressedSize =
          static_cast<std::uint32_t>(std::min<ZPOS64_T>(raw.uncompressed_size, UINT32_MAX));
      info.compressedSize =
          static_cast<std::uint32_t>(std::min<ZPOS64_T>(raw.compressed_size, UINT32_MAX));

      // Where the data lies, from the local header, without setting up inflation.
      int method = 0, level = 0;
      bool located = false;
      if (unzOpenCurrentFile2(file_, &method, &level, 1) == UNZ_OK) {
        const ZPOS64_T begin = unzGetCurrentFileZStreamPos64(file_);
        unzCloseCurrentFile(file_);
        located = true;
        if (raw.compressed_size > 0) {
          ranges.push_back({begin, begin + raw.compressed_size});
        }
      }
      entry.readable = located && fullName && Plausible(raw);
      if (entry.readable) {
        total += raw.uncompressed_size;
      }
      entries_.push_back(std::move(entry));
    }
    complete_ = err == UNZ_END_OF_LIST_OF_FILE;

    std::sort(ranges.begin(), ranges.end(),
              [](const DataRange& a, const DataRange& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < ranges.size(); ++i) {
      if (ranges[i].begin < ranges[i - 1].end) {
        return ZipOpenError::kOverlap;
      }
    }
    if (total > kMaxArchiveTotal) {
      return ZipOpenError::kTooLarge;
    }
    // Keys point into entries_, which no longer grows.
    byName_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const std::string& name = entries_[i].listing.name;
      if (name.size() <= kMaxNameLength) {
        byName_.emplace(name, i);  // an earlier entry of the same name stays
      }
    }
    return ZipOpenError::kNone;
  }

  MemoryRange range_;
  unzFile file_ = nullptr;
  std::vector<IndexedEntry> entries_;
  std::unordered_map<std::string_view, std::size_t> byName_;
  bool complete_ = false;
};

void ZipArchiveDeleter::operator()(ZipArchive* archive) const {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
  delete archive;
}

const char* ZipOpenErrorText(ZipOpenError error) {
  switch (error) {
    case ZipOpenError::kNone:
      return "opened";
    case ZipOpenError::kNotZip:
      return "not a Zip archive";
    case ZipOpenError::kOverlap:
      return "entries overlap (the same bytes stated as several files)";
    case ZipOpenError::kTooLarge:
      return "the entries together state more than 512 MiB";
  }
  return "?";
}

ArchiveHandle OpenZipFromMemory(const std::uint8_t* data, std::size_t size, ZipOpenError* error) {
  ZipOpenError ignored = ZipOpenError::kNone;
  ZipOpenError& result = error ? *error : ignored;
  result = ZipOpenError::kNotZip;
  if (!data || size == 0) {
    return nullptr;
  }
  auto archive = ArchiveHandle(new ZipArchive({data, size}));
  result = archive->Open();
  if (result != ZipOpenError::kNone) {
    return nullptr;
  }
  return archive;
}

int FindArchiveEntry(ZipArchive* archive, std::string_view name, ArchiveEntryInfo* info) {
  if (!archive || name.empty() || name.size() > kMaxNameLength ||
      name.find('\0') != std::string_view::npos) {
    return UNZ_PARAMERROR;
  }
  const IndexedEntry* entry = archive->Find(name);
  if (!entry) {
    return UNZ_END_OF_LIST_OF_FILE;
  }
  if (!entry->readable) {
    return UNZ_BADZIPFILE;
  }
  *info = entry->listing.info;
  return UNZ_OK;
}

long ReadArchiveEntry(ZipArchive* archive, const ArchiveEntryInfo& info, void* buffer,
                      std::size_t size) {
  if (!archive) {
    return -1;
  }
  unzFile file = archive->File();
  unz64_file_pos pos{info.directoryOffset, info.index};
  if (unzGoToFilePos64(file, &pos) != UNZ_OK) {
    return -1;
  }
  if (unzOpenCurrentFile(file) != UNZ_OK) {
    return -1;
  }
  std::size_t total = 0;
  auto* out = static_cast<char*>(buffer);
  while (total < size) {
    unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size - total, 1u << 20));
    int n = unzReadCurrentFile(file, out + total, chunk);
    if (n < 0) {
      unzCloseCurrentFile(file);
      return -1;
    }
    if (n == 0) {
      break;
    }
    total += static_cast<std::size_t>(n);
  }
  // The checksum is only checked when the whole entry was read; then a mismatch is corruption.
  int closed = unzCloseCurrentFile(file);
  if (closed == UNZ_CRCERROR) {
    return -1;
  }
  return static_cast<long>(total);
}

bool ListArchive(ZipArchive* archive, std::vector<ArchiveListing>* entries) {
  if (!archive) {
    return false;
  }
  entries->reserve(entries->size() + archive->Entries().size());
  for (const IndexedEntry& entry : archive->Entries()) {
    entries->push_back(entry.listing);
  }
  return archive->Complete();
}

}  // namespace launcher

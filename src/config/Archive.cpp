// Locating the appended archive: pure, shared by every platform. Its entries are read by
// ZipMinizip.cpp (Linux) or ZipInflate.cpp (Windows) behind the same functions.
#include "config/Archive.h"

#include <algorithm>
#include <cstring>

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

}  // namespace launcher

// Our own Zip reader over memory (see ZipInflate.h). It reads the end records, the central
// directory and the local headers field by field with the rules minizip applies (which
// signatures it searches where, which fields must agree, where ZIP64 values come from), and
// hands the data to zlib in the same steps, so that the two readers find, read and refuse
// alike. Every offset and length is checked against the bytes before it is used; sums of
// stated offsets wrap as minizip's do, and every position made from them is checked again.
#include "config/ZipInflate.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "config/ZipIndex.h"

namespace launcher::inflate_zip {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint64_t kCentralRecordSize = 46;
constexpr std::uint64_t kLocalHeaderSize = 30;
constexpr std::uint64_t kEndSearch = 0xffff;    // how far back from the end records are sought
constexpr std::uint64_t kInZip64 = 0xffffffff;  // the value stands in the ZIP64 extra field
constexpr std::uint64_t kZip64Extra = 0x0001;
constexpr std::uint64_t kCountOverflow = 0xffff;  // a count that may have overflowed
constexpr std::uint64_t kStored = 0;
constexpr std::uint64_t kDeflated = 8;
constexpr std::uint64_t kBzip2 = 12;  // located, but only ever copied as it is
constexpr std::uint32_t kInputChunk = 16384;
constexpr std::size_t kOutputPiece = 1u << 20;

// A read position over the bytes. A seek or read that would pass the end fails.
class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::uint64_t size) : data_(data), size_(size) {}

  bool Seek(std::uint64_t at) {
    if (at > size_) {
      return false;
    }
    position_ = at;
    return true;
  }
  bool Skip(std::uint64_t length) { return Take(length) != nullptr; }
  // The next length bytes, or null when they do not all lie within the bytes.
  const std::uint8_t* Take(std::uint64_t length) {
    if (length > size_ - position_) {
      return nullptr;
    }
    const std::uint8_t* at = data_ + position_;
    position_ += length;
    return at;
  }
  bool U16(std::uint64_t* out) { return Little(2, out); }
  bool U32(std::uint64_t* out) { return Little(4, out); }
  bool U64(std::uint64_t* out) { return Little(8, out); }

 private:
  bool Little(unsigned width, std::uint64_t* out) {
    const std::uint8_t* at = Take(width);
    if (!at) {
      return false;
    }
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
      value |= std::uint64_t{at[i]} << (8 * i);
    }
    *out = value;
    return true;
  }

  const std::uint8_t* data_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

// The highest position of the signature in the last 64 KiB, or 0 when there is none. A
// signature at position 0 counts as none, as it does for minizip.
std::uint64_t FindBackwards(const std::uint8_t* data, std::uint64_t size, std::uint32_t signature) {
  if (size < 5) {
    return 0;
  }
  const std::uint64_t lowest = size > kEndSearch ? size - kEndSearch : 1;
  for (std::uint64_t at = size - 4; at >= lowest; --at) {
    std::uint32_t found = data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                          static_cast<std::uint32_t>(data[at + 3]) << 24;
    if (found == signature) {
      return at;
    }
  }
  return 0;
}

// Where the ZIP64 end record is, from its locator; 0 when there is none (then the plain end
// record counts).
std::uint64_t FindZip64End(const std::uint8_t* data, std::uint64_t size) {
  const std::uint64_t locator = FindBackwards(data, size, kZip64LocatorSignature);
  Cursor c(data, size);
  std::uint64_t signature = 0, disk = 0, end = 0, disks = 0;
  if (locator == 0 || !c.Seek(locator) || !c.U32(&signature) || !c.U32(&disk) || disk != 0 ||
      !c.U64(&end) || !c.U32(&disks) || disks != 1 || !c.Seek(end) || !c.U32(&signature) ||
      signature != kZip64EndSignature) {
    return 0;
  }
  return end;
}

// The end records' account of the central directory.
struct Directory {
  std::uint64_t entries = 0;
  std::uint64_t offset = 0;        // of the first record, from the archive's start
  std::uint64_t archiveStart = 0;  // bytes before the archive: added to every stated offset
};

bool ReadDirectory(const std::uint8_t* data, std::uint64_t size, Directory* directory) {
  Cursor c(data, size);
  std::uint64_t central = FindZip64End(data, size);
  std::uint64_t ignored = 0, disk = 0, directoryDisk = 0, entries = 0, diskEntries = 0;
  std::uint64_t directorySize = 0, offset = 0;
  bool read = false;
  if (central != 0) {
    read = c.Seek(central) && c.U32(&ignored) && c.U64(&ignored) && c.U16(&ignored) &&
           c.U16(&ignored) && c.U32(&disk) && c.U32(&directoryDisk) && c.U64(&diskEntries) &&
           c.U64(&entries) && c.U64(&directorySize) && c.U64(&offset);
  } else {
    central = FindBackwards(data, size, kEndSignature);
    read = central != 0 && c.Seek(central) && c.U32(&ignored) && c.U16(&disk) &&
           c.U16(&directoryDisk) && c.U16(&diskEntries) && c.U16(&entries) &&
           c.U32(&directorySize) && c.U32(&offset) && c.U16(&ignored);
  }
  if (!read || entries != diskEntries || directoryDisk != 0 || disk != 0) {
    return false;  // cut short, or an archive spanning several disks
  }
  const std::uint64_t end = offset + directorySize;
  if (central < end) {
    return false;
  }
  directory->entries = entries;
  directory->offset = offset;
  directory->archiveStart = central - end;
  return true;
}

// One central-directory record's fields.
struct Record {
  std::uint64_t flag = 0, method = 0, crc = 0;
  std::uint64_t compressedSize = 0, uncompressedSize = 0, localOffset = 0;
  std::uint64_t nameLength = 0, extraLength = 0, commentLength = 0;
  std::string_view name;  // the first bytes, at most kMaxZipNameLength + 1
};

bool ReadRecord(Cursor& c, std::uint64_t at, Record* r) {
  std::uint64_t signature = 0, ignored = 0;
  if (!c.Seek(at) || !c.U32(&signature) || signature != kCentralSignature) {
    return false;
  }
  if (!c.U16(&ignored) || !c.U16(&ignored) || !c.U16(&r->flag) || !c.U16(&r->method) ||
      !c.U32(&ignored) || !c.U32(&r->crc) || !c.U32(&r->compressedSize) ||
      !c.U32(&r->uncompressedSize) || !c.U16(&r->nameLength) || !c.U16(&r->extraLength) ||
      !c.U16(&r->commentLength) || !c.U16(&ignored) || !c.U16(&ignored) || !c.U32(&ignored) ||
      !c.U32(&r->localOffset)) {
    return false;
  }
  const std::uint64_t kept = std::min<std::uint64_t>(r->nameLength, kMaxZipNameLength + 1);
  const std::uint8_t* name = c.Take(kept);
  if (!name) {
    return false;
  }
  r->name = std::string_view(reinterpret_cast<const char*>(name), kept);
  if (r->extraLength == 0) {
    return true;  // neither the rest of a long name nor the comment needs to be there
  }
  if (!c.Skip(r->nameLength - kept)) {
    return false;
  }
  // The ZIP64 extra field (0x0001) is passed over without its values, and without its length:
  // the next block is sought right after its four-byte head. That is how the distribution's
  // minizip 1.1 reads it (it compares the 32-bit fields with a 64-bit all-ones value, which
  // they never hold), so sizes and offsets of 0xffffffff stay what they say, and such entries
  // are refused alike.
  for (std::uint64_t done = 0; done < r->extraLength;) {
    std::uint64_t id = 0, length = 0;
    if (!c.U16(&id) || !c.U16(&length)) {
      return false;
    }
    if (id != kZip64Extra && !c.Skip(length)) {
      return false;
    }
    done += 4 + length;
  }
  return true;
}

// Whether the local header agrees with the record; if so, where the data begins.
bool LocateData(Cursor& c, const Record& r, std::uint64_t archiveStart, std::uint64_t* begin) {
  std::uint64_t signature = 0, ignored = 0, flags = 0, method = 0, crc = 0;
  std::uint64_t compressed = 0, uncompressed = 0, nameLength = 0, extraLength = 0;
  if (!c.Seek(r.localOffset + archiveStart) || !c.U32(&signature) || !c.U16(&ignored) ||
      !c.U16(&flags) || !c.U16(&method) || !c.U32(&ignored) || !c.U32(&crc) ||
      !c.U32(&compressed) || !c.U32(&uncompressed) || !c.U16(&nameLength) || !c.U16(&extraLength)) {
    return false;
  }
  if (signature != kLocalSignature || method != r.method || nameLength != r.nameLength) {
    return false;
  }
  if (r.method != kStored && r.method != kDeflated && r.method != kBzip2) {
    return false;
  }
  // With a data descriptor (flag 8) the checksum and sizes follow the data instead.
  if ((flags & 8) == 0 &&
      (crc != r.crc || (compressed != kInZip64 && compressed != r.compressedSize) ||
       (uncompressed != kInZip64 && uncompressed != r.uncompressedSize))) {
    return false;
  }
  *begin = r.localOffset + kLocalHeaderSize + nameLength + extraLength + archiveStart;
  return true;
}

// What reading an entry needs, kept from the directory walk.
struct EntryData {
  std::uint64_t directoryOffset = 0;
  bool located = false;
  std::uint64_t method = 0, crc = 0, compressedSize = 0, uncompressedSize = 0, dataBegin = 0;
};

// One entry's data handed out the way minizip hands it out: compressed input taken 16 KiB at a
// time (each chunk wholly within the bytes, or the read fails), output never past the stated
// size, and the checksum over everything produced.
class EntryStream {
 public:
  EntryStream(const std::uint8_t* data, std::uint64_t size, const EntryData& entry)
      : data_(data),
        size_(size),
        position_(entry.dataBegin),
        restIn_(entry.compressedSize),
        restOut_(entry.uncompressedSize),
        expected_(entry.crc),
        raw_(entry.method == kBzip2),
        deflated_(entry.method == kDeflated) {}
  ~EntryStream() {
    if (inflating_) {
      inflateEnd(&z_);
    }
  }
  EntryStream(const EntryStream&) = delete;
  EntryStream& operator=(const EntryStream&) = delete;

  bool Start() {
    if (deflated_) {
      inflating_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
      return inflating_;
    }
    return true;
  }

  // Up to length bytes into out: the count, 0 at the end of the data, negative when the data
  // is corrupt or cut short.
  int Read(std::uint8_t* out, std::uint32_t length) {
    std::uint32_t room = length;
    if (!raw_ && length > restOut_) {
      room = static_cast<std::uint32_t>(restOut_);
    }
    if (raw_ && length > restIn_ + z_.avail_in) {
      room = static_cast<std::uint32_t>(restIn_ + z_.avail_in);
    }
    std::uint32_t produced = 0;
    while (room > 0) {
      if (z_.avail_in == 0 && restIn_ > 0) {
        const std::uint64_t chunk = std::min<std::uint64_t>(kInputChunk, restIn_);
        if (position_ > size_ || chunk > size_ - position_) {
          return Z_ERRNO;
        }
        z_.next_in = data_ + position_;
        z_.avail_in = static_cast<uInt>(chunk);
        position_ += chunk;
        restIn_ -= chunk;
      }
      int result = Z_OK;
      std::uint32_t n = 0;
      if (!inflating_) {
        if (z_.avail_in == 0) {
          return static_cast<int>(produced);
        }
        n = std::min<std::uint32_t>(room, z_.avail_in);
        std::memcpy(out, z_.next_in, n);
        z_.next_in += n;
        z_.avail_in -= n;
      } else {
        z_.next_out = out;
        z_.avail_out = room;
        result = inflate(&z_, Z_SYNC_FLUSH);
        if (result >= 0 && z_.msg != nullptr) {
          result = Z_DATA_ERROR;
        }
        n = room - z_.avail_out;
      }
      crc_ = crc32(crc_, out, n);
      restOut_ -= n;
      out += n;
      room -= n;
      produced += n;
      if (result == Z_STREAM_END) {
        return static_cast<int>(produced);
      }
      if (result != Z_OK) {
        return result;
      }
    }
    return static_cast<int>(produced);
  }

  // A checksum is only judged once all the stated bytes came out.
  bool ChecksumFails() const { return !raw_ && restOut_ == 0 && crc_ != expected_; }

 private:
  const std::uint8_t* data_;
  std::uint64_t size_;
  std::uint64_t position_;
  std::uint64_t restIn_;
  std::uint64_t restOut_;
  std::uint64_t expected_;
  bool raw_;
  bool deflated_;
  bool inflating_ = false;
  z_stream z_{};
  std::uint64_t crc_ = 0;
};

}  // namespace

class ZipArchive {
 public:
  ZipArchive(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // Walks the central directory once, into the index. Nothing is inflated.
  ZipOpenError Open() {
    Directory directory;
    if (!ReadDirectory(data_, size_, &directory)) {
      return ZipOpenError::kNotZip;
    }
    Cursor c(data_, size_);
    std::uint64_t at = directory.offset;
    bool complete = false;
    for (std::uint64_t i = 0;; ++i) {
      Record r;
      if (!ReadRecord(c, at + directory.archiveStart, &r)) {
        break;
      }
      ZipRecord record;
      record.name = r.name;
      record.nameLength = r.nameLength;
      record.index = i;
      record.directoryOffset = at;
      record.flag = r.flag;
      record.method = r.method;
      record.compressedSize = r.compressedSize;
      record.uncompressedSize = r.uncompressedSize;
      record.located = LocateData(c, r, directory.archiveStart, &record.dataBegin);
      index_.Add(record);
      entries_.push_back({at, record.located, r.method, r.crc, r.compressedSize, r.uncompressedSize,
                          record.dataBegin});
      // A count of 0xffff may have overflowed: then the records go on until one is not one.
      if (directory.entries != kCountOverflow && i + 1 == directory.entries) {
        complete = true;
        break;
      }
      at += kCentralRecordSize + r.nameLength + r.extraLength + r.commentLength;
    }
    return index_.Finish(complete);
  }

  const ZipIndex& Index() const { return index_; }

  long Read(const ArchiveEntryInfo& info, void* buffer, std::size_t size) const {
    if (info.index >= entries_.size()) {
      return -1;
    }
    const EntryData& entry = entries_[info.index];
    if (entry.directoryOffset != info.directoryOffset || !entry.located) {
      return -1;
    }
    EntryStream stream(data_, size_, entry);
    if (!stream.Start()) {
      return -1;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < size) {
      const auto piece = static_cast<std::uint32_t>(std::min(size - total, kOutputPiece));
      const int n = stream.Read(out + total, piece);
      if (n < 0) {
        return -1;
      }
      if (n == 0) {
        break;
      }
      total += static_cast<std::size_t>(n);
    }
    if (stream.ChecksumFails()) {
      return -1;
    }
    return static_cast<long>(total);
  }

 private:
  const std::uint8_t* data_;
  std::uint64_t size_;
  ZipIndex index_;
  std::vector<EntryData> entries_;  // by index, beside the index's listing
};

void ZipArchiveDeleter::operator()(ZipArchive* archive) const {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
  delete archive;
}

ArchiveHandle OpenZipFromMemory(const std::uint8_t* data, std::size_t size, ZipOpenError* error) {
  ZipOpenError ignored = ZipOpenError::kNone;
  ZipOpenError& result = error ? *error : ignored;
  result = ZipOpenError::kNotZip;
  if (!data || size == 0) {
    return nullptr;
  }
  auto archive = ArchiveHandle(new ZipArchive(data, size));
  result = archive->Open();
  if (result != ZipOpenError::kNone) {
    return nullptr;
  }
  return archive;
}

int FindArchiveEntry(ZipArchive* archive, std::string_view name, ArchiveEntryInfo* info) {
  if (!archive) {
    return kZipBadName;
  }
  return archive->Index().Find(name, info);
}

long ReadArchiveEntry(ZipArchive* archive, const ArchiveEntryInfo& info, void* buffer,
                      std::size_t size) {
  if (!archive) {
    return -1;
  }
  return archive->Read(info, buffer, size);
}

bool ListArchive(ZipArchive* archive, std::vector<ArchiveListing>* entries) {
  if (!archive) {
    return false;
  }
  return archive->Index().List(entries);
}

}  // namespace launcher::inflate_zip

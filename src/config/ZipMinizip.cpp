// The archive's entries read through minizip, the distribution's library (Linux). The bytes
// stay in place: minizip reads them through memory I/O functions. The judgements on the
// directory are ZipIndex's, shared with our own reader (ZipInflate.cpp).
#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

#include "config/Archive.h"
#include "config/ZipIndex.h"

namespace launcher {

namespace {

struct MemoryRange {
  const std::uint8_t* data;
  std::size_t size;
};

struct MemoryCursor {
  MemoryRange range;
  std::uint64_t position = 0;
  bool shortRead = false;
};

voidpf MemOpen(voidpf opaque, const void* /*filename*/, int /*mode*/) {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): freed by MemClose, minizip's contract
  return new MemoryCursor{*static_cast<MemoryRange*>(opaque)};
}

uLong MemRead(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
  auto* c = static_cast<MemoryCursor*>(stream);
  std::uint64_t n = 0;
  if (c->position < c->range.size) {
    n = std::min<std::uint64_t>(size, c->range.size - c->position);
    std::memcpy(buffer, c->range.data + c->position, n);
    c->position += n;
  }
  if (n < size) {
    c->shortRead = true;
  }
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

// minizip reads its header fields a byte at a time and takes a byte missing at the end for a
// good one unless the stream reports an error (its EOF code is its OK code), going on with
// made-up values. A read cut short by the end is therefore an error here: a header field past
// the end fails the header, as it does in our own reader.
int MemError(voidpf /*opaque*/, voidpf stream) {
  return static_cast<MemoryCursor*>(stream)->shortRead ? 1 : 0;
}

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
    return ReadDirectory();
  }

  unzFile File() const { return file_; }
  const ZipIndex& Index() const { return index_; }

 private:
  // Reads the whole central directory once into the index. Nothing is inflated.
  ZipOpenError ReadDirectory() {
    int err = unzGoToFirstFile(file_);
    for (; err == UNZ_OK; err = unzGoToNextFile(file_)) {
      unz_file_info64 raw{};
      char name[kMaxZipNameLength + 1];
      if (unzGetCurrentFileInfo64(file_, &raw, name, sizeof name, nullptr, 0, nullptr, 0) !=
          UNZ_OK) {
        break;
      }
      unz64_file_pos pos{};
      if (unzGetFilePos64(file_, &pos) != UNZ_OK) {
        break;
      }
      ZipRecord record;
      record.name = std::string_view(name, std::min<std::size_t>(raw.size_filename, sizeof name));
      record.nameLength = raw.size_filename;
      record.index = pos.num_of_file;
      record.directoryOffset = pos.pos_in_zip_directory;
      record.flag = raw.flag;
      record.method = raw.compression_method;
      record.compressedSize = raw.compressed_size;
      record.uncompressedSize = raw.uncompressed_size;
      // Where the data lies, from the local header, without setting up inflation.
      int method = 0, level = 0;
      if (unzOpenCurrentFile2(file_, &method, &level, 1) == UNZ_OK) {
        record.dataBegin = unzGetCurrentFileZStreamPos64(file_);
        record.located = true;
        unzCloseCurrentFile(file_);
      }
      index_.Add(record);
    }
    return index_.Finish(err == UNZ_END_OF_LIST_OF_FILE);
  }

  MemoryRange range_;
  unzFile file_ = nullptr;
  ZipIndex index_;
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
  auto archive = ArchiveHandle(new ZipArchive({data, size}));
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
  return archive->Index().List(entries);
}

}  // namespace launcher

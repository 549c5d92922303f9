#include "config/Archive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "config/ZipInflate.h"
#include "support/TestSupport.h"
#include "unit/config/HostileZip.h"

namespace launcher {
namespace {

using testsupport::PackBytes;
using testsupport::PlainExecutable;

const std::uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

void Put16(std::string& s, std::size_t at, std::uint16_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    s[at + i] = static_cast<char>(v >> (8 * i));
  }
}

// A PE image whose last section table entry ends its raw data at dataEnd. The optional header
// is 224 bytes (PE32) or 240 (PE32+), so a reader that assumes 224 for both misplaces the table.
std::string PeImage(bool plus, std::uint32_t dataEnd, std::uint16_t sections = 2) {
  const std::uint32_t pe = 0x80;
  const std::uint16_t optionalSize = plus ? 240 : 224;
  std::string image(dataEnd, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, pe);
  std::memcpy(&image[pe], "PE\0\0", 4);
  Put16(image, pe + 6, sections);
  Put16(image, pe + 20, optionalSize);
  Put16(image, pe + 24, plus ? 0x20B : 0x10B);
  const std::uint32_t table = pe + 24 + optionalSize;
  for (std::uint16_t i = 0; i < sections; ++i) {
    std::uint32_t entry = table + i * 40;
    bool last = i + 1 == sections;
    std::uint32_t pointer = last ? dataEnd - 0x200 : 0x400;
    Put32(image, entry + 16, 0x200);    // SizeOfRawData
    Put32(image, entry + 20, pointer);  // PointerToRawData
  }
  return image;
}

TEST(LocateArchive, FindsTheArchiveBehindEveryExecutableFormat) {
  const std::string elf = PlainExecutable();
  std::string packed = PackBytes({{"config/a", "x"}}, elf);
  ArchiveLocation at = LocateArchive(Bytes(packed), packed.size());
  EXPECT_EQ(at.source, ArchiveStartSource::kElf);
  EXPECT_EQ(at.start, elf.size());
  EXPECT_EQ(at.zipStart, elf.size());

  for (bool plus : {false, true}) {
    std::string pe = PeImage(plus, 0x1000);
    std::string packedPe = PackBytes({{"config/a", "x"}}, pe);
    at = LocateArchive(Bytes(packedPe), packedPe.size());
    EXPECT_EQ(at.source, plus ? ArchiveStartSource::kPe32Plus : ArchiveStartSource::kPe32);
    EXPECT_EQ(at.start, 0x1000u) << "PE32+ " << plus;
    EXPECT_EQ(at.zipStart, 0x1000u);
  }

  // Neither ELF nor PE: the Zip end record tells.
  std::string other = PackBytes({{"config/a", "x"}}, std::string(100, 'q'));
  at = LocateArchive(Bytes(other), other.size());
  EXPECT_EQ(at.source, ArchiveStartSource::kEndRecord);
  EXPECT_EQ(at.start, 100u);
}

TEST(LocateArchive, NothingAppendedEndsAtTheFileEnd) {
  const std::string elf = PlainExecutable();
  ArchiveLocation at = LocateArchive(Bytes(elf), elf.size());
  EXPECT_EQ(at.source, ArchiveStartSource::kElf);
  EXPECT_EQ(at.start, elf.size());
  EXPECT_EQ(at.zipStart, std::string_view::npos);
}

TEST(LocateArchive, LyingOrTruncatedHeadersNeverReadOutside) {
  // Section count 65535 puts the last table entry far past the end.
  std::string pe = PeImage(false, 0x1000);
  Put16(pe, 0x80 + 6, 65535);
  EXPECT_EQ(LocateArchive(Bytes(pe), pe.size()).source, ArchiveStartSource::kNone);
  // PE header offset past the end.
  std::string far = PeImage(false, 0x1000);
  Put32(far, 0x3C, 0xFFFFFFF0u);
  EXPECT_EQ(LocateArchive(Bytes(far), far.size()).source, ArchiveStartSource::kNone);
  // Raw data said to end beyond the file.
  std::string beyond = PeImage(false, 0x1000);
  Put32(beyond, 0x80 + 24 + 224 + 40 + 16, 0x7FFFFFFF);
  EXPECT_EQ(LocateArchive(Bytes(beyond), beyond.size()).source, ArchiveStartSource::kNone);
  // ELF section table past the end, and with 65535 entries.
  std::string elf = PlainExecutable();
  std::string lying = elf;
  Put32(lying, 40, 0x7FFFFFF0);  // e_shoff (64-bit field, low half)
  EXPECT_EQ(LocateArchive(Bytes(lying), lying.size()).source, ArchiveStartSource::kNone);
  std::string many = elf;
  Put16(many, 60, 65535);
  EXPECT_EQ(LocateArchive(Bytes(many), many.size()).source, ArchiveStartSource::kNone);

  // Every truncation of a packed executable: located or refused, never a stray read (the
  // sanitizer build catches one).
  std::string packed = PackBytes({{"config/a", "x"}}, elf);
  for (std::size_t n = 0; n < 512; ++n) {
    LocateArchive(Bytes(packed), n);
  }
  for (std::size_t n = 512; n < packed.size(); n += 97) {
    LocateArchive(Bytes(packed), n);
  }
  std::string pePacked = PackBytes({{"config/a", "x"}}, PeImage(true, 0x1000));
  for (std::size_t n = 0; n < 0x200; ++n) {
    LocateArchive(Bytes(pePacked), n);
  }
}

// The two readers behind one face: minizip's (the Linux product's) and our own (the Windows
// build's). Every case below runs against both.
struct MinizipReader {
  using Handle = ArchiveHandle;
  static Handle Open(const std::string& zip, ZipOpenError* error = nullptr) {
    return OpenZipFromMemory(Bytes(zip), zip.size(), error);
  }
  static int Find(const Handle& a, std::string_view name, ArchiveEntryInfo* info) {
    return FindArchiveEntry(a.get(), name, info);
  }
  static long Read(const Handle& a, const ArchiveEntryInfo& info, std::string* out) {
    return ReadArchiveEntry(a.get(), info, out->data(), out->size());
  }
  static bool List(const Handle& a, std::vector<ArchiveListing>* entries) {
    return ListArchive(a.get(), entries);
  }
};

struct InflateReader {
  using Handle = inflate_zip::ArchiveHandle;
  static Handle Open(const std::string& zip, ZipOpenError* error = nullptr) {
    return inflate_zip::OpenZipFromMemory(Bytes(zip), zip.size(), error);
  }
  static int Find(const Handle& a, std::string_view name, ArchiveEntryInfo* info) {
    return inflate_zip::FindArchiveEntry(a.get(), name, info);
  }
  static long Read(const Handle& a, const ArchiveEntryInfo& info, std::string* out) {
    return inflate_zip::ReadArchiveEntry(a.get(), info, out->data(), out->size());
  }
  static bool List(const Handle& a, std::vector<ArchiveListing>* entries) {
    return inflate_zip::ListArchive(a.get(), entries);
  }
};

using Readers = ::testing::Types<MinizipReader, InflateReader>;

template <typename Reader>
class ZipLookup : public ::testing::Test {
 protected:
  void Open(const std::map<std::string, std::string>& files) {
    zip_ = PackBytes(files, "");
    archive_ = Reader::Open(zip_);
    ASSERT_TRUE(archive_);
  }
  bool Read(std::string_view name, std::string* out) {
    ArchiveEntryInfo info;
    if (Reader::Find(archive_, name, &info) != 0) {
      return false;
    }
    out->assign(info.uncompressedSize, '\0');
    return Reader::Read(archive_, info, out) == static_cast<long>(info.uncompressedSize);
  }
  std::string zip_;
  typename Reader::Handle archive_;
};
TYPED_TEST_SUITE(ZipLookup, Readers);

TYPED_TEST(ZipLookup, NamesMatchExactlyAndWithLetterCase) {
  std::string longName = "config/" + std::string(249, 'n');  // 256 bytes
  this->Open({{"config/cg.txt", "ini"},
              {"config/Pic.png", "pic"},
              {longName, "long"},
              {"config/" + std::string(248, 'm'), "255"}});
  std::string data;
  EXPECT_TRUE(this->Read("config/cg.txt", &data));
  EXPECT_EQ(data, "ini");
  EXPECT_FALSE(this->Read("config/CG.TXT", &data));
  EXPECT_FALSE(this->Read("config\\cg.txt", &data));
  EXPECT_FALSE(this->Read("config/pic.png", &data));
  EXPECT_FALSE(this->Read(longName, &data));
  EXPECT_FALSE(this->Read(longName.substr(0, 255), &data)) << "a cut stored name must not match";
  EXPECT_TRUE(this->Read("config/" + std::string(248, 'm'), &data));
  EXPECT_FALSE(this->Read(std::string("config/cg.txt\0x", 15), &data));
  EXPECT_FALSE(this->Read("", &data));
}

TYPED_TEST(ZipLookup, EmptyEntryReadsAsEmpty) {
  this->Open({{"config/empty", ""}});
  std::string data = "x";
  EXPECT_TRUE(this->Read("config/empty", &data));
  EXPECT_EQ(data, "");
}

TYPED_TEST(ZipLookup, SizesThatCannotBeTrueCountAsMissing) {
  this->Open({{"config/cg.txt", std::string(1000, 'a')}});
  // Patch the central directory's uncompressed size to claim gigabytes.
  std::size_t central = this->zip_.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  Put32(this->zip_, central + 24, 0xF0000000u);
  this->archive_ = TypeParam::Open(this->zip_);
  ASSERT_TRUE(this->archive_);
  ArchiveEntryInfo info;
  EXPECT_NE(TypeParam::Find(this->archive_, "config/cg.txt", &info), 0);
  // A claim within reach of deflate but larger than the data: a short read.
  Put32(this->zip_, central + 24, 5000);
  this->archive_ = TypeParam::Open(this->zip_);
  std::string data;
  EXPECT_FALSE(this->Read("config/cg.txt", &data));
}

TYPED_TEST(ZipLookup, CorruptDataIsAFailedRead) {
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    text += std::to_string(i * 7919 % 1000) + ",";
  }
  this->Open({{"config/cg.txt", text}});
  std::size_t local = this->zip_.find("PK\x03\x04");
  std::size_t dataStart = local + 30 + std::strlen("config/cg.txt");
  std::string intact = this->zip_;
  this->zip_[dataStart + 40] ^= 0x55;
  this->archive_ = TypeParam::Open(this->zip_);
  ASSERT_TRUE(this->archive_);
  std::string data;
  EXPECT_FALSE(this->Read("config/cg.txt", &data));
  // Intact data under a wrong checksum (in both headers, which must agree).
  this->zip_ = intact;
  std::size_t central = this->zip_.find("PK\x01\x02");
  Put32(this->zip_, local + 14, 0x12345678u);
  Put32(this->zip_, central + 16, 0x12345678u);
  this->archive_ = TypeParam::Open(this->zip_);
  ASSERT_TRUE(this->archive_);
  EXPECT_FALSE(this->Read("config/cg.txt", &data));
  // Data cut off by the end of the bytes.
  this->zip_ = intact.substr(0, dataStart + 100) + intact.substr(this->zip_.find("PK\x01\x02"));
  this->archive_ = TypeParam::Open(this->zip_);
  EXPECT_FALSE(this->archive_ && this->Read("config/cg.txt", &data));
}

TYPED_TEST(ZipLookup, EncryptedAndUnknownMethodsAreRefused) {
  this->Open({{"config/a", "aaaa"}, {"config/b", "bbbb"}});
  const std::size_t central = this->zip_.find("PK\x01\x02");
  const std::size_t second = this->zip_.find("PK\x01\x02", central + 4);
  Put16(this->zip_, central + 8, 1);  // encrypted
  const std::size_t secondLocal = this->zip_.find("PK\x03\x04", 4);
  Put16(this->zip_, second + 10, 12);  // bzip2, in both headers
  Put16(this->zip_, secondLocal + 8, 12);
  this->archive_ = TypeParam::Open(this->zip_);
  ASSERT_TRUE(this->archive_);
  ArchiveEntryInfo info;
  EXPECT_NE(TypeParam::Find(this->archive_, "config/a", &info), 0);
  EXPECT_NE(TypeParam::Find(this->archive_, "config/b", &info), 0);
}

// Offsets count from the archive's own start, wherever it lies in the bytes (as behind an
// executable).
TYPED_TEST(ZipLookup, BytesBeforeTheArchive) {
  this->zip_ = std::string(100, 'x') + PackBytes({{"config/cg.txt", "ini"}}, "");
  this->archive_ = TypeParam::Open(this->zip_);
  ASSERT_TRUE(this->archive_);
  std::string data;
  EXPECT_TRUE(this->Read("config/cg.txt", &data));
  EXPECT_EQ(data, "ini");
}

// Sizes of 0xffffffff that point to the ZIP64 extra field: the distribution's minizip does not
// take the field's values, so such an entry is refused, by both readers alike.
TYPED_TEST(ZipLookup, Zip64ExtraSizesAreRefused) {
  const std::string name = "config/cg.txt", data = "zip64 sized";
  const std::uint32_t crc = crc32(0, Bytes(data), data.size());
  std::string zip;
  for (std::uint64_t field : {0x04034b50ull, 45ull, 0ull, 0ull, 0ull, 0ull}) {
    hostile::Put(&zip, field,
                 field > 0xFFFF ? 4 : 2);  // signature, version, flags, stored, time, date
  }
  hostile::Put(&zip, crc, 4);
  hostile::Put(&zip, 0xFFFFFFFFu, 4);
  hostile::Put(&zip, 0xFFFFFFFFu, 4);
  hostile::Put(&zip, name.size(), 2);
  hostile::Put(&zip, 0, 2);
  zip += name + data;
  const std::size_t central = zip.size();
  hostile::Put(&zip, 0x02014b50, 4);
  hostile::Put(&zip, 45, 2);
  hostile::Put(&zip, 45, 2);
  hostile::Put(&zip, 0, 8);  // flags, stored, time, date
  hostile::Put(&zip, crc, 4);
  hostile::Put(&zip, 0xFFFFFFFFu, 4);
  hostile::Put(&zip, 0xFFFFFFFFu, 4);
  hostile::Put(&zip, name.size(), 2);
  hostile::Put(&zip, 20, 2);  // extra
  hostile::Put(&zip, 0, 14);  // comment, disk, attributes, local header at 0
  zip += name;
  hostile::Put(&zip, 1, 2);
  hostile::Put(&zip, 16, 2);
  hostile::Put(&zip, data.size(), 8);
  hostile::Put(&zip, data.size(), 8);
  const std::size_t size = zip.size() - central;
  hostile::Put(&zip, 0x06054b50, 4);
  hostile::Put(&zip, 0, 4);
  hostile::Put(&zip, 1, 2);
  hostile::Put(&zip, 1, 2);
  hostile::Put(&zip, size, 4);
  hostile::Put(&zip, central, 4);
  hostile::Put(&zip, 0, 2);
  this->zip_ = zip;
  this->archive_ = TypeParam::Open(this->zip_);
  ASSERT_TRUE(this->archive_);
  std::string read;
  EXPECT_FALSE(this->Read(name, &read));
}

template <typename Reader>
class ZipOpen : public ::testing::Test {};
TYPED_TEST_SUITE(ZipOpen, Readers);

// Judged from the directory alone: refused at open, before a reader could ask for the sizes.
TYPED_TEST(ZipOpen, BombsAreRefusedBeforeAnythingIsRead) {
  ZipOpenError error = ZipOpenError::kNone;
  EXPECT_FALSE(TypeParam::Open(hostile::OverlappingZip(1000), &error));
  EXPECT_EQ(error, ZipOpenError::kOverlap);

  // Three separate entries of 200 MiB each: each plausible, together past the bound.
  const std::string data(200 << 10, '\0');
  const std::uint32_t stated = 200u << 20;
  EXPECT_FALSE(TypeParam::Open(
      hostile::RawZip({{"config/a.png", data, stated},
                       {"config/b.png", data, stated},
                       {"config/c.png", data, stated}},
                      {{"config/a.png", 0}, {"config/b.png", 1}, {"config/c.png", 2}}),
      &error));
  EXPECT_EQ(error, ZipOpenError::kTooLarge);
  // Two of them fit.
  EXPECT_TRUE(TypeParam::Open(
      hostile::RawZip({{"config/a.png", data, stated}, {"config/b.png", data, stated}},
                      {{"config/a.png", 0}, {"config/b.png", 1}}),
      &error));
  EXPECT_EQ(error, ZipOpenError::kNone);
}

TYPED_TEST(ZipOpen, TheFirstOfTwoEqualNamesIsFound) {
  auto archive = TypeParam::Open(hostile::RawZip({{"config/a", "1", 1}, {"config/a", "2", 1}},
                                                 {{"config/a", 0}, {"config/a", 1}}));
  ASSERT_TRUE(archive);
  ArchiveEntryInfo info;
  ASSERT_EQ(TypeParam::Find(archive, "config/a", &info), 0);
  EXPECT_EQ(info.index, 0u);
}

TYPED_TEST(ZipOpen, NotAZipIsRefused) {
  EXPECT_FALSE(TypeParam::Open(std::string(300, 'j')));
  EXPECT_FALSE(TypeParam::Open(""));
}

// What each reader makes of the bytes: open or refused and why, the listing, and every listed
// entry looked up and read.
std::string Outcome(auto reader, const std::string& zip) {
  using Reader = decltype(reader);
  ZipOpenError error = ZipOpenError::kNone;
  auto archive = Reader::Open(zip, &error);
  std::string out = std::to_string(static_cast<int>(error));
  if (!archive) {
    return out;
  }
  std::vector<ArchiveListing> listing;
  out += Reader::List(archive, &listing) ? " complete" : " cut";
  for (const ArchiveListing& entry : listing) {
    ArchiveEntryInfo info;
    const int found = Reader::Find(archive, entry.name, &info);
    out += "|" + entry.name + " " + std::to_string(entry.info.index) + " " +
           std::to_string(entry.info.directoryOffset) + " " + std::to_string(found);
    if (found == 0 && info.uncompressedSize <= (1u << 20)) {
      std::string data(info.uncompressedSize, '\0');
      out += " " + std::to_string(Reader::Read(archive, info, &data)) + " " + data;
    }
  }
  return out;
}

// The seeds of the fuzz target, and every cut and many single-byte changes of a packed archive
// (stored and deflated entries): both readers make the same of each.
TEST(ZipReaders, AgreeOnDamagedAndHostileArchives) {
  std::vector<std::string> cases;
  for (const auto& seed :
       std::filesystem::directory_iterator(LAUNCHER_SOURCE_DIR "/tests/fuzz/seeds/zip")) {
    std::ifstream in(seed.path(), std::ios::binary);
    cases.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += std::to_string(i * 7919 % 1000) + ",";
  }
  const std::string zip = PackBytes({{"config/cg.txt", text}, {"config/a", "a"}}, "");
  for (std::size_t n = 0; n <= zip.size(); ++n) {
    cases.push_back(zip.substr(0, n));
    cases.push_back(zip.substr(zip.size() - n));
  }
  for (std::size_t at = 0; at < zip.size(); ++at) {
    for (unsigned char value : {0x00, 0x01, 0x7F, 0xFF}) {
      std::string changed = zip;
      changed[at] = static_cast<char>(value);
      cases.push_back(changed);
    }
  }
  for (const std::string& bytes : cases) {
    ASSERT_EQ(Outcome(MinizipReader{}, bytes), Outcome(InflateReader{}, bytes))
        << "archive of " << bytes.size() << " bytes";
  }
}

}  // namespace
}  // namespace launcher

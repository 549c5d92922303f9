#include "config/Archive.h"

#include <gtest/gtest.h>

#include <cstring>

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

class ZipLookup : public ::testing::Test {
 protected:
  void Open(const std::map<std::string, std::string>& files) {
    zip_ = PackBytes(files, "");
    archive_ = OpenZipFromMemory(Bytes(zip_), zip_.size());
    ASSERT_TRUE(archive_);
  }
  bool Read(std::string_view name, std::string* out) {
    ArchiveEntryInfo info;
    if (FindArchiveEntry(archive_.get(), name, &info) != 0) {
      return false;
    }
    out->assign(info.uncompressedSize, '\0');
    return ReadArchiveEntry(archive_.get(), info, out->data(), out->size()) ==
           static_cast<long>(info.uncompressedSize);
  }
  std::string zip_;
  ArchiveHandle archive_;
};

TEST_F(ZipLookup, NamesMatchExactlyAndWithLetterCase) {
  std::string longName = "config/" + std::string(249, 'n');  // 256 bytes
  Open({{"config/cg.txt", "ini"},
        {"config/Pic.png", "pic"},
        {longName, "long"},
        {"config/" + std::string(248, 'm'), "255"}});
  std::string data;
  EXPECT_TRUE(Read("config/cg.txt", &data));
  EXPECT_EQ(data, "ini");
  EXPECT_FALSE(Read("config/CG.TXT", &data));
  EXPECT_FALSE(Read("config\\cg.txt", &data));
  EXPECT_FALSE(Read("config/pic.png", &data));
  EXPECT_FALSE(Read(longName, &data));
  EXPECT_FALSE(Read(longName.substr(0, 255), &data)) << "a cut stored name must not match";
  EXPECT_TRUE(Read("config/" + std::string(248, 'm'), &data));
  EXPECT_FALSE(Read(std::string("config/cg.txt\0x", 15), &data));
  EXPECT_FALSE(Read("", &data));
}

TEST_F(ZipLookup, EmptyEntryReadsAsEmpty) {
  Open({{"config/empty", ""}});
  std::string data = "x";
  EXPECT_TRUE(Read("config/empty", &data));
  EXPECT_EQ(data, "");
}

TEST_F(ZipLookup, SizesThatCannotBeTrueCountAsMissing) {
  Open({{"config/cg.txt", std::string(1000, 'a')}});
  // Patch the central directory's uncompressed size to claim gigabytes.
  std::size_t central = zip_.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  Put32(zip_, central + 24, 0xF0000000u);
  archive_ = OpenZipFromMemory(Bytes(zip_), zip_.size());
  ASSERT_TRUE(archive_);
  ArchiveEntryInfo info;
  EXPECT_NE(FindArchiveEntry(archive_.get(), "config/cg.txt", &info), 0);
  // A claim within reach of deflate but larger than the data: a short read.
  Put32(zip_, central + 24, 5000);
  archive_ = OpenZipFromMemory(Bytes(zip_), zip_.size());
  std::string data;
  EXPECT_FALSE(Read("config/cg.txt", &data));
}

TEST_F(ZipLookup, CorruptDataIsAFailedRead) {
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    text += std::to_string(i * 7919 % 1000) + ",";
  }
  Open({{"config/cg.txt", text}});
  std::size_t local = zip_.find("PK\x03\x04");
  std::size_t dataStart = local + 30 + std::strlen("config/cg.txt");
  zip_[dataStart + 40] ^= 0x55;
  archive_ = OpenZipFromMemory(Bytes(zip_), zip_.size());
  ASSERT_TRUE(archive_);
  std::string data;
  EXPECT_FALSE(Read("config/cg.txt", &data));
}

// Judged from the directory alone: refused at open, before a reader could ask for the sizes.
TEST(ZipOpen, BombsAreRefusedBeforeAnythingIsRead) {
  ZipOpenError error = ZipOpenError::kNone;
  const std::string overlap = hostile::OverlappingZip(1000);
  EXPECT_FALSE(OpenZipFromMemory(Bytes(overlap), overlap.size(), &error));
  EXPECT_EQ(error, ZipOpenError::kOverlap);

  // Three separate entries of 200 MiB each: each plausible, together past the bound.
  const std::string data(200 << 10, '\0');
  const std::uint32_t stated = 200u << 20;
  const std::string large =
      hostile::RawZip({{"config/a.png", data, stated},
                       {"config/b.png", data, stated},
                       {"config/c.png", data, stated}},
                      {{"config/a.png", 0}, {"config/b.png", 1}, {"config/c.png", 2}});
  EXPECT_FALSE(OpenZipFromMemory(Bytes(large), large.size(), &error));
  EXPECT_EQ(error, ZipOpenError::kTooLarge);
  // Two of them fit.
  const std::string two =
      hostile::RawZip({{"config/a.png", data, stated}, {"config/b.png", data, stated}},
                      {{"config/a.png", 0}, {"config/b.png", 1}});
  EXPECT_TRUE(OpenZipFromMemory(Bytes(two), two.size(), &error));
  EXPECT_EQ(error, ZipOpenError::kNone);
}

TEST(ZipOpen, TheFirstOfTwoEqualNamesIsFound) {
  const std::string zip = hostile::RawZip({{"config/a", "1", 1}, {"config/a", "2", 1}},
                                          {{"config/a", 0}, {"config/a", 1}});
  ArchiveHandle archive = OpenZipFromMemory(Bytes(zip), zip.size());
  ASSERT_TRUE(archive);
  ArchiveEntryInfo info;
  ASSERT_EQ(FindArchiveEntry(archive.get(), "config/a", &info), 0);
  EXPECT_EQ(info.index, 0u);
}

TEST(ZipOpen, NotAZipIsRefused) {
  std::string junk(300, 'j');
  EXPECT_FALSE(OpenZipFromMemory(Bytes(junk), junk.size()));
  EXPECT_FALSE(OpenZipFromMemory(nullptr, 0));
}

}  // namespace
}  // namespace launcher

// Zip archives written field by field, for the readers' tests: a directory that may point any
// entry at any stored data, with any stated size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace launcher::hostile {

// Stored data with its local header. The name must be as long as every directory name that
// points at it (the reader compares the two lengths).
struct LocalPart {
  std::string name;
  std::string data;          // taken as deflated; never inflated by the tests that open only
  std::uint32_t stated = 0;  // uncompressed size the headers claim
};

// A directory entry: its name and the part it points at.
struct DirectoryEntry {
  std::string name;
  std::size_t part = 0;
};

// bytes little-endian bytes of value; beyond the eighth, zeros (runs of zero fields at once).
inline void Put(std::string* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    *out += static_cast<char>(i < 8 ? value >> (8 * i) : 0);
  }
}

inline std::string RawZip(const std::vector<LocalPart>& parts,
                          const std::vector<DirectoryEntry>& directory) {
  std::string zip;
  std::vector<std::uint32_t> offsets;
  for (const LocalPart& part : parts) {
    offsets.push_back(static_cast<std::uint32_t>(zip.size()));
    Put(&zip, 0x04034b50, 4);
    Put(&zip, 20, 2);  // version needed
    Put(&zip, 0, 2);   // flags
    Put(&zip, 8, 2);   // deflate
    Put(&zip, 0, 4);   // time, date
    Put(&zip, 0, 4);   // crc
    Put(&zip, part.data.size(), 4);
    Put(&zip, part.stated, 4);
    Put(&zip, part.name.size(), 2);
    Put(&zip, 0, 2);
    zip += part.name + part.data;
  }
  const std::size_t central = zip.size();
  for (const DirectoryEntry& entry : directory) {
    const LocalPart& part = parts.at(entry.part);
    Put(&zip, 0x02014b50, 4);
    Put(&zip, 20, 2);  // made by
    Put(&zip, 20, 2);  // needed
    Put(&zip, 0, 2);
    Put(&zip, 8, 2);
    Put(&zip, 0, 4);
    Put(&zip, 0, 4);
    Put(&zip, part.data.size(), 4);
    Put(&zip, part.stated, 4);
    Put(&zip, entry.name.size(), 2);
    Put(&zip, 0, 2);  // extra
    Put(&zip, 0, 2);  // comment
    Put(&zip, 0, 2);  // disk
    Put(&zip, 0, 2);  // internal attributes
    Put(&zip, 0, 4);  // external attributes
    Put(&zip, offsets.at(entry.part), 4);
    zip += entry.name;
  }
  const std::size_t size = zip.size() - central;
  Put(&zip, 0x06054b50, 4);
  Put(&zip, 0, 4);
  Put(&zip, directory.size(), 2);
  Put(&zip, directory.size(), 2);
  Put(&zip, size, 4);
  Put(&zip, central, 4);
  Put(&zip, 0, 2);
  return zip;
}

// count directory entries sharing one stored stream that claims 256 MiB: count × 256 MiB asked
// for by a reader that trusts the directory.
inline std::string OverlappingZip(int count) {
  std::vector<DirectoryEntry> directory;
  for (int i = 0; i < count; ++i) {
    std::string number = std::to_string(10000 + i).substr(1);
    directory.push_back({"config/b" + number + ".png", 0});
  }
  return RawZip({{"config/b0000.png", std::string(300 << 10, '\0'), 256u << 20}}, directory);
}

}  // namespace launcher::hostile

// Our own reader of the appended archive's entries, over zlib alone: for the Windows build,
// where minizip is not available. Same functions and contracts as Archive.h's reader, in a
// namespace of its own so that the tests and the fuzz target can hold it against minizip's on
// Linux; on Windows Archive.h's functions forward here (ZipInflateArchive.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "config/Archive.h"

namespace launcher::inflate_zip {

class ZipArchive;
struct ZipArchiveDeleter {
  void operator()(ZipArchive* archive) const;
};
using ArchiveHandle = std::unique_ptr<ZipArchive, ZipArchiveDeleter>;

ArchiveHandle OpenZipFromMemory(const std::uint8_t* data, std::size_t size,
                                ZipOpenError* error = nullptr);
int FindArchiveEntry(ZipArchive* archive, std::string_view name, ArchiveEntryInfo* info);
// Reads only entries this archive listed or found: info must carry an index and directory
// offset the archive gave out, or the read fails.
long ReadArchiveEntry(ZipArchive* archive, const ArchiveEntryInfo& info, void* buffer,
                      std::size_t size);
bool ListArchive(ZipArchive* archive, std::vector<ArchiveListing>* entries);

}  // namespace launcher::inflate_zip

// Archive.h's reader served by our own reader (ZipInflate.cpp), for the build without minizip
// (Windows). A thin owner around the reader's archive; every rule stays in the reader.
#include <utility>

#include "config/Archive.h"
#include "config/ZipIndex.h"
#include "config/ZipInflate.h"

namespace launcher {

class ZipArchive {
 public:
  explicit ZipArchive(inflate_zip::ArchiveHandle reader) : reader_(std::move(reader)) {}
  inflate_zip::ZipArchive* Reader() const { return reader_.get(); }

 private:
  inflate_zip::ArchiveHandle reader_;
};

void ZipArchiveDeleter::operator()(ZipArchive* archive) const {
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
  delete archive;
}

ArchiveHandle OpenZipFromMemory(const std::uint8_t* data, std::size_t size, ZipOpenError* error) {
  inflate_zip::ArchiveHandle reader = inflate_zip::OpenZipFromMemory(data, size, error);
  if (!reader) {
    return nullptr;
  }
  return ArchiveHandle(new ZipArchive(std::move(reader)));
}

int FindArchiveEntry(ZipArchive* archive, std::string_view name, ArchiveEntryInfo* info) {
  if (!archive) {
    return kZipBadName;
  }
  return inflate_zip::FindArchiveEntry(archive->Reader(), name, info);
}

long ReadArchiveEntry(ZipArchive* archive, const ArchiveEntryInfo& info, void* buffer,
                      std::size_t size) {
  if (!archive) {
    return -1;
  }
  return inflate_zip::ReadArchiveEntry(archive->Reader(), info, buffer, size);
}

bool ListArchive(ZipArchive* archive, std::vector<ArchiveListing>* entries) {
  if (!archive) {
    return false;
  }
  return inflate_zip::ListArchive(archive->Reader(), entries);
}

}  // namespace launcher

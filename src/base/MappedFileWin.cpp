// Mapping a file on Windows: a file mapping object and one view of it.
#include <windows.h>

#include "base/MappedFile.h"
#include "base/WinText.h"

namespace launcher {

MappedFile::~MappedFile() {
  if (data_) {
    UnmapViewOfFile(data_);
  }
}

MappedFile::Status MappedFile::Open(const std::string& path) {
  // The running executable maps itself, and the update renames and replaces that very file while
  // it is mapped: others may read, rename and delete it meanwhile.
  HANDLE file =
      CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return Status::kCannotOpen;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return Status::kCannotOpen;
  }
  ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // An empty file cannot be mapped, as on the platform the format comes from.
  if (size == 0 || size > static_cast<ULONGLONG>(SIZE_MAX)) {
    CloseHandle(file);
    return Status::kCannotMap;
  }
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);  // the mapping keeps the file
  if (!mapping) {
    return Status::kCannotMap;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);  // the view keeps the mapping
  if (!view) {
    return Status::kCannotMap;
  }
  data_ = static_cast<const std::uint8_t*>(view);
  size_ = static_cast<std::size_t>(size);
  return Status::kOk;
}

}  // namespace launcher

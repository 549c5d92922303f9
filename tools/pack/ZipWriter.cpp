#include "pack/ZipWriter.h"

#include <minizip/zip.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "pack/Files.h"

namespace launcher::pack {

std::optional<std::string> BuildZip(const std::vector<ZipInput>& entries) {
  // minizip writes through a file; a private temporary one is read back and removed.
  const std::optional<std::string> temporary = CreateTemporaryFile();
  if (!temporary) {
    return std::nullopt;
  }
  const char* path = temporary->c_str();
  struct Remover {
    const char* path;
    ~Remover() { std::remove(path); }
  } remover{path};

  zipFile zip = zipOpen64(path, APPEND_STATUS_CREATE);
  if (!zip) {
    return std::nullopt;
  }
  bool ok = true;
  for (const ZipInput& entry : entries) {
    zip_fileinfo info{};
    // A fixed date keeps packages byte-for-byte reproducible.
    info.tmz_date = {0, 0, 0, 1, 0, 2020};
    if (zipOpenNewFileInZip64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, Z_BEST_COMPRESSION,
                              entry.data.size() >= 0xFFFFFFFFu) != ZIP_OK) {
      ok = false;
      break;
    }
    if (!entry.data.empty() &&
        zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) !=
            ZIP_OK) {
      ok = false;
    }
    if (zipCloseFileInZip(zip) != ZIP_OK) {
      ok = false;
    }
    if (!ok) {
      break;
    }
  }
  if (zipClose(zip, nullptr) != ZIP_OK) {
    ok = false;
  }
  if (!ok) {
    return std::nullopt;
  }

  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace launcher::pack

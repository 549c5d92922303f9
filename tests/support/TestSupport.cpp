#include "support/TestSupport.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "pack/ZipWriter.h"

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "launcher-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes, unsigned mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  chmod(path.c_str(), mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::string PlainExecutable() {
  static const std::string bytes = ReadFile("/bin/true");
  return bytes;
}

std::string PackBytes(const std::map<std::string, std::string>& files, const std::string& base) {
  std::vector<launcher::pack::ZipInput> inputs;
  inputs.reserve(files.size());
  for (const auto& [name, data] : files) {
    inputs.push_back({name, data});
  }
  auto zip = launcher::pack::BuildZip(inputs);
  if (!zip) {
    throw std::runtime_error("BuildZip failed");
  }
  return base + *zip;
}

std::string MakePng(int width, int height, bool alpha,
                    const std::function<std::uint32_t(int, int)>& pixel) {
  const int channels = alpha ? 4 : 3;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = pixel(x, y);
      std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
      p[0] = v >> 24;
      p[1] = v >> 16;
      p[2] = v >> 8;
      if (alpha) {
        p[3] = v;
      }
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("png size failed");
  }
  std::string out(size, '\0');
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("png write failed");
  }
  out.resize(size);
  return out;
}

std::string MinimalConfig() {
  return "[global]\nlinkCount=1\ntitle=test\n[link1]\ntype=4\nx=1\ny=2\nwidth=30\nheight=20\n";
}

std::map<std::string, std::string> MinimalSkin() {
  return {{"config/cg.txt", MinimalConfig()},
          {"config/main1.png", MakePng(8, 6, true, [](int x, int y) {
             return static_cast<std::uint32_t>((x * 30) << 24 | (y * 40) << 16 | 0x80FF);
           })}};
}

}  // namespace testsupport

// Helpers the tests share: temporary folders, files, packed executables and pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace testsupport {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes, unsigned mode = 0644);
bool FileExists(const std::string& path);

// A small real executable to pack onto.
std::string PlainExecutable();

// Zips files (name → bytes, names as stored) and appends the archive to base.
std::string PackBytes(const std::map<std::string, std::string>& files,
                      const std::string& base = PlainExecutable());

// A PNG of the given size; pixel(x, y) gives 0xRRGGBBAA (alpha ignored without alpha).
std::string MakePng(int width, int height, bool alpha,
                    const std::function<std::uint32_t(int, int)>& pixel);

// A configuration text with one link, enough to start.
std::string MinimalConfig();

// The files of a package that starts: cg.txt, main1.png.
std::map<std::string, std::string> MinimalSkin();

}  // namespace testsupport

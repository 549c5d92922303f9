// Start-up's data path on the demo package: map the executable, find and open the archive, load
// and parse cg.txt, decode main1.png. Each iteration starts from a fresh model, as a process does.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "config/LauncherConfig.h"
#include "config/Png.h"
#include "pack/ZipWriter.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The demo skin packed onto a small executable, written once to a temporary file.
const std::string& DemoPackage() {
  static const std::string path = [] {
    const std::string skin = std::string(LAUNCHER_SOURCE_DIR) + "/demo/skin";
    std::vector<launcher::pack::ZipInput> entries;
    DIR* dir = opendir(skin.c_str());
    while (dirent* e = dir ? readdir(dir) : nullptr) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string data = ReadAll(skin + "/" + name);
      if (name == "cg.txt") data = launcher::Utf8ToGbk(data).value_or(data);
      entries.push_back({"config/" + name, data});
    }
    if (dir) closedir(dir);
    auto zip = launcher::pack::BuildZip(entries);
    std::string file = "/tmp/launcher-bench-demo";
    std::ofstream(file, std::ios::binary) << ReadAll("/bin/true") << zip.value_or("");
    return file;
  }();
  return path;
}

void ArchiveAndConfiguration(benchmark::State& state) {
  const std::string& package = DemoPackage();
  for (auto _ : state) {
    launcher::LauncherConfig config;
    bool ok = config.OpenArchiveAt(package) && config.LoadConfigFile("config/cg.txt") &&
              config.ParseConfig();
    if (!ok) state.SkipWithError("demo package does not load");
    benchmark::DoNotOptimize(config.GetLinks().data());
  }
}
BENCHMARK(ArchiveAndConfiguration)->Unit(benchmark::kMicrosecond);

void WithMainPicture(benchmark::State& state) {
  const std::string& package = DemoPackage();
  for (auto _ : state) {
    launcher::LauncherConfig config;
    std::unique_ptr<launcher::Bitmap> picture;
    bool ok = config.OpenArchiveAt(package) && config.LoadConfigFile("config/cg.txt") &&
              config.ParseConfig() && config.LoadGdiplusImage("config/main1.png", &picture);
    if (!ok || picture->Empty()) state.SkipWithError("demo package does not load");
    benchmark::DoNotOptimize(picture->pixels.data());
  }
}
BENCHMARK(WithMainPicture)->Unit(benchmark::kMicrosecond);

void DecodeMainPicture(benchmark::State& state) {
  const std::string png = ReadAll(std::string(LAUNCHER_SOURCE_DIR) + "/demo/skin/main1.png");
  for (auto _ : state) {
    launcher::Bitmap picture;
    launcher::DecodePng(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), &picture);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
}
BENCHMARK(DecodeMainPicture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

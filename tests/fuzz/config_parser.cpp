// cg.txt as packaged: load, parse, and read every list the windows read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/LauncherConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  launcher::LauncherConfig config;
  if (!config.LoadConfigText(std::string_view(reinterpret_cast<const char*>(data), size))) {
    return 0;
  }
  config.ParseConfig();
  std::size_t total = config.GetSettings().title.size() + config.GetGameHeader().size();
  for (const auto& link : config.GetLinks()) total += link.url.size();
  for (const auto& button : config.GetGameButtons()) total += button.title.size();
  return total > 0 ? 0 : 0;
}

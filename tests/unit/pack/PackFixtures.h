// Skins for the packer's tests: a small one that checks clean, written to a folder or packed.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pack/Cli.h"
#include "support/TestSupport.h"

namespace launcher::pack::fixtures {

// What one run of launcher-pack's command line gave: exit code, standard output and error.
struct Outcome {
  int code;
  std::string out, err;
};

inline Outcome Pack(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunPacker(args, out, err);
  return {code, out.str(), err.str()};
}

// cg.txt of the clean skin. Line numbers matter to the tests; they are given on the right.
inline std::string CleanConfig() {
  return "[global]\n"                       // 1
         "gameheader=http://game/start?\n"  // 2
         "linkCount=2\n"                    // 3
         "menuCount=1\n"                    // 4
         "picCount=2\n"                     // 5
         "gameButtonCount=1\n"              // 6
         "edgeImage1=1\n"                   // 7
         "edgeImage2=1\n"                   // 8
         "edgeImage3=1\n"                   // 9
         "edgeImage4=1\n"                   // 10
         "edgeImage5=1\n"                   // 11
         "edgeImage6=1\n"                   // 12
         "edgeImage7=1\n"                   // 13
         "edgeImage8=1\n"                   // 14
         "title=Test\n"                     // 15
         "[link1]\n"                        // 16
         "type=4\n"                         // 17
         "url=http://login/\n"              // 18
         "[link2]\n"                        // 19
         "type=3\n"                         // 20
         "[menu1]\n"                        // 21
         "type=1\n"                         // 22
         "shortCut=5\n"                     // 23
         "[gamePic1]\n"                     // 24
         "width=4\n"                        // 25
         "height=4\n"                       // 26
         "[gamePic2]\n"                     // 27
         "x=4\n"                            // 28
         "width=4\n"                        // 29
         "height=4\n"                       // 30
         "interval=1\n"                     // 31
         "[gamebutton1]\n"                  // 32
         "type=5\n"                         // 33
         "image=2\n";                       // 34; appended text starts at line 35
}

inline std::string Png(int width, int height) {
  return testsupport::MakePng(width, height, false, [](int x, int y) {
    return static_cast<std::uint32_t>((x * 40) << 24 | (y * 20) << 16 | 0x4000FF);
  });
}

// File name (without config/) → bytes. The sheet is 8 × 14: entry 2's three states, 4 high
// with 1 between them, end exactly at its bottom.
inline std::map<std::string, std::string> CleanSkin() {
  return {{"cg.txt", CleanConfig()}, {"main1.png", Png(40, 30)}, {"2_n.png", Png(5, 5)},
          {"2_d.png", Png(5, 5)},    {"style.png", Png(8, 14)},  {"logo.png", Png(6, 6)}};
}

inline void WriteSkin(const std::string& folder, const std::map<std::string, std::string>& files) {
  const std::string prefix = folder + "/";
  for (const auto& [name, bytes] : files) {
    testsupport::WriteFile(prefix + name, bytes);
  }
}

// A Windows launcher's shape: a PE image of one section whose raw data ends at 0x600. The
// optional header is 224 bytes (PE32) or 240 (PE32+).
inline std::string PeLauncher(bool plus) {
  std::string image(0x600, '\0');
  auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      image[at + i] = static_cast<char>(value >> (8 * i));
    }
  };
  image[0] = 'M';
  image[1] = 'Z';
  put(0x3C, 0x80, 4);
  image.replace(0x80, 4, std::string("PE\0\0", 4));
  put(0x80 + 6, 1, 2);                      // one section
  put(0x80 + 20, plus ? 240 : 224, 2);      // optional header size
  put(0x80 + 24, plus ? 0x20B : 0x10B, 2);  // its magic
  const std::size_t table = 0x80 + 24 + (plus ? 240 : 224);
  put(table + 16, 0x400, 4);  // SizeOfRawData
  put(table + 20, 0x200, 4);  // PointerToRawData
  return image;
}

// The same files as archive entries under config/.
inline std::map<std::string, std::string> AsEntries(
    const std::map<std::string, std::string>& files) {
  std::map<std::string, std::string> entries;
  for (const auto& [name, bytes] : files) {
    entries["config/" + name] = bytes;
  }
  return entries;
}

}  // namespace launcher::pack::fixtures

#include "base/Paths.h"

#include <gtest/gtest.h>

namespace launcher {
namespace {

TEST(CloseCaption, NameWithoutFolderAndExtension) {
  const struct {
    const char* path;
    const char* caption;
  } cases[] = {
      {"/opt/g/game.setup.exe", "game.setup"},
      {"/opt/g.d/launcher", "launcher"},  // no extension: the whole name, never empty
      {"launcher.exe", "launcher"},
      {"launcher", "launcher"},
      {"D:\\Game\\My.Launcher.exe", "My.Launcher"},
      {"/home/p/.launcher", ".launcher"},  // a leading dot starts the name
      {"/home/p/星辰远征.bin", "星辰远征"},
      {"/opt/g/", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CloseCaptionFromPath(c.path), c.caption) << c.path;
  }
}

}  // namespace
}  // namespace launcher

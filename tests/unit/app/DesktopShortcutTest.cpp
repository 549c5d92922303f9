#include "app/DesktopShortcut.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.h"

namespace launcher {
namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

TEST(DesktopShortcut, ExecQuotingRoundTripsAwkwardPaths) {
  const std::vector<std::string> paths = {
      "/opt/game/launcher",
      "/home/p/My Games/星辰 远征/launcher.exe",
      "/tmp/a\"b/c`d$e\\f%g'h",
      "/tmp/100%%/x",
      "/tmp/tab\there",
  };
  for (const std::string& path : paths) {
    std::string quoted = QuoteExecArgument(path);
    EXPECT_EQ(quoted.find('\n'), std::string::npos);
    auto back = ExecProgram(quoted + " --arg");
    ASSERT_TRUE(back) << quoted;
    EXPECT_EQ(*back, path) << quoted;
  }
  // Values written by other programs: plain, quoted, with escapes of the string level.
  EXPECT_EQ(ExecProgram("/usr/bin/game %U"), "/usr/bin/game");
  EXPECT_EQ(ExecProgram("\"/opt/a b/run\" -x"), "/opt/a b/run");
  EXPECT_EQ(ExecProgram("\"/opt/\\\\$x\""), "/opt/$x");
  EXPECT_EQ(ExecProgram("/opt/a\\sb"), "/opt/a");
  EXPECT_FALSE(ExecProgram("\"/opt/unterminated"));
  EXPECT_FALSE(ExecProgram("   "));
}

TEST(DesktopShortcut, BaseNameDropsFolderAndLastExtension) {
  EXPECT_EQ(ShortcutBaseName("/g/game.setup.exe"), "game.setup");
  EXPECT_EQ(ShortcutBaseName("/g/launcher"), "launcher");
  EXPECT_EQ(ShortcutBaseName("/g.d/launcher"), "launcher");
  EXPECT_EQ(ShortcutBaseName("/g/星辰.exe"), "星辰");
}

TEST(DesktopShortcut, DesktopFolderFromTheUserDirectories) {
  TempDir home;
  mkdir((home / "Desktop").c_str(), 0755);
  mkdir((home / "桌面").c_str(), 0755);
  mkdir((home / ".config").c_str(), 0755);
  EXPECT_EQ(FindDesktopDirectoryIn(home.Path(), ""), home / "Desktop");

  WriteFile(home / ".config/user-dirs.dirs",
            "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
  EXPECT_EQ(FindDesktopDirectoryIn(home.Path(), ""), home / "桌面");

  WriteFile(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
  EXPECT_EQ(FindDesktopDirectoryIn(home.Path(), ""), std::nullopt) << "home means no desktop";

  WriteFile(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Missing\"\n");
  EXPECT_EQ(FindDesktopDirectoryIn(home.Path(), ""), std::nullopt) << "never created";
  EXPECT_FALSE(testsupport::FileExists(home / "Missing"));
  EXPECT_EQ(FindDesktopDirectoryIn("", ""), std::nullopt);
}

TEST(DesktopShortcut, WrittenEntryIsFoundAndExecutable) {
  TempDir desktop;
  const std::string exe = "/opt/my games/\"quoted\"/launcher";
  EXPECT_FALSE(ShortcutExists(exe, desktop.Path()));
  WriteFile(desktop / "other.desktop", "[Desktop Entry]\nExec=/usr/bin/other\n");
  WriteFile(desktop / "notes.txt", "Exec=" + QuoteExecArgument(exe) + "\n");
  WriteFile(desktop / "broken.desktop", "[Desktop Entry]\nExec=\"/unterminated\n");
  EXPECT_FALSE(ShortcutExists(exe, desktop.Path()));

  CreateShortcut(exe, desktop / "launcher.desktop");
  struct stat st {};
  ASSERT_EQ(stat((desktop / "launcher.desktop").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  std::string target;
  ASSERT_TRUE(GetShortcutTarget(desktop / "launcher.desktop", &target));
  EXPECT_EQ(target, exe);
  EXPECT_TRUE(ShortcutExists(exe, desktop.Path()));
  EXPECT_FALSE(ShortcutExists("/opt/my games/\"quoted\"", desktop.Path()));
}

}  // namespace
}  // namespace launcher

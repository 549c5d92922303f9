#include "app/DesktopShortcut.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/Png.h"
#include "support/TestSupport.h"

namespace launcher {
namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

TEST(DesktopShortcut, ExecQuotingRoundTripsAwkwardPaths) {
  const std::vector<std::string> paths = {
      "/opt/game/launcher",     "/home/p/My Games/星辰 远征/launcher.exe",
      "/tmp/a\"b/c`d$e\\f%g'h", "/tmp/100%%/x",
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

namespace launcher {
namespace {

std::string Entry(const std::string& path) { return testsupport::ReadFile(path); }

// What the user finds on the desktop after a shortcut was written where another file already
// had the name.
TEST(DesktopShortcut, ATakenNameIsNeverWrittenOverOrThrough) {
  TempDir desktop;
  TempDir elsewhere;
  const std::string exe = "/opt/game/launcher";
  const std::string foreign = "[Desktop Entry]\nExec=/usr/bin/other\n";
  WriteFile(desktop / "launcher.desktop", foreign, 0644);
  ASSERT_EQ(CreateShortcut(exe, desktop / "launcher.desktop"), desktop / "launcher-2.desktop");
  EXPECT_EQ(Entry(desktop / "launcher.desktop"), foreign);

  // A link under the next name leads to a private file: neither written nor made executable.
  WriteFile(elsewhere / "secret", "private", 0600);
  ASSERT_EQ(symlink((elsewhere / "secret").c_str(), (desktop / "launcher-3.desktop").c_str()), 0);
  ASSERT_EQ(mkfifo((desktop / "launcher-4.desktop").c_str(), 0644), 0);
  ASSERT_EQ(CreateShortcut(exe, desktop / "launcher.desktop"), desktop / "launcher-5.desktop");
  EXPECT_EQ(Entry(elsewhere / "secret"), "private");
  struct stat st {};
  ASSERT_EQ(stat((elsewhere / "secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((desktop / "launcher-5.desktop").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  // Every name taken: nothing written.
  for (int n = 6; n <= kMaxNameAttempts; ++n) {
    WriteFile(desktop / ("launcher-" + std::to_string(n) + ".desktop"), "x");
  }
  EXPECT_FALSE(CreateShortcut(exe, desktop / "launcher.desktop"));
}

TEST(DesktopShortcut, ScanningTheDesktopNeverBlocksOnAFifoOrFollowsIntoOne) {
  TempDir desktop;
  const std::string exe = "/opt/game/launcher";
  ASSERT_EQ(mkfifo((desktop / "a.desktop").c_str(), 0644), 0);
  ASSERT_EQ(symlink((desktop / "a.desktop").c_str(), (desktop / "b.desktop").c_str()), 0);
  std::string target;
  EXPECT_FALSE(GetShortcutTarget(desktop / "a.desktop", &target));
  EXPECT_FALSE(ShortcutExists(exe, desktop.Path()));
  // A link to a real entry that starts us still counts.
  TempDir apps;
  WriteFile(apps / "game.desktop", "[Desktop Entry]\nExec=" + QuoteExecArgument(exe) + "\n");
  ASSERT_EQ(symlink((apps / "game.desktop").c_str(), (desktop / "c.desktop").c_str()), 0);
  EXPECT_TRUE(ShortcutExists(exe, desktop.Path()));
}

TEST(DesktopShortcut, EntryRunsInTheExecutablesFolderWithItsIcon) {
  TempDir desktop;
  const std::string exe = "/opt/my games/a\\b\tc/launcher";
  auto path = CreateShortcut(exe, desktop / "launcher.desktop", "/home/p/icons/x y.png");
  ASSERT_TRUE(path);
  const std::string text = Entry(*path);
  EXPECT_NE(text.find("\nPath=/opt/my games/a\\\\b\\tc\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nIcon=/home/p/icons/x y.png\n"), std::string::npos) << text;
  EXPECT_EQ(EscapeEntryValue(" lead"), "\\slead");
  EXPECT_EQ(CreateShortcut("/launcher", desktop / "root.desktop").value_or(""),
            desktop / "root.desktop");
  EXPECT_NE(Entry(desktop / "root.desktop").find("\nPath=/\n"), std::string::npos);
  EXPECT_EQ(Entry(desktop / "root.desktop").find("Icon="), std::string::npos);
}

TEST(DesktopShortcut, IconIsInstalledOnceAndNeverOverAnotherFile) {
  TempDir data;
  const std::string exe = "/opt/game/launcher";
  const std::string png = testsupport::MakePng(32, 32, true, [](int, int) { return 0xFF0000FFu; });
  const std::vector<std::uint8_t> bytes(png.begin(), png.end());
  int side = 0;
  EXPECT_EQ(ShortcutIconPng(&bytes, &side), bytes);
  EXPECT_EQ(side, 32);

  auto first = InstallShortcutIcon(data.Path(), exe, bytes, side);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->rfind(data / "icons/hicolor/32x32/apps/launcher-", 0), 0u) << *first;
  EXPECT_EQ(testsupport::ReadFile(*first), png);
  EXPECT_EQ(InstallShortcutIcon(data.Path(), exe, bytes, side), first) << "the same file again";

  // Another icon (an operator's new one, or another program's file) is left alone.
  const std::string other = testsupport::MakePng(32, 32, false, [](int, int) { return 0u; });
  const std::vector<std::uint8_t> otherBytes(other.begin(), other.end());
  auto second = InstallShortcutIcon(data.Path(), exe, otherBytes, 32);
  ASSERT_TRUE(second);
  EXPECT_NE(*second, *first);
  EXPECT_EQ(testsupport::ReadFile(*first), png);

  // Not square, or not a picture: the built-in icon, as a PNG that decodes.
  const std::string wide = testsupport::MakePng(64, 32, false, [](int, int) { return 0u; });
  for (const std::string& given : {wide, std::string("not a png")}) {
    const std::vector<std::uint8_t> operatorIcon(given.begin(), given.end());
    std::vector<std::uint8_t> builtIn = ShortcutIconPng(&operatorIcon, &side);
    Bitmap decoded;
    ASSERT_TRUE(DecodePng(builtIn.data(), builtIn.size(), &decoded));
    EXPECT_EQ(decoded.width, side);
    EXPECT_EQ(decoded.height, side);
  }
}

}  // namespace
}  // namespace launcher

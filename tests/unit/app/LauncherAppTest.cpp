#include "app/LauncherApp.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "support/TestSupport.h"
#include "ui/fake/FakeUi.h"
#include "unit/config/HostileZip.h"

namespace launcher {
namespace {

using testsupport::FileExists;
using testsupport::MinimalSkin;
using testsupport::PackBytes;
using testsupport::TempDir;
using testsupport::WriteFile;

// Records which windows start-up runs, instead of running them.
class RecordingApp : public LauncherApp {
 public:
  using LauncherApp::LauncherApp;
  std::vector<std::string> runs;
  std::string launcherChooses;

 protected:
  void RunLauncherWindow() override {
    runs.push_back("launcher");
    if (!launcherChooses.empty()) {
      SetStartUrl(launcherChooses);
    }
  }
  void RunGameWindow(const std::string& url) override { runs.push_back("game " + url); }
};

class StartupTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string exe = dir / "game.setup.exe";
  std::string cwd = dir / "cwd";
  std::string desktop = dir / "Desktop";

  void SetUp() override {
    ui::fake::Reset();
    mkdir(cwd.c_str(), 0755);
    mkdir(desktop.c_str(), 0755);
  }
  void Pack(const std::map<std::string, std::string>& files) {
    WriteFile(exe, PackBytes(files), 0755);
  }
  std::map<std::string, std::string> SkinWith(const std::string& globalExtra) {
    auto skin = MinimalSkin();
    skin["config/cg.txt"] = "[global]\nlinkCount=1\n" + globalExtra + "\n[link1]\ntype=4\n";
    return skin;
  }
  std::vector<std::string> Run(const std::string& launcherChooses = "",
                               const std::optional<std::string>& desktopDir = std::nullopt) {
    RecordingApp app({exe, cwd, desktopDir ? desktopDir : desktop});
    app.launcherChooses = launcherChooses;
    EXPECT_FALSE(app.InitInstance());
    app.ExitInstance();
    return app.runs;
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const auto& box : ui::fake::MessageBoxes()) {
      EXPECT_EQ(box.caption, "启动失败");
      EXPECT_FALSE(box.hasOwner);
      texts.push_back(box.text);
    }
    return texts;
  }
};

TEST_F(StartupTest, FirstUrlChoosesThePath) {
  Pack(SkinWith("firstUrl=ab"));
  EXPECT_EQ(Run(), std::vector<std::string>{"launcher"});
  EXPECT_EQ(Run("http://game/start"),
            (std::vector<std::string>{"launcher", "game http://game/start"}));
  Pack(SkinWith("firstUrl=abc"));
  EXPECT_EQ(Run("ignored"), std::vector<std::string>{"game abc"});
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartupTest, AnOperatorIconIsHandedToTheWindowsOptionallyAndSilently) {
  Pack(SkinWith(""));
  Run();
  EXPECT_TRUE(ui::fake::AppIcon().Empty()) << "none packed: the built-in icon";
  ASSERT_TRUE(ui::fake::BuiltInAppIcon()) << "the program's own icon goes to the framework";
  EXPECT_EQ(ui::fake::BuiltInAppIcon()(48).width, 48);
  auto skin = SkinWith("");
  skin["config/icon.png"] =
      testsupport::MakePng(48, 40, true, [](int, int) { return 0xFF0000FFu; });
  Pack(skin);
  Run();
  EXPECT_EQ(ui::fake::AppIcon().width, 48);
  EXPECT_EQ(ui::fake::AppIcon().height, 40);
  ui::fake::Reset();
  skin["config/icon.png"] = "not a picture";
  Pack(skin);
  EXPECT_EQ(Run(), std::vector<std::string>{"launcher"});
  EXPECT_TRUE(ui::fake::AppIcon().Empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartupTest, BrokenPackagesEndWithTheirMessageAndNoWindow) {
  struct Case {
    std::string bytes;
    std::vector<std::string> boxes;
  };
  auto noMain = MinimalSkin();
  noMain.erase("config/main1.png");
  auto undecodable = MinimalSkin();
  undecodable["config/main1.png"] = "\x89PNG\r\n\x1a\n but nothing after the signature";
  auto noLinks = MinimalSkin();
  noLinks["config/cg.txt"] = "[global]\nlinkCount=0\nfirstUrl=http://x/\n";
  const std::vector<Case> cases = {
      {testsupport::PlainExecutable(), {"没有附加配置文件,请打包配置文件"}},
      {testsupport::PlainExecutable() + "garbage garbage garbage", {"OpenZip失败"}},
      {PackBytes({{"config/main1.png", "x"}}), {"读取ini文件失败"}},
      {PackBytes(noMain), {"读取图片失败"}},
      {PackBytes(undecodable), {"读取图片失败"}},
      {testsupport::PlainExecutable() + hostile::OverlappingZip(3), {"OpenZip失败"}},
      {PackBytes(noLinks), {}},
  };
  for (const Case& c : cases) {
    ui::fake::Reset();
    WriteFile(exe, c.bytes, 0755);
    EXPECT_TRUE(Run().empty());
    EXPECT_EQ(Boxes(), c.boxes);
  }
}

TEST_F(StartupTest, UpdateLeftoversGoEvenWhenTheConfigurationIsBroken) {
  Pack({{"config/cg.txt", "[global]\nlinkCount=0\n"}});
  for (const char* name : {"Launcher_back_up.exe", "Launcher_update.bat", "Launcher_update.sh"}) {
    WriteFile(cwd + "/" + name, "old");
    WriteFile(dir / name, "old");
  }
  WriteFile(cwd + "/keep.txt", "mine");
  Run();
  for (const std::string& folder : {cwd, dir.Path()}) {
    EXPECT_FALSE(FileExists(folder + "/Launcher_update.bat"));
    EXPECT_FALSE(FileExists(folder + "/Launcher_update.sh"));
    // The backup may be the only build that starts: it stays until one start works.
    EXPECT_TRUE(FileExists(folder + "/Launcher_back_up.exe"));
  }
  EXPECT_TRUE(FileExists(cwd + "/keep.txt"));
  Pack(MinimalSkin());
  Run();
  EXPECT_FALSE(FileExists(cwd + "/Launcher_back_up.exe"));
  EXPECT_FALSE(FileExists(dir / "Launcher_back_up.exe"));
}

TEST_F(StartupTest, NoDisplayEndsBeforeTouchingAnything) {
  Pack(MinimalSkin());
  WriteFile(cwd + "/Launcher_update.sh", "old");
  ui::fake::SetPlatformAvailable(false);
  EXPECT_TRUE(Run().empty());
  EXPECT_TRUE(ui::fake::MessageBoxes().empty());
  EXPECT_TRUE(FileExists(cwd + "/Launcher_update.sh"));
}

TEST_F(StartupTest, DesktopShortcutIsWrittenOnce) {
  Pack(MinimalSkin());
  Run();
  const std::string shortcut = desktop + "/game.setup.desktop";
  ASSERT_TRUE(FileExists(shortcut));
  std::string first = testsupport::ReadFile(shortcut);
  EXPECT_NE(first.find("Name=game.setup\n"), std::string::npos);

  // Found again under another name: nothing new is written.
  ASSERT_EQ(rename(shortcut.c_str(), (desktop + "/renamed.desktop").c_str()), 0);
  Run();
  EXPECT_FALSE(FileExists(shortcut));
}

TEST_F(StartupTest, ShortcutRunsInTheExecutablesFolderWithTheOperatorsIcon) {
  auto skin = MinimalSkin();
  skin["config/icon.png"] = testsupport::MakePng(
      48, 48, true, [](int x, int) { return x < 24 ? 0xFF8000FFu : 0x0080FFFFu; });
  Pack(skin);
  const std::string data = dir / "data";
  RecordingApp app({exe, cwd, desktop, data});
  app.InitInstance();
  const std::string entry = testsupport::ReadFile(desktop + "/game.setup.desktop");
  EXPECT_NE(entry.find("\nPath=" + dir.Path() + "\n"), std::string::npos) << entry;
  const std::size_t icon = entry.find("\nIcon=");
  ASSERT_NE(icon, std::string::npos) << entry;
  const std::string iconPath = entry.substr(icon + 6, entry.find('\n', icon + 1) - icon - 6);
  EXPECT_EQ(iconPath.rfind(data + "/icons/hicolor/48x48/apps/game.setup-", 0), 0u) << iconPath;
  EXPECT_EQ(testsupport::ReadFile(iconPath), skin["config/icon.png"]);
}

TEST_F(StartupTest, NoShortcutWhenStartedFromTheDesktopOrWithoutOne) {
  Pack(MinimalSkin());
  Run("", cwd);  // the desktop is the current directory
  EXPECT_FALSE(FileExists(cwd + "/game.setup.desktop"));
  Run("", dir / "no-such-desktop");
  EXPECT_FALSE(FileExists(dir / "no-such-desktop"));
  EXPECT_FALSE(FileExists(desktop + "/game.setup.desktop"));
}

}  // namespace
}  // namespace launcher

// The desktop services of the GTK backend: timers, shell opening, starting programs, text
// measuring, pop-up menus.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "XScreen.h"
#include "base/Text.h"
#include "support/RecordingBrowser.h"
#include "ui/backend/Backend.h"

namespace uitest {
namespace {

using namespace ui;
using launcher::Gbk;
using namespace std::chrono_literals;

class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayReady()) {
      GTEST_SKIP() << "no X display";
    }
  }
  XScreen x;
};

TEST_F(ServicesTest, TimerThatStopsItselfFromItsCallbackRunsOnce) {
  int runs = 0;
  backend::TimerHandle self = 0;
  int otherRuns = 0;
  backend::TimerHandle other = backend::StartTimer(5, [&] { ++otherRuns; });
  self = backend::StartTimer(5, [&] {
    ++runs;
    backend::StopTimer(self);
    backend::StopTimer(self);  // twice is harmless
    backend::StopTimer(other);
  });
  Pump(120ms);
  EXPECT_EQ(runs, 1);
  EXPECT_LE(otherRuns, 1);
  backend::StopTimer(other);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Made while the program starts, before anything of GLib runs.
const testsupport::RecordingBrowser kBrowser;

TEST_F(ServicesTest, ShellOpenHandsAddressesToTheDesktopsBrowser) {
  EXPECT_TRUE(ShellOpen("http://127.0.0.1:8765/a?b=1&c=2"));
  EXPECT_TRUE(ShellOpen("WWW.example.com/news"));  // no scheme: a web site all the same
  EXPECT_TRUE(ShellOpen(launcher::Gbk("https://127.0.0.1:8765/新闻")));
  // A name that is neither an address nor a file opens nothing, quietly.
  EXPECT_FALSE(ShellOpen("_blank"));
  EXPECT_FALSE(ShellOpen(""));
  const std::string want =
      "http://127.0.0.1:8765/a?b=1&c=2\nhttp://WWW.example.com/news\n"
      "https://127.0.0.1:8765/新闻\n";
  EXPECT_TRUE(PumpUntil([&] { return kBrowser.Opened().size() >= want.size(); }, 5s));
  // Each launch is a process of its own: the order of the lines is theirs.
  const std::string got = kBrowser.Opened();
  for (const char* line : {"http://127.0.0.1:8765/a?b=1&c=2\n", "http://WWW.example.com/news\n",
                           "https://127.0.0.1:8765/新闻\n"}) {
    EXPECT_NE(got.find(line), std::string::npos) << line << " in " << got;
  }
}

// Children of this process that ended and were never waited for.
int ZombieChildren() {
  int zombies = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) {
      continue;
    }
    // pid (name) state ppid ...: the name may hold anything, so read after its last ')'.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    char state = 0;
    long ppid = 0;
    if (rest >> state >> ppid && ppid == getpid() && state == 'Z') {
      ++zombies;
    }
  }
  return zombies;
}

TEST_F(ServicesTest, StartedProgramRunsHereWithNoArgumentsAndIsNobodysChild) {
  char dir[] = "/tmp/startprocessXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string script = std::string(dir) + "/game launcher";  // a blank needs no quoting
  const std::string out = std::string(dir) + "/out.txt";
  {
    std::ofstream file(script);
    file << "#!/bin/sh\necho \"$# $PPID $(pwd) $LAUNCHER_START_MARK\" > "
            "\"$LAUNCHER_START_OUT.tmp\"\n"
            "mv \"$LAUNCHER_START_OUT.tmp\" \"$LAUNCHER_START_OUT\"\n";
  }
  chmod(script.c_str(), 0755);
  setenv("LAUNCHER_START_MARK", "mark-42", 1);
  setenv("LAUNCHER_START_OUT", out.c_str(), 1);
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const bool started = StartProcess(script);
  std::filesystem::current_path(before);
  unsetenv("LAUNCHER_START_MARK");
  unsetenv("LAUNCHER_START_OUT");
  ASSERT_TRUE(started);
  ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(out); }, 5000ms));

  std::istringstream fields(ReadAll(out));
  int arguments = -1;
  long parent = 0;
  std::string cwd, mark;
  fields >> arguments >> parent >> cwd >> mark;
  EXPECT_EQ(arguments, 0);
  EXPECT_EQ(cwd, dir);
  EXPECT_EQ(mark, "mark-42");
  // Not our child, so there is nothing to wait for, and nothing was left unreaped on the way.
  EXPECT_NE(parent, getpid());
  Pump(100ms);
  EXPECT_EQ(ZombieChildren(), 0);

  // Nothing there, not executable, no name: false.
  EXPECT_FALSE(StartProcess(std::string(dir) + "/missing"));
  EXPECT_FALSE(StartProcess(out));
  EXPECT_FALSE(StartProcess(""));
  std::filesystem::remove_all(dir);
}

TEST_F(ServicesTest, TextMeasuresAsItIsDrawn) {
  const Size latin = MeasureText("Start", FontKind::kMenu);
  const Size longer = MeasureText("Start the game", FontKind::kMenu);
  const Size bold = MeasureText("Start the game", FontKind::kGuiBold);
  const Size chinese = MeasureText(launcher::Gbk("开始游戏"), FontKind::kGui);
  // A 9-point font at 96 dots an inch: a line is some 12 to 18 pixels high.
  EXPECT_GE(latin.cy, 12);
  EXPECT_LE(latin.cy, 18);
  EXPECT_GT(longer.cx, latin.cx);
  EXPECT_GT(bold.cx, longer.cx);
  // Four ideographs, each about as wide as the font is high.
  EXPECT_GE(chinese.cx, 4 * 10);
  EXPECT_LE(chinese.cx, 4 * 16);
  EXPECT_EQ(MeasureText("", FontKind::kMenu).cx, 0);
}

// A menu answered from the keyboard while it runs its own loop.
int ChooseWithKeys(XScreen& x, const std::vector<MenuItem>& items, Window* owner,
                   std::vector<const char*> keys) {
  backend::TimerHandle timer = 0;
  timer = backend::StartTimer(150, [&] {
    backend::StopTimer(timer);
    for (const char* key : keys) {
      x.TapKey(key);
    }
  });
  const int chosen = TrackPopupMenu(items, {300, 300}, owner);
  backend::StopTimer(timer);
  return chosen;
}

TEST_F(ServicesTest, PopupMenuReturnsTheChosenItemAndTellsItsOwner) {
  Probe owner(Rgb(90, 90, 90));
  ASSERT_TRUE(
      owner.Create("", kWsPopup | kWsVisible, Rect::FromSize(250, 250, 200, 150), nullptr, 0));
  ASSERT_TRUE(PumpUntil([&] { return owner.paints > 0; }));
  const std::vector<MenuItem> items = {
      {10, launcher::Gbk("设置")}, {0, ""}, {20, launcher::Gbk("清除缓存")}};

  EXPECT_EQ(ChooseWithKeys(x, items, &owner, {"Down", "Down", "Return"}), 20);
  ASSERT_TRUE(PumpUntil([&] { return owner.Count(kWmCommand) == 1; }));
  for (const auto& e : owner.events) {
    if (e.message == kWmCommand) {
      EXPECT_EQ(e.wParam, 20u);
    }
  }

  owner.events.clear();
  EXPECT_EQ(ChooseWithKeys(x, items, &owner, {"Down", "Escape"}), 0);
  Pump(100ms);
  EXPECT_EQ(owner.Count(kWmCommand), 0);
}

}  // namespace
}  // namespace uitest

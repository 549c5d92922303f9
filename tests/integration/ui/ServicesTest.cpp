// The desktop services of the GTK backend: timers, shell opening, text measuring, pop-up menus.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "XScreen.h"
#include "ui/Text.h"
#include "ui/detail/Native.h"

namespace uitest {
namespace {

using namespace ui;
using namespace std::chrono_literals;

class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayReady()) GTEST_SKIP() << "no X display";
  }
  XScreen x;
};

TEST_F(ServicesTest, TimerThatStopsItselfFromItsCallbackRunsOnce) {
  int runs = 0;
  detail::TimerHandle self = 0;
  int otherRuns = 0;
  detail::TimerHandle other = detail::StartTimer(5, [&] { ++otherRuns; });
  self = detail::StartTimer(5, [&] {
    ++runs;
    detail::StopTimer(self);
    detail::StopTimer(self);  // twice is harmless
    detail::StopTimer(other);
  });
  Pump(120ms);
  EXPECT_EQ(runs, 1);
  EXPECT_LE(otherRuns, 1);
  detail::StopTimer(other);
}

TEST_F(ServicesTest, WindowTimersPostUntilKilled) {
  Probe w(Rgb(1, 2, 3));
  ASSERT_TRUE(w.Create("", kWsPopup, Rect::FromSize(0, 0, 10, 10), nullptr, 0));
  w.SetTimer(7, 10);
  ASSERT_TRUE(PumpUntil([&] { return w.Count(kWmTimer) >= 3; }));
  w.KillTimer(7);
  Pump(30ms);
  const int fired = w.Count(kWmTimer);
  Pump(80ms);
  EXPECT_EQ(w.Count(kWmTimer), fired);
  EXPECT_EQ(w.events.front().wParam, 7u);
}

TEST_F(ServicesTest, ShellOpenWritesTargetsToTheLogInsteadOfStartingPrograms) {
  char dir[] = "/tmp/shellopenXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string log = std::string(dir) + "/opened.txt";
  setenv("LAUNCHER_SHELL_OPEN_LOG", log.c_str(), 1);
  EXPECT_TRUE(ShellOpen("http://127.0.0.1:8765/a?b=1&c=2"));
  EXPECT_TRUE(ShellOpen("_blank"));
  EXPECT_TRUE(ShellOpen(Gbk("http://127.0.0.1:8765/新闻")));
  unsetenv("LAUNCHER_SHELL_OPEN_LOG");
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "http://127.0.0.1:8765/a?b=1&c=2\n_blank\nhttp://127.0.0.1:8765/新闻\n");
  std::remove(log.c_str());
  rmdir(dir);

  // Without the log: a name that is neither an address nor a file opens nothing, quietly.
  EXPECT_FALSE(ShellOpen("_blank"));
}

TEST_F(ServicesTest, TextMeasuresAsItIsDrawn) {
  const Size latin = MeasureText("Start", FontKind::kMenu);
  const Size longer = MeasureText("Start the game", FontKind::kMenu);
  const Size bold = MeasureText("Start the game", FontKind::kGuiBold);
  const Size chinese = MeasureText(Gbk("开始游戏"), FontKind::kGui);
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
  detail::TimerHandle timer = 0;
  timer = detail::StartTimer(150, [&] {
    detail::StopTimer(timer);
    for (const char* key : keys) x.TapKey(key);
  });
  const int chosen = TrackPopupMenu(items, {300, 300}, owner);
  detail::StopTimer(timer);
  return chosen;
}

TEST_F(ServicesTest, PopupMenuReturnsTheChosenItemAndTellsItsOwner) {
  Probe owner(Rgb(90, 90, 90));
  ASSERT_TRUE(
      owner.Create("", kWsPopup | kWsVisible, Rect::FromSize(250, 250, 200, 150), nullptr, 0));
  ASSERT_TRUE(PumpUntil([&] { return owner.paints > 0; }));
  const std::vector<MenuItem> items = {{10, Gbk("设置")}, {0, ""}, {20, Gbk("清除缓存")}};

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

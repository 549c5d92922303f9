// A game window on the fake backend with a skin laid out like the packaged one: frame pieces of
// 6x27, 58x27, 6x27, 3x2, 3x2, 4x5, 2x3 and 4x5, close/maximise/restore/minimise/tray/settings
// buttons of 28x26 at the right end of the strip, two captioned link buttons, the four menu
// entries, minimum size 1000 x 630.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/Text.h"
#include "config/LauncherConfig.h"
#include "game/GameDialog.h"
#include "support/TestSupport.h"
#include "ui/MessageBox.h"
#include "ui/fake/FakeBrowser.h"
#include "ui/fake/FakeUi.h"

namespace launcher::gametest {

inline std::string R(const ui::Rect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// The sheet's pixel at (x, y) tells where it came from: red x, green y.
inline std::uint32_t SheetPixel(int x, int y) {
  return static_cast<std::uint32_t>((x & 0xFF) << 24 | (y & 0xFF) << 16 | 0x8000);
}

// [gamePicN] sections: 1..8 buttons, 9..16 frame pieces.
inline std::string PackagedPictures() {
  struct Pic {
    int x, y, w, h;
  };
  const Pic pics[] = {{0, 0, 28, 26},   {28, 0, 28, 26},  {56, 0, 28, 26},  {84, 0, 28, 26},
                      {112, 0, 43, 19}, {155, 0, 28, 26}, {183, 0, 28, 26}, {211, 0, 60, 22},
                      {0, 80, 6, 27},   {8, 80, 58, 27},  {68, 80, 6, 27},  {76, 80, 3, 2},
                      {81, 80, 3, 2},   {86, 80, 4, 5},   {92, 80, 2, 3},   {96, 80, 4, 5}};
  std::string text;
  int n = 1;
  for (const Pic& p : pics) {
    text += "[gamePic" + std::to_string(n++) + "]\nx=" + std::to_string(p.x) +
            "\ny=" + std::to_string(p.y) + "\nwidth=" + std::to_string(p.w) +
            "\nheight=" + std::to_string(p.h) + "\ninterval=0\ncount=3\n";
  }
  return text;
}

struct ButtonSpec {
  int x, y, type, image, shortCut;
  std::string title, url, tips;
};

inline std::string ButtonSections(const std::vector<ButtonSpec>& buttons) {
  std::string text;
  int n = 1;
  for (const ButtonSpec& b : buttons) {
    text += "[gamebutton" + std::to_string(n++) + "]\nx=" + std::to_string(b.x) +
            "\ny=" + std::to_string(b.y) + "\ntype=" + std::to_string(b.type) +
            "\nimage=" + std::to_string(b.image) + "\nshortCut=" + std::to_string(b.shortCut) +
            "\ntitle=" + b.title + "\nurl=" + b.url + "\ntips=" + b.tips + "\ncolor=16777215\n";
  }
  return text;
}

inline std::vector<ButtonSpec> PackagedButtons() {
  return {{-28, 0, 5, 4, 0, "", "", "close"},
          {-56, 0, 6, 2, 0, "", "", "max"},
          {-56, 0, 10, 3, 0, "", "", "restore"},
          {-84, 0, 7, 1, 0, "", "", "min"},
          {-112, 0, 8, 6, 9, "", "", "tray"},
          {-140, 0, 11, 7, 0, "", "", "settings"},
          {-210, 2, 12, 8, 0, "pay", "http://127.0.0.1/pay;a=1", "pay tip"},
          {-263, 4, 1, 5, 0, "site", "http://127.0.0.1/", ""}};
}

inline std::string MenuSections() {
  return "[menu1]\ntitle=" + Gbk("刷新(F5)") + "\ntype=1\nshortCut=5\n" +
         "[menu2]\ntitle=" + Gbk("清除缓存") + "\ntype=2\nshortCut=0\n" +
         "[menu3]\ntitle=" + Gbk("全屏(F11)") + "\ntype=3\nshortCut=11\n" +
         "[menu4]\ntitle=" + Gbk("版本号") + "\ntype=4\nshortCut=0\n";
}

inline std::string GameConfig(const std::vector<ButtonSpec>& buttons = PackagedButtons(),
                              const std::string& menus = MenuSections(), int menuCount = 4) {
  std::string text = "[global]\ngameButtonCount=" + std::to_string(buttons.size()) +
                     "\nmenuCount=" + std::to_string(menuCount) +
                     "\nlinkCount=1\ntitle=T\nversion=1.34\npicCount=16\n"
                     "closeMsg=" +
                     Gbk("此操作将退出游戏，是否继续？") +
                     "\n"
                     "notityTitle=" +
                     Gbk("星辰远征 - 点击图标返回游戏") +
                     "\n"
                     "notifyCloseTitle=" +
                     Gbk("退出游戏") +
                     "\n"
                     "clearFlashTitle=" +
                     Gbk("清除缓存") +
                     "\n"
                     "clearFlashMsg=" +
                     Gbk("将清除游戏缓存文件") +
                     "\n"
                     "minGameWidth=1000\nminGameHeight=630\ntitleColor=11723508\n"
                     "logx=8\nlogy=3\ntitlex=38\ntitley=7\n"
                     "edgeImage1=9\nedgeImage2=10\nedgeImage3=11\nedgeImage4=12\n"
                     "edgeImage5=13\nedgeImage6=14\nedgeImage7=15\nedgeImage8=16\n"
                     "[link1]\ntype=4\nx=0\ny=0\nwidth=10\nheight=10\n";
  return text + PackagedPictures() + menus + ButtonSections(buttons);
}

// The configuration with one value replaced (key=old becomes key=new).
inline std::string With(std::string config, const std::string& from, const std::string& to) {
  const std::size_t at = config.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) {
    config.replace(at, from.size(), to);
  }
  return config;
}

inline std::map<std::string, std::string> GameFiles(const std::string& config = GameConfig()) {
  return {{"config/cg.txt", config},
          {"config/style.png", testsupport::MakePng(300, 120, false, SheetPixel)},
          {"config/logo.png",
           testsupport::MakePng(24, 20, true, [](int, int) { return 0xFFCC00FFu; })}};
}

// Loads a packed skin and runs a game window on it modally; body drives the window.
class GameWindowTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::unique_ptr<LauncherConfig> config;
  std::string exe;

  void SetUp() override {
    ui::fake::Reset();
    ui::fake::ResetBrowser();
    ui::fake::SetWorkArea({0, 0, 1920, 1040});
    ui::fake::SetScreenSize({1920, 1080});
  }

  void Load(const std::map<std::string, std::string>& files = GameFiles()) {
    exe = dir / "Star.Launcher.exe";
    testsupport::WriteFile(exe, testsupport::PackBytes(files), 0755);
    config = std::make_unique<LauncherConfig>();
    config->SetMessageSink(
        [](std::string_view m) { ui::MessageBox(nullptr, m, Gbk("启动失败"), ui::kMbOk); });
    ASSERT_TRUE(config->OpenArchiveAt(exe) && config->LoadConfigFile("config/cg.txt"));
    ASSERT_TRUE(config->ParseConfig());
  }

  // Runs the window on url; returns DoModal's result.
  int Run(const std::function<void(CGameDialog&)>& body,
          const std::string& url = "http://127.0.0.1/game?s=1") {
    if (!config) {
      Load();
    }
    CGameDialog dialog(nullptr, *config, exe);
    dialog.SetGameUrl(url);
    ui::fake::SetModalHandler([&](ui::Dialog&) { body(dialog); });
    return dialog.DoModal();
  }
};

}  // namespace launcher::gametest

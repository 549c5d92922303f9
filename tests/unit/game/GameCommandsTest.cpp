#include "game/GameCommands.h"

#include <gtest/gtest.h>

#include "GameTestSupport.h"
#include "game/GameDialog.h"
#include "skin/SkinButton.h"
#include "ui/NotifyIcon.h"

namespace launcher {
namespace {

using gametest::ButtonSpec;
using gametest::GameConfig;
using gametest::GameFiles;
using gametest::R;
using ui::ScriptValue;
using ui::fake::MouseKind;
using A = ShortcutAction;

constexpr unsigned kQuestion = 0x3101;

GameButtonInfo Button(int type, int shortCut, int image = 1) {
  GameButtonInfo b;
  b.type = type;
  b.shortCut = shortCut;
  b.image = image;
  return b;
}

MenuInfo Menu(int type, int shortCut) { return {"m", type, shortCut}; }

TEST(ShortcutSlots, LaterRegistrationsWinASharedKey) {
  struct Case {
    const char* name;
    std::vector<GameButtonInfo> buttons;
    std::vector<MenuInfo> menus;
    int key;
    ShortcutAction action;
  } cases[] = {
      {"packaged F9", {Button(5, 0), Button(8, 9)}, {Menu(1, 5), Menu(3, 11)}, 9, A::kHideToTray},
      {"packaged F5", {Button(8, 9)}, {Menu(1, 5), Menu(3, 11)}, 5, A::kRestart},
      {"packaged F11", {Button(8, 9)}, {Menu(1, 5), Menu(3, 11)}, 11, A::kFullScreen},
      {"menu over button", {Button(5, 5)}, {Menu(1, 5)}, 5, A::kRestart},
      {"restart over cache", {}, {Menu(1, 4), Menu(2, 4)}, 4, A::kRestart},
      {"full screen last", {}, {Menu(3, 4), Menu(1, 4)}, 4, A::kFullScreen},
      {"tray over close", {Button(8, 2), Button(5, 2)}, {}, 2, A::kHideToTray},
      {"restore over maximize", {Button(10, 2), Button(6, 2)}, {}, 2, A::kRestore},
      {"settings over tray", {Button(11, 2), Button(8, 2)}, {}, 2, A::kSettingsMenu},
      {"minimize over settings", {Button(7, 2), Button(11, 2)}, {}, 2, A::kMinimize},
      {"same type: the later entry", {Button(6, 1), Button(5, 1), Button(5, 3)}, {}, 3, A::kClose},
      {"version has no key", {}, {Menu(4, 3)}, 3, A::kNone},
      {"links have no key", {Button(1, 3), Button(12, 3)}, {}, 3, A::kNone},
      {"other types have no key", {Button(9, 3)}, {Menu(7, 3)}, 3, A::kNone},
      {"a skipped button still counts", {Button(8, 6, 0)}, {}, 6, A::kHideToTray},
      {"F12", {Button(7, 12)}, {}, 12, A::kMinimize},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegisterShortcutSlots(c.buttons, c.menus)[static_cast<std::size_t>(c.key - 1)],
              c.action)
        << c.name;
  }
  // Keys outside 1..12 go nowhere.
  const ShortcutSlots none = RegisterShortcutSlots(
      {Button(5, 0), Button(5, 13), Button(5, -1), Button(5, 2147483647)}, {Menu(1, -12)});
  for (ShortcutAction a : none) {
    EXPECT_EQ(a, A::kNone);
  }
}

TEST(SettingsMenu, ItemsInOrderWithTheVersionItemCutAt63Bytes) {
  const std::vector<MenuInfo> menus{{Gbk("刷新(F5)"), 1, 5},
                                    {"clean", 2, 0},
                                    {"full", 3, 11},
                                    {Gbk("版本号"), 4, 0},
                                    {"seven", 7, 0}};
  const auto items = SettingsMenuItems(menus, "1.34");
  ASSERT_EQ(items.size(), 5u);
  const int ids[] = {2035, 2036, 2037, 2038, 2041};
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].id, ids[i]);
  }
  EXPECT_EQ(items[0].text, Gbk("刷新(F5)"));
  EXPECT_EQ(items[3].text, Gbk("版本号1.34"));
  EXPECT_EQ(items[4].text, "seven");

  // 30 bytes of title and a long version: whole characters up to 63 bytes.
  std::string title = Gbk("版本号版本号版本号版本号版本号");              // 30 bytes
  std::string version = Gbk("星辰远征星辰远征星辰远征星辰远征星辰远征");  // 40 bytes
  const auto cut = SettingsMenuItems({{title, 4, 0}}, version);
  EXPECT_EQ(cut[0].text.size(), 62u) << "the 17th character would end at byte 64";
  EXPECT_EQ(cut[0].text, title + version.substr(0, 32));
  EXPECT_EQ(SettingsMenuItems({{"t" + title, 4, 0}}, version)[0].text.size(), 63u);
  EXPECT_EQ(SettingsMenuItems({{"v", 4, 0}}, "1.0")[0].text, "v1.0");
}

class GameCommandsTest : public gametest::GameWindowTest {
 protected:
  const ui::fake::MessageBoxCall& LastBox() { return ui::fake::MessageBoxes().back(); }
  void Tray(CGameDialog& dialog, ui::LParam mouse) {
    dialog.SendMessage(kWmTrayNotify, kTrayIconId, mouse);
  }
};

TEST_F(GameCommandsTest, F5AsksToRestartAndOnOkStartsTheProgramAnewAndCloses) {
  int result = Run([&](CGameDialog& dialog) {
    EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + 4));
    ASSERT_EQ(ui::fake::MessageBoxes().size(), 1u);
    EXPECT_EQ(LastBox().text, "此操作将退出游戏，是否继续？");
    EXPECT_EQ(LastBox().caption, "Star.Launcher");
    EXPECT_EQ(LastBox().style, kQuestion);
    EXPECT_EQ(LastBox().owner, &dialog) << "the box belongs to the game window";
    EXPECT_FALSE(dialog.IsEnded()) << "Cancel is the default answer";
    EXPECT_TRUE(ui::fake::StartedProcesses().empty());

    ui::fake::QueueMessageBoxAnswer(ui::kIdOk);
    EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + 4));
    EXPECT_EQ(ui::fake::StartedProcesses(), std::vector<std::string>{exe});
    EXPECT_TRUE(dialog.IsEnded());
  });
  EXPECT_EQ(result, ui::kIdOkCommand);
}

TEST_F(GameCommandsTest, FunctionKeysAreTakenFromThePageEnterAndEscapeReachIt) {
  Run([&](CGameDialog& dialog) {
    ui::fake::FocusIn(*dialog.GetBrowser());
    for (unsigned key : {1u, 2u, 3u, 4u, 6u, 7u, 8u, 12u}) {
      EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + key - 1)) << "F" << key;
    }
    EXPECT_TRUE(ui::fake::MessageBoxes().empty());
    EXPECT_TRUE(ui::fake::NotifyIcons().empty());
    EXPECT_TRUE(dialog.IsMaximized());
    EXPECT_FALSE(dialog.IsFullScreen());
    // Enter and Escape go to the page and never close the window.
    EXPECT_FALSE(ui::fake::Key(dialog, true, ui::kVkReturn));
    EXPECT_FALSE(ui::fake::Key(dialog, true, ui::kVkEscape));
    EXPECT_FALSE(ui::fake::Key(dialog, true, 'A'));
    EXPECT_TRUE(ui::fake::MessageBoxes().empty());
    EXPECT_FALSE(dialog.IsEnded());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameCommandsTest, KeysWithAltHeldAreTheSystemsAndNeverRunASlot) {
  Run([&](CGameDialog& dialog) {
    // Alt goes down first, then F5 with Alt held; F11 and F9 likewise: nothing runs.
    ui::fake::Key(dialog, true, ui::kVkMenu, ui::kMkAlt);
    for (unsigned key : {5u, 9u, 11u}) {
      ui::fake::Key(dialog, true, ui::kVkF1 + key - 1, ui::kMkAlt);
    }
    EXPECT_TRUE(ui::fake::MessageBoxes().empty()) << "Alt+F5 asked the restart question";
    EXPECT_TRUE(ui::fake::NotifyIcons().empty());
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    EXPECT_FALSE(dialog.IsFullScreen());
    // Alt+F4 is the system's close: the close question, as from the window manager.
    ui::fake::Key(dialog, true, ui::kVkF4, ui::kMkAlt);
    ASSERT_EQ(ui::fake::MessageBoxes().size(), 1u);
    EXPECT_EQ(LastBox().text, "此操作将退出游戏，是否继续？");
    EXPECT_FALSE(dialog.IsEnded());
    // Released Alt: F5 is a shortcut again.
    ui::fake::Key(dialog, false, ui::kVkMenu, 0);
    ui::fake::Key(dialog, true, ui::kVkF1 + 4);
    EXPECT_EQ(ui::fake::MessageBoxes().size(), 2u);
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameCommandsTest, TheSystemCloseAndTheCloseButtonAsk) {
  int result = Run([&](CGameDialog& dialog) {
    ui::fake::RequestClose(dialog);  // Alt+F4, the taskbar
    EXPECT_EQ(ui::fake::MessageBoxes().size(), 1u);
    EXPECT_FALSE(dialog.IsEnded());
    dialog.SendMessage(ui::kWmCommand, ui::kIdOkCommand);
    EXPECT_EQ(ui::fake::MessageBoxes().size(), 2u) << "OK asks as well";
    EXPECT_FALSE(dialog.IsEnded());
    ui::fake::QueueMessageBoxAnswer(ui::kIdOk);
    ui::fake::Click(dialog, dialog.FindButtonByType(5)->GetWindowRect().TopLeft());
    EXPECT_EQ(ui::fake::MessageBoxes().size(), 3u);
    EXPECT_EQ(LastBox().caption, "Star.Launcher");
    EXPECT_TRUE(dialog.IsEnded());
  });
  EXPECT_EQ(result, ui::kIdOkCommand);
  EXPECT_TRUE(ui::fake::StartedProcesses().empty());
}

TEST_F(GameCommandsTest, FullScreenFromMaximizedAndBack) {
  Run([&](CGameDialog& dialog) {
    EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + 10));
    EXPECT_TRUE(dialog.IsFullScreen());
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1080)");
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    EXPECT_TRUE(ui::fake::Native(dialog).fullScreen) << "the desktop must hear of it";
    EXPECT_EQ(R(ui::fake::Browser(*dialog.GetBrowser()).bounds), "(0,0,1920,1080)");
    for (const auto& b : dialog.GetButtons()) {
      EXPECT_FALSE(b->IsWindowVisible());
    }
    EXPECT_FALSE(dialog.GetLogo().IsWindowVisible());
    for (const auto& op : ui::fake::Paint(dialog)) {
      EXPECT_NE(op.kind, ui::fake::DrawOp::Kind::kText) << "no title";
      EXPECT_NE(op.kind, ui::fake::DrawOp::Kind::kBitmap) << "no frame";
    }
    // Size changes leave the page alone; the title strip neither drags nor toggles.
    ui::fake::Configure(dialog, {0, 0, 1920, 1080});
    ui::fake::Mouse(dialog, MouseKind::kDoubleClick, 1, {600, 10}, ui::kMkLButton);
    EXPECT_TRUE(dialog.IsMaximized());

    EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + 10));
    EXPECT_FALSE(dialog.IsFullScreen());
    EXPECT_FALSE(ui::fake::Native(dialog).fullScreen);
    EXPECT_TRUE(dialog.IsMaximized());
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1040)");
    EXPECT_EQ(R(ui::fake::Browser(*dialog.GetBrowser()).bounds), "(0,27,1920,1040)");
    EXPECT_TRUE(dialog.FindButtonByType(10)->IsWindowVisible());
    EXPECT_FALSE(dialog.FindButtonByType(6)->IsWindowVisible());
    EXPECT_TRUE(dialog.FindButtonByType(5)->IsWindowVisible());
    EXPECT_TRUE(dialog.GetLogo().IsWindowVisible());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameCommandsTest, FullScreenFromADraggedFramedWindowReturnsThere) {
  Run([&](CGameDialog& dialog) {
    dialog.Restore();
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {700, 215});
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {750, 225}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {750, 225});
    ASSERT_EQ(R(dialog.GetWindowRect()), "(510,215,1510,845)");

    dialog.SendMessage(ui::kWmCommand, 2037);  // the menu's full screen
    EXPECT_TRUE(dialog.IsFullScreen());
    EXPECT_TRUE(ui::fake::Native(dialog).fullScreen);
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1080)");
    dialog.SendMessage(ui::kWmCommand, 2037);
    EXPECT_FALSE(dialog.IsFullScreen());
    EXPECT_FALSE(dialog.IsMaximized());
    EXPECT_EQ(R(dialog.GetWindowRect()), "(510,215,1510,845)");
    EXPECT_TRUE(dialog.FindButtonByType(6)->IsWindowVisible());
    EXPECT_FALSE(dialog.FindButtonByType(10)->IsWindowVisible());
    EXPECT_EQ(R(dialog.GetBrowser()->GetRectInParent()), "(3,27,997,627)");
    dialog.Maximize();
    dialog.Restore();
    EXPECT_EQ(R(dialog.GetWindowRect()), "(510,215,1510,845)");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameCommandsTest, NotificationIconStateMachine) {
  Run([&](CGameDialog& dialog) {
    ui::fake::Click(dialog, dialog.FindButtonByType(8)->GetWindowRect().TopLeft());
    ASSERT_EQ(ui::fake::NotifyIcons().size(), 1u);
    const ui::NotifyIconData& icon = ui::fake::NotifyIcons()[0];
    EXPECT_EQ(icon.window, &dialog);
    EXPECT_EQ(icon.id, 128u);
    EXPECT_EQ(icon.callbackMessage, 2025u);
    EXPECT_EQ(icon.tip, "星辰远征 - 点击图标返回游戏");
    EXPECT_FALSE(ui::fake::Native(dialog).shown);

    // A left click shows the window and keeps the icon; presses and other icons do nothing.
    Tray(dialog, ui::kWmLButtonDown);
    Tray(dialog, ui::kWmRButtonDown);
    EXPECT_EQ(dialog.SendMessage(kWmTrayNotify, 127, ui::kWmLButtonUp), 1);
    EXPECT_FALSE(ui::fake::Native(dialog).shown);
    EXPECT_EQ(dialog.SendMessage(kWmTrayNotify, kTrayIconId, ui::kWmLButtonUp), 0);
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    EXPECT_EQ(ui::fake::NotifyIcons().size(), 1u);

    // F9 again: hidden again, still one icon; a double click shows it.
    EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + 8));
    EXPECT_FALSE(ui::fake::Native(dialog).shown);
    EXPECT_EQ(ui::fake::NotifyIcons().size(), 1u);
    Tray(dialog, ui::kWmLButtonDblClk);
    EXPECT_TRUE(ui::fake::Native(dialog).shown);

    // A right click offers the close item at the pointer; dismissed, the icon goes.
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {300, 500});
    Tray(dialog, ui::kWmRButtonUp);
    ASSERT_EQ(ui::fake::Menus().size(), 1u);
    ASSERT_EQ(ui::fake::Menus()[0].items.size(), 1u);
    EXPECT_EQ(ui::fake::Menus()[0].items[0].id, ui::kIdCancelCommand);
    EXPECT_EQ(ui::fake::Menus()[0].items[0].text, "退出游戏");
    EXPECT_EQ(ui::fake::Menus()[0].at, (ui::Point{300, 500}));
    EXPECT_TRUE(ui::fake::NotifyIcons().empty());
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    ui::fake::RunPostedWork();
    EXPECT_TRUE(ui::fake::MessageBoxes().empty());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameCommandsTest, TheIconStaysWhileItIsTheOnlyWayBackToTheWindow) {
  int result = Run([&](CGameDialog& dialog) {
    dialog.HideToTray();
    // Dismissed: the window is hidden, so the icon stays.
    Tray(dialog, ui::kWmRButtonUp);
    EXPECT_EQ(ui::fake::NotifyIcons().size(), 1u);
    // Chosen, then Cancel: the close question, and the icon still brings the window back.
    ui::fake::QueueMenuChoice(ui::kIdCancelCommand);
    Tray(dialog, ui::kWmRButtonUp);
    ui::fake::RunPostedWork();
    ASSERT_EQ(ui::fake::MessageBoxes().size(), 1u);
    EXPECT_EQ(LastBox().text, "此操作将退出游戏，是否继续？");
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(ui::fake::NotifyIcons().size(), 1u);
    Tray(dialog, ui::kWmLButtonUp);
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    // Chosen, then OK: the run ends.
    dialog.HideToTray();
    ui::fake::QueueMenuChoice(ui::kIdCancelCommand);
    ui::fake::QueueMessageBoxAnswer(ui::kIdOk);
    Tray(dialog, ui::kWmRButtonUp);
    ui::fake::RunPostedWork();
    EXPECT_TRUE(dialog.IsEnded());
  });
  EXPECT_EQ(result, ui::kIdOkCommand);
}

TEST_F(GameCommandsTest, WithoutANotificationAreaHidingMinimizes) {
  ui::fake::SetNotificationArea(false);
  Run([&](CGameDialog& dialog) {
    EXPECT_TRUE(ui::fake::Key(dialog, true, ui::kVkF1 + 8));
    EXPECT_TRUE(ui::fake::NotifyIcons().empty());
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    EXPECT_TRUE(ui::fake::Native(dialog).minimized);
    EXPECT_TRUE(dialog.IsMaximized());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
  ui::fake::SetNotificationArea(true);
}

TEST_F(GameCommandsTest, SettingsMenuBelowItsButtonAndItsCommands) {
  Run([&](CGameDialog& dialog) {
    const ui::Rect anchor = dialog.FindButtonByType(11)->GetWindowRect();
    struct Case {
      int choice;
      int boxes;
      unsigned answer;
      int clearings;
      bool fullScreen;
    } cases[] = {
        {0, 0, ui::kIdOk, 0, false},         // dismissed
        {2038, 0, ui::kIdOk, 0, false},      // the version
        {2036, 1, ui::kIdCancel, 0, false},  // cache, Cancel
        {2036, 1, ui::kIdOk, 1, false},      // cache, OK
        {2035, 1, ui::kIdCancel, 0, false},  // restart, Cancel
        {2037, 0, ui::kIdOk, 0, true},       // full screen
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.choice);
      const std::size_t boxes = ui::fake::MessageBoxes().size();
      const int clearings = ui::fake::CacheClearings();
      if (c.choice) {
        ui::fake::QueueMenuChoice(c.choice);
      }
      if (c.boxes) {
        ui::fake::QueueMessageBoxAnswer(static_cast<int>(c.answer));
      }
      ui::fake::Click(dialog, anchor.TopLeft());
      ui::fake::RunPostedWork();
      const auto& menu = ui::fake::Menus().back();
      EXPECT_EQ(menu.at, (ui::Point{anchor.left, anchor.bottom + 1}));
      ASSERT_EQ(menu.items.size(), 4u);
      EXPECT_EQ(menu.items[3].text, "版本号1.34");
      EXPECT_EQ(menu.items[3].id, 2038);
      EXPECT_EQ(ui::fake::MessageBoxes().size() - boxes, static_cast<std::size_t>(c.boxes));
      EXPECT_EQ(ui::fake::CacheClearings() - clearings, c.clearings);
      EXPECT_EQ(dialog.IsFullScreen(), c.fullScreen);
      if (c.choice == 2036) {
        EXPECT_EQ(LastBox().text, "将清除游戏缓存文件");
        EXPECT_EQ(LastBox().caption, "清除缓存");
        EXPECT_EQ(LastBox().style, kQuestion);
      }
    }
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_TRUE(ui::fake::StartedProcesses().empty());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameCommandsTest, MenuEntriesOfOtherTypesDoNothingAndNoSettingsButtonNoMenu) {
  Load(GameFiles(GameConfig({{-28, 0, 5, 4, 0, "", "", ""}},
                            "[menu1]\ntitle=seven\ntype=7\nshortCut=0\n"
                            "[menu2]\ntitle=again\ntype=1\nshortCut=0\n",
                            2)));
  Run([&](CGameDialog& dialog) {
    dialog.ShowSettingsMenu();
    EXPECT_TRUE(ui::fake::Menus().empty());
    dialog.SendMessage(ui::kWmCommand, 2041);
    EXPECT_TRUE(ui::fake::MessageBoxes().empty());
    dialog.SendMessage(ui::kWmCommand, 2035);
    EXPECT_EQ(ui::fake::MessageBoxes().size(), 1u);
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

// ---------------------------------------------------------------------------------------------
// The page's script bridge, called the way page script calls it.

class GameBridgeTest : public GameCommandsTest {
 protected:
  std::optional<ScriptValue> Call(CGameDialog& dialog, const std::vector<ScriptValue>& args,
                                  const char* name = "JsCallClient") {
    ui::fake::NavigateComplete(*dialog.GetBrowser(), "http://127.0.0.1/game?s=1");
    return ui::fake::CallExternal(*dialog.GetBrowser(), name, args);
  }
};

TEST_F(GameBridgeTest, CommandSixExtendsTheTitleFromTextOnly) {
  Run([&](CGameDialog& dialog) {
    // A script number is no command; the value must be text (the argument rules' own table
    // covers the rest).
    Call(dialog, {ScriptValue::Number(6), ScriptValue::Text("abc")});
    Call(dialog, {ScriptValue::Text("6")});
    EXPECT_EQ(dialog.GetTitleText(), "T");
    EXPECT_FALSE(Call(dialog, {ScriptValue::Text("6"), ScriptValue::Text("abc")}, "jscallclient"));
    EXPECT_EQ(dialog.GetTitleText(), "T");

    const int invalidations = ui::fake::Native(dialog).invalidations;
    Call(dialog, {ScriptValue::Text("6"), ScriptValue::Text("abc"), ScriptValue::Text("more")});
    EXPECT_EQ(dialog.GetTitleText(), "T-abc");
    EXPECT_GT(ui::fake::Native(dialog).invalidations, invalidations);
    bool drawn = false;
    for (const auto& op : ui::fake::Paint(dialog)) {
      drawn |= op.text == "T-abc";
    }
    EXPECT_TRUE(drawn);
    // Always from the configured title, not the extended one.
    Call(dialog, {ScriptValue::Text(" 6"), ScriptValue::Text("第二关")});
    EXPECT_EQ(dialog.GetTitleText(), "T-" + launcher::Gbk("第二关"));
    for (const char* code : {"3", "5", "7"}) {
      Call(dialog, {ScriptValue::Text(code), ScriptValue::Text("zzz")});
    }
    EXPECT_EQ(dialog.GetTitleText(), "T-" + Gbk("第二关"));
    EXPECT_FALSE(dialog.IsEnded());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameBridgeTest, ALongTitleIsCutAt255Bytes) {
  const std::string title(127, 't');
  Load(GameFiles(gametest::With(GameConfig(), "title=T", "title=" + title)));
  Run([&](CGameDialog& dialog) {
    Call(dialog, {ScriptValue::Text("6"), ScriptValue::Text(std::string(200, 'v'))});
    EXPECT_EQ(dialog.GetTitleText(), title + "-" + std::string(127, 'v'));
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameBridgeTest, CommandsOneAndTwoCloseAtOnceWithoutAQuestion) {
  for (const char* code : {"1", "2"}) {
    ui::fake::Reset();
    const int result = Run([&](CGameDialog& dialog) {
      EXPECT_EQ(Call(dialog, {ScriptValue::Text(code)}), ScriptValue::Undefined());
    });
    EXPECT_EQ(result, ui::kIdOkCommand) << code;
    EXPECT_TRUE(ui::fake::MessageBoxes().empty()) << code;
    // Two starts the program anew first.
    EXPECT_EQ(ui::fake::StartedProcesses().size(), code[0] == '2' ? 1u : 0u) << code;
  }
  EXPECT_EQ(ui::fake::StartedProcesses(), std::vector<std::string>{exe});
}

TEST_F(GameBridgeTest, CommandFourPutsOnlyWebAddressesOnTheFirstPageLinkButton) {
  Run([&](CGameDialog& dialog) {
    CxSkinButton* pay = dialog.FindButtonByType(12);
    struct Case {
      std::vector<ScriptValue> args;
      const char* link;
    } cases[] = {
        {{ScriptValue::Text("4")}, "http://127.0.0.1/pay&a=1"},
        {{ScriptValue::Text("4"), ScriptValue::Text("file:///etc/passwd")},
         "http://127.0.0.1/pay&a=1"},
        {{ScriptValue::Text("4"), ScriptValue::Text("https://shop.test/?u=1;v=2")},
         "https://shop.test/?u=1&v=2"},
        {{ScriptValue::Text("4"), ScriptValue::Text("http://" + std::string(249, 'a'))},
         "https://shop.test/?u=1&v=2"},
        {{ScriptValue::Text("4"), ScriptValue::Text("HTTP://127.0.0.1/x")}, "HTTP://127.0.0.1/x"},
    };
    for (const Case& c : cases) {
      Call(dialog, c.args);
      EXPECT_EQ(pay->GetLinkUrl(), c.link);
    }
    // The press opens the page's address.
    ui::fake::Click(dialog, pay->GetWindowRect().TopLeft());
    EXPECT_EQ(ui::fake::ShellOpens(), std::vector<std::string>{"HTTP://127.0.0.1/x"});
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameBridgeTest, CommandFourWithoutAPageLinkButtonDoesNothing) {
  Load(GameFiles(GameConfig({{-28, 0, 1, 4, 0, "", "http://a/", ""}})));
  Run([&](CGameDialog& dialog) {
    Call(dialog, {ScriptValue::Text("4"), ScriptValue::Text("http://b/")});
    EXPECT_EQ(dialog.FindButtonByType(1)->GetLinkUrl(), "http://a/");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

}  // namespace
}  // namespace launcher

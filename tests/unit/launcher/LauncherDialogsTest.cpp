#include "launcher/LauncherDialogs.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "browser/WebBrowserEx.h"
#include "config/LauncherConfig.h"
#include "skin/SkinButton.h"
#include "support/TestSupport.h"
#include "ui/MessageBox.h"
#include "ui/fake/FakeBrowser.h"
#include "ui/fake/FakeUi.h"

namespace launcher {
namespace {

using testsupport::MakePng;
using ui::Rect;

std::string Png(int w, int h) {
  return MakePng(w, h, false, [](int, int) { return 0x336699FFu; });
}

// Links as the packaged demo lays them out: four open buttons, a page, minimise and close.
std::string DemoLikeConfig(const std::string& extra = "") {
  return "[global]\nlinkCount=7\ngameheader=http://game/?\ntitle=T\nloginCenterColor=2626064\n"
         "closeMsg=" +
         Gbk("此操作将退出游戏，是否继续？") + "\n" + extra +
         "[link1]\ntype=1\nx=58\ny=90\nurl=http://a/1;b=2;c=3\n"
         "[link2]\ntype=1\nx=182\ny=90\n[link3]\ntype=1\nx=306\ny=90\n[link4]\ntype=1\nx=430\ny="
         "90\n"
         "[link5]\ntype=4\nx=34\ny=132\nwidth=685\nheight=383\nurl=http://login/\n"
         "[link6]\ntype=2\nx=675\ny=65\n[link7]\ntype=3\nx=704\ny=64\nurl=\n";
}

std::map<std::string, std::string> DemoLikeFiles(const std::string& config) {
  std::map<std::string, std::string> files{{"config/cg.txt", config}};
  for (int n : {1, 2, 3, 4}) {
    files["config/" + std::to_string(n) + "_n.png"] = Png(112, 36);
    files["config/" + std::to_string(n) + "_d.png"] = Png(112, 36);
  }
  files["config/6_n.png"] = files["config/6_d.png"] = Png(23, 23);
  files["config/7_n.png"] = files["config/7_d.png"] = Png(26, 26);
  files["config/main1.png"] = MakePng(760, 544, true, [](int, int) { return 0x10101080u; });
  return files;
}

class LauncherWindowTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string exe;
  std::unique_ptr<LauncherConfig> config;
  LauncherOutcome outcome;

  void SetUp() override {
    ui::fake::Reset();
    ui::fake::ResetBrowser();
  }

  // A fresh model of the package, and a fresh outcome for the window to leave.
  void Load(const std::map<std::string, std::string>& files) {
    exe = dir / "launcher.exe";
    testsupport::WriteFile(exe, testsupport::PackBytes(files), 0755);
    config = std::make_unique<LauncherConfig>();
    outcome = {};
    config->SetMessageSink(
        [](std::string_view m) { ui::MessageBox(nullptr, m, Gbk("启动失败"), ui::kMbOk); });
    EXPECT_TRUE(config->OpenArchiveAt(exe) && config->LoadConfigFile("config/cg.txt"));
    config->ParseConfig();
  }

  // Runs the launcher modally; body drives it while it runs.
  int Run(const std::function<void(CLauncherTranslucentDlg&, CLauncherStandardDlg&)>& body) {
    auto picture = std::make_unique<Bitmap>();
    config->LoadImageFromArchive("config/main1.png", picture.get());
    CLauncherTranslucentDlg dialog(std::move(picture), nullptr, *config, exe, outcome);
    ui::fake::SetModalHandler([&](ui::Dialog&) { body(dialog, *dialog.GetStandardDlg()); });
    return dialog.DoModal();
  }
};

TEST(GameAddress, HeaderAtTheStartIsRemovedElsewhereKept) {
  EXPECT_EQ(GameAddressFromNavigation("http://game/?s=1", "http://game/?"), "s=1");
  EXPECT_EQ(GameAddressFromNavigation("http://x/?to=http://game/?s=1", "http://game/?"),
            "http://x/?to=http://game/?s=1");
  EXPECT_EQ(GameAddressFromNavigation("http://login/", "http://game/?"), std::nullopt);
  EXPECT_EQ(GameAddressFromNavigation("about:blank", ""), "about:blank");
  EXPECT_EQ(GameAddressFromNavigation("http://GAME/?", "http://game/?"), std::nullopt);
}

TEST_F(LauncherWindowTest, LinkAreasBecomeButtonsWithTheirIdentifiersAndRectangles) {
  Load(DemoLikeFiles(DemoLikeConfig()));
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    const auto& buttons = companion.GetButtons();
    ASSERT_EQ(buttons.size(), 6u);
    std::vector<int> ids;
    ids.reserve(buttons.size());
    for (const auto& b : buttons) {
      ids.push_back(b->GetDlgCtrlID());
    }
    EXPECT_EQ(ids, (std::vector<int>{201, 201, 201, 201, 202, 203}));
    EXPECT_EQ(buttons[0]->GetRectInParent(), (Rect{58, 90, 170, 126}));
    EXPECT_EQ(buttons[4]->GetRectInParent(), (Rect{675, 65, 698, 88}));
    EXPECT_EQ(buttons[5]->GetRectInParent(), (Rect{704, 64, 730, 90}));
    EXPECT_EQ(companion.GetPageRect(), (Rect{34, 132, 719, 515}));
    EXPECT_EQ(buttons[0]->GetLinkUrl(), "http://a/1&b=2&c=3");
    EXPECT_EQ(buttons[1]->GetLinkUrl(), "_blank") << "no url key: the default";
    EXPECT_EQ(buttons[5]->GetLinkUrl(), "");
    EXPECT_EQ(buttons[4]->GetCommandType(), 2);
    EXPECT_EQ(companion.GetWindowText(), "T");
    EXPECT_EQ(pair.GetWindowText(), "T");
    ASSERT_NE(companion.GetUpdateInfo(), nullptr);
    EXPECT_EQ(companion.GetUpdateInfo()->owner, companion.GetId());

    // Until the page is shown its area carries the placeholder colour.
    auto ops = ui::fake::Paint(companion);
    bool placeholder = false;
    for (const auto& op : ops) {
      placeholder |= op.kind == ui::fake::DrawOp::Kind::kFill &&
                     op.dst == Rect{34, 132, 719, 515} && op.color == 2626064u;
    }
    EXPECT_TRUE(placeholder);
    companion.OnDocumentComplete();
    EXPECT_TRUE(companion.IsPageShown());
    // Beneath the shown page the placeholder stays, so that the colour key never shows while
    // the page draws its first frame.
    placeholder = false;
    for (const auto& op : ui::fake::Paint(companion)) {
      placeholder |= op.kind == ui::fake::DrawOp::Kind::kFill && op.color == 2626064u;
    }
    EXPECT_TRUE(placeholder);
    ui::fake::RequestClose(pair);
  });
}

TEST_F(LauncherWindowTest, AMissingPictureStopsAtItsArea) {
  auto files = DemoLikeFiles(DemoLikeConfig());
  files.erase("config/2_n.png");
  Load(files);
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    EXPECT_EQ(companion.GetButtons().size(), 1u) << "areas after the failing one are not made";
    ui::fake::RequestClose(pair);
  });
  ASSERT_EQ(ui::fake::MessageBoxes().size(), 1u);
  EXPECT_EQ(ui::fake::MessageBoxes()[0].text, "读取图片失败");

  ui::fake::Reset();
  files = DemoLikeFiles(DemoLikeConfig());
  files.erase("config/2_d.png");
  Load(files);
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    EXPECT_EQ(companion.GetButtons().size(), 2u) << "the button of the missing pressed picture";
    EXPECT_TRUE(companion.GetButtons()[1]->IsWindowVisible());
    ui::fake::RequestClose(pair);
  });
}

TEST_F(LauncherWindowTest, NavigationToTheGameHandsOverAndCloses) {
  Load(DemoLikeFiles(DemoLikeConfig()));
  Run([&](CLauncherTranslucentDlg&, CLauncherStandardDlg& companion) {
    companion.OnBeforeNavigate("http://login/next");
    EXPECT_TRUE(outcome.startUrl.empty());
    // Longer than the game window holds: refused, the launcher stays.
    companion.OnBeforeNavigate("http://game/?" + std::string(256, 'k'));
    EXPECT_TRUE(outcome.startUrl.empty());
    companion.OnBeforeNavigate("http://game/?" + std::string(255, 'k'));
    EXPECT_EQ(outcome.startUrl.size(), 255u);
    outcome.startUrl.clear();
    companion.OnBeforeNavigate("http://game/?server=3&key=x");
  });
  EXPECT_EQ(outcome.startUrl, "server=3&key=x");
}

TEST_F(LauncherWindowTest, CloseAsksFirstAndMinimiseTakesBoth) {
  Load(DemoLikeFiles(DemoLikeConfig()));
  ui::fake::QueueMessageBoxAnswer(ui::kIdCancel);
  ui::fake::QueueMessageBoxAnswer(ui::kIdOk);
  int result = Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    // One taskbar entry for the pair: the picture window's.
    EXPECT_TRUE(ui::fake::Native(pair).taskbarButton);
    EXPECT_FALSE(ui::fake::Native(companion).taskbarButton);
    companion.SendMessage(ui::kWmCommand, 202, 0);
    EXPECT_TRUE(pair.IsIconic());
    EXPECT_FALSE(ui::fake::Native(companion).shown) << "goes with the picture window";
    EXPECT_FALSE(ui::fake::Native(companion).minimized) << "it has no entry to come back from";
    // The panel restores the entry: both come back, at one place.
    ui::fake::DesktopMinimize(pair, false);
    EXPECT_FALSE(pair.IsIconic());
    EXPECT_TRUE(ui::fake::Native(companion).shown);
    EXPECT_EQ(companion.GetWindowRect(), pair.GetWindowRect());
    EXPECT_EQ(ui::fake::Native(companion).bounds, ui::fake::Native(pair).bounds);
    // The window manager minimises the companion alone: the pair goes, and comes back as one.
    ui::fake::DesktopMinimize(companion, true);
    EXPECT_TRUE(pair.IsIconic());
    EXPECT_FALSE(ui::fake::Native(companion).shown);
    ui::fake::DesktopMinimize(companion, false);  // withdrawn meanwhile: means nothing
    EXPECT_TRUE(pair.IsIconic());
    pair.ShowWindow(ui::kSwRestore);
    EXPECT_TRUE(ui::fake::Native(companion).shown);
    EXPECT_EQ(ui::fake::Native(companion).bounds, ui::fake::Native(pair).bounds);
    companion.SendMessage(ui::kWmCommand, 203, 0);
    EXPECT_EQ(ui::fake::MessageBoxes().back().owner, &companion) << "over the pair";
    EXPECT_FALSE(pair.IsEnded()) << "Cancel keeps the launcher";
    companion.SendMessage(ui::kWmCommand, 203, 0);
    EXPECT_TRUE(pair.IsEnded());
  });
  EXPECT_EQ(result, ui::kIdCancelCommand);
  ASSERT_EQ(ui::fake::MessageBoxes().size(), 2u);
  const auto& box = ui::fake::MessageBoxes()[0];
  EXPECT_EQ(box.text, "此操作将退出游戏，是否继续？");
  EXPECT_EQ(box.caption, "launcher");
  EXPECT_EQ(box.style, 0x3101u);
  EXPECT_TRUE(box.hasOwner);
}

// An installed update restarts the program only while the launcher is all the player has open.
TEST_F(LauncherWindowTest, AnInstalledUpdateRestartsOnlyFromTheLauncherAlone) {
  Load(DemoLikeFiles(DemoLikeConfig()));
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    companion.SendMessage(kUpdateInstalled, 0, 0);
    EXPECT_TRUE(pair.IsEnded());
  });
  EXPECT_TRUE(outcome.restartIntoUpdate);

  // The game was chosen: the player goes on to it, the new build runs next time.
  Load(DemoLikeFiles(DemoLikeConfig()));
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    companion.OnBeforeNavigate("http://game/?zone=1");
    companion.SendMessage(kUpdateInstalled, 0, 0);
    EXPECT_TRUE(pair.IsEnded());
  });
  EXPECT_FALSE(outcome.restartIntoUpdate);
  EXPECT_EQ(outcome.startUrl, "zone=1");

  // Under the close question it waits for the answer: Cancel restarts, OK only closes.
  for (int answer : {ui::kIdCancel, ui::kIdOk}) {
    Load(DemoLikeFiles(DemoLikeConfig()));
    CLauncherStandardDlg* asked = nullptr;
    ui::fake::OnMessageBox([&](const ui::fake::MessageBoxCall&) {
      asked->SendMessage(kUpdateInstalled, 0, 0);
      EXPECT_FALSE(asked->GetLayeredPartner()->IsEnded());
    });
    ui::fake::QueueMessageBoxAnswer(answer);
    Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
      asked = &companion;
      companion.SendMessage(ui::kWmCommand, 203, 0);
      EXPECT_TRUE(pair.IsEnded());
    });
    ui::fake::OnMessageBox(nullptr);
    EXPECT_EQ(outcome.restartIntoUpdate, answer == ui::kIdCancel);
  }
}

TEST_F(LauncherWindowTest, EnterAndEscapeNeverCloseAndShortcutsAreDropped) {
  Load(DemoLikeFiles(DemoLikeConfig()));
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    for (ui::Window* w : {static_cast<ui::Window*>(&pair), static_cast<ui::Window*>(&companion)}) {
      w->SetFocus();
      ui::fake::Key(*w, true, ui::kVkReturn);
      ui::fake::Key(*w, true, ui::kVkEscape);
      EXPECT_FALSE(pair.IsEnded());
      EXPECT_FALSE(companion.IsEnded());
    }
    pair.SetFocus();
    EXPECT_TRUE(ui::fake::Key(pair, true, ui::kVkF1 + 4));
    EXPECT_TRUE(ui::fake::Key(pair, true, 'A', ui::kMkShift));
    // Keys of the login page pass the picture window's rule on their way up: capitals, paste,
    // select-all and Shift+Tab reach the page (nobody consumes them before it).
    companion.GetPages()[0]->SetFocus();
    EXPECT_FALSE(ui::fake::Key(companion, true, 'B', ui::kMkShift));
    EXPECT_FALSE(ui::fake::Key(companion, true, 'V', ui::kMkControl));
    EXPECT_FALSE(ui::fake::Key(companion, true, ui::kVkTab, ui::kMkShift));
    EXPECT_FALSE(ui::fake::Key(companion, true, ui::kVkReturn));
    EXPECT_FALSE(pair.IsEnded());
    ui::fake::RequestClose(pair);
  });
}

TEST_F(LauncherWindowTest, PagesLoadHiddenAndShowAtTheFirstDocumentOfPage150) {
  // Two page areas: the second is made as 151 and the placeholder covers the last one made.
  const std::string second =
      "[link8]\ntype=4\nx=40\ny=400\nwidth=100\nheight=50\nurl=http://side/\n"
      "[link9]\ntype=9\nx=1\ny=1\n";
  std::string config = DemoLikeConfig() + second;
  config.replace(config.find("linkCount=7"), 11, "linkCount=9");
  Load(DemoLikeFiles(config));
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    const auto& pages = companion.GetPages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0]->GetDlgCtrlID(), 150);
    EXPECT_EQ(pages[1]->GetDlgCtrlID(), 151);
    EXPECT_EQ(pages[0]->GetRectInParent(), (Rect{34, 132, 719, 515}));
    EXPECT_EQ(companion.GetPageRect(), (Rect{40, 400, 140, 450}));
    const auto& first = ui::fake::Browser(*pages[0]);
    EXPECT_EQ(first.navigations, (std::vector<std::string>{"about:blank", "http://login/"}));
    EXPECT_FALSE(pages[0]->IsWindowVisible());
    EXPECT_FALSE(pages[1]->IsWindowVisible());

    // Documents made after the policy was attached: no scroll bars, no border, no external.
    ui::fake::NavigateComplete(*pages[0], "http://login/");
    ASSERT_FALSE(first.documents.empty());
    EXPECT_FALSE(first.documents.back().presentation.scrollBars);
    EXPECT_FALSE(first.documents.back().presentation.border);
    EXPECT_FALSE(first.documents.back().presentation.contextMenu);
    EXPECT_FALSE(first.documents.back().presentation.external);

    // Only page 150 is watched: the second page's document and navigations change nothing.
    ui::fake::DocumentComplete(*pages[1], "http://side/");
    EXPECT_FALSE(companion.IsPageShown());
    EXPECT_TRUE(ui::fake::BeforeNavigate(*pages[1], "http://game/?from-side"));
    EXPECT_TRUE(outcome.startUrl.empty());
    EXPECT_FALSE(pair.IsEnded());

    ui::fake::DocumentComplete(*pages[0], "http://login/");
    EXPECT_TRUE(companion.IsPageShown());
    EXPECT_TRUE(pages[0]->IsWindowVisible());
    EXPECT_TRUE(pages[1]->IsWindowVisible());
    ui::fake::DocumentComplete(*pages[0], "http://login/again");
    EXPECT_TRUE(pages[1]->IsWindowVisible());

    // A frame of another origin inside the login page cannot choose the game's address.
    EXPECT_TRUE(
        ui::fake::BeforeNavigate(*pages[0], "http://game/?http://elsewhere/", false, false));
    EXPECT_FALSE(pair.IsEnded());
    EXPECT_TRUE(outcome.startUrl.empty());

    // The hand-over: the navigation goes on (not cancelled) and the pair closes.
    EXPECT_TRUE(ui::fake::BeforeNavigate(*pages[0], "http://game/?zone=2"));
    EXPECT_TRUE(pair.IsEnded());
  });
  EXPECT_EQ(outcome.startUrl, "zone=2");
}

TEST_F(LauncherWindowTest, AnEmptyHeaderHandsOverTheFirstNavigation) {
  std::string config = DemoLikeConfig();
  config.replace(config.find("gameheader=http://game/?"), 24, "gameheader=");
  Load(DemoLikeFiles(config));
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    EXPECT_TRUE(ui::fake::BeforeNavigate(*companion.GetPages()[0], "about:blank"));
    EXPECT_TRUE(pair.IsEnded());
  });
  EXPECT_EQ(outcome.startUrl, "about:blank");
}

TEST_F(LauncherWindowTest, APageThatCannotBeMadeStopsTheAreasAfterIt) {
  Load(DemoLikeFiles(DemoLikeConfig()));
  ui::fake::SetBrowserAvailable(false);
  Run([&](CLauncherTranslucentDlg& pair, CLauncherStandardDlg& companion) {
    EXPECT_EQ(companion.GetButtons().size(), 4u) << "minimise and close come after the page";
    EXPECT_EQ(companion.GetPageRect(), Rect{}) << "the placeholder needs a made page";
    ui::fake::RequestClose(pair);
  });
}

}  // namespace
}  // namespace launcher

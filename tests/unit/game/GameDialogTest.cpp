#include "game/GameDialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "GameTestSupport.h"
#include "app/LauncherApp.h"
#include "skin/SkinButton.h"

namespace launcher {
namespace {

using gametest::GameConfig;
using gametest::GameFiles;
using gametest::R;
using gametest::With;
using ui::Point;
using ui::Rect;
using ui::fake::DrawOp;
using ui::fake::MouseKind;

// Red and green of a sheet pixel: where in the sheet it was cut from.
Point SheetPlace(const ui::Bitmap& picture, int x = 0, int y = 0) {
  const std::uint8_t* p = picture.Pixel(x, y);
  return {p[0], p[1]};
}

std::vector<int> ButtonIds(const CGameDialog& dialog) {
  std::vector<int> ids;
  for (const auto& b : dialog.GetButtons()) {
    ids.push_back(b->GetDlgCtrlID());
  }
  return ids;
}

Rect ButtonRect(const CGameDialog& dialog, int type) {
  return dialog.FindButtonByType(type)->GetRectInParent();
}

// The frame pieces a paint drew, in order.
std::vector<PieceDraw> PaintedPieces(CGameDialog& dialog) {
  std::vector<PieceDraw> pieces;
  for (const DrawOp& op : ui::fake::Paint(dialog)) {
    for (int n = 1; n <= kFramePieceCount; ++n) {
      if (op.kind == DrawOp::Kind::kBitmap && op.picture == &dialog.GetPieceBitmap(n)) {
        pieces.push_back({n, op.dst});
      }
    }
  }
  return pieces;
}

class GameDialogTest : public gametest::GameWindowTest {};

TEST_F(GameDialogTest, StartsMaximizedOnTheWorkAreaWithPageButtonsLogoAndKeys) {
  Run([&](CGameDialog& dialog) {
    EXPECT_TRUE(dialog.IsInitialized());
    EXPECT_TRUE(dialog.IsMaximized());
    EXPECT_FALSE(dialog.IsRestoreRectKnown());
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1040)");
    EXPECT_EQ(R(ui::fake::Native(dialog).bounds), "(0,0,1920,1040)");
    EXPECT_TRUE(ui::fake::Native(dialog).shown);
    EXPECT_TRUE(ui::fake::Native(dialog).taskbarButton);
    EXPECT_EQ(dialog.GetWindowText(), "T");
    EXPECT_EQ(dialog.GetMinTrackSize(), (ui::Size{1000, 630}));

    CWebBrowserEx* page = dialog.GetBrowser();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->GetDlgCtrlID(), 170);
    const auto& state = ui::fake::Browser(*page);
    EXPECT_EQ(R(state.bounds), "(0,27,1920,1040)");
    EXPECT_EQ(state.navigations,
              (std::vector<std::string>{"about:blank", "http://127.0.0.1/game?s=1"}));
    EXPECT_TRUE(state.silent);
    // The game page's documents see the bridge, without border or scroll bars.
    ui::fake::NavigateComplete(*page, "http://127.0.0.1/game?s=1");
    const auto& presentation = ui::fake::Browser(*page).documents.back().presentation;
    EXPECT_EQ(presentation.externalMembers, std::vector<std::string>{"JsCallClient"});
    EXPECT_FALSE(presentation.border);
    EXPECT_FALSE(presentation.scrollBars);

    EXPECT_EQ(ButtonIds(dialog), (std::vector<int>{185, 186, 190, 187, 188, 191, 192, 181}));
    for (std::size_t j = 0; j < dialog.GetButtons().size(); ++j) {
      EXPECT_EQ(dialog.GetButtons()[j]->GetTag(), static_cast<int>(j));
    }
    EXPECT_TRUE(dialog.FindButtonByType(10)->IsWindowVisible());
    EXPECT_FALSE(dialog.FindButtonByType(6)->IsWindowVisible());
    EXPECT_EQ(dialog.FindButtonByType(12)->GetLinkUrl(), "http://127.0.0.1/pay&a=1");
    EXPECT_EQ(dialog.FindButtonByType(1)->GetLinkUrl(), "http://127.0.0.1/");
    EXPECT_EQ(dialog.FindButtonByType(5)->GetLinkUrl(), "") << "only types 1 and 12 link";
    EXPECT_EQ(dialog.FindButtonByType(12)->GetWindowText(), "pay");
    EXPECT_EQ(dialog.FindButtonByType(12)->GetToolTip().GetText(), "pay tip");
    EXPECT_FALSE(dialog.FindButtonByType(1)->GetToolTip().IsCreated()) << "empty tips: none";
    EXPECT_EQ(dialog.FindButtonByType(9), nullptr);

    EXPECT_EQ(dialog.GetLogo().GetDlgCtrlID(), 300);
    EXPECT_EQ(R(dialog.GetLogo().GetRectInParent()), "(8,3,32,23)");
    EXPECT_EQ(dialog.GetLogo().GetPicture().width, 24);

    const ShortcutSlots& slots = dialog.GetShortcutSlots();
    EXPECT_EQ(slots[4], ShortcutAction::kRestart);
    EXPECT_EQ(slots[8], ShortcutAction::kHideToTray);
    EXPECT_EQ(slots[10], ShortcutAction::kFullScreen);
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, PiecesAndButtonFacesAreCutFromTheSheet) {
  Run([&](CGameDialog& dialog) {
    const Point expected[] = {{0, 80},  {8, 80},  {68, 80}, {76, 80},
                              {81, 80}, {86, 80}, {92, 80}, {96, 80}};
    for (int n = 1; n <= 8; ++n) {
      EXPECT_EQ(SheetPlace(dialog.GetPieceBitmap(n)), expected[n - 1]) << n;
    }
    EXPECT_EQ(dialog.GetPieceBitmap(2).width, 58);
    EXPECT_EQ(SheetPlace(dialog.GetPieceBitmap(2), 57, 26), (Point{65, 106}));
    EXPECT_EQ(dialog.GetPieces().StripHeight(), 27);

    // The close button's normal face, drawn where the button is.
    const Rect close = ButtonRect(dialog, 5);
    bool drawn = false;
    for (const DrawOp& op : ui::fake::Paint(dialog)) {
      if (op.kind == DrawOp::Kind::kBitmap && op.dst == close && op.picture) {
        drawn = true;
        EXPECT_EQ(SheetPlace(*op.picture), (Point{84, 0}));
        EXPECT_EQ(op.pictureHeight, 26);
      }
    }
    EXPECT_TRUE(drawn);
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, ButtonsAndPageOfA1000WideWindowInBothStates) {
  ui::fake::SetWorkArea({0, 0, 1000, 700});
  Run([&](CGameDialog& dialog) {
    struct Expect {
      const char* close;
      const char* settings;
      const char* page;
    };
    const Expect maximized{"(972,0,1000,26)", "(860,0,888,26)", "(0,27,1000,700)"};
    const Expect framed{"(969,0,997,26)", "(857,0,885,26)", "(3,27,997,627)"};
    for (bool max : {true, false, true}) {
      if (max) {
        dialog.Maximize();
      } else {
        dialog.Restore();
      }
      const Expect& e = max ? maximized : framed;
      EXPECT_EQ(R(ButtonRect(dialog, 5)), e.close) << max;
      EXPECT_EQ(R(ButtonRect(dialog, 11)), e.settings) << max;
      EXPECT_EQ(R(dialog.GetBrowser()->GetRectInParent()), e.page) << max;
    }
    dialog.Restore();
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,35,1000,665)");
    EXPECT_EQ(R(ButtonRect(dialog, 8)), "(885,0,913,26)") << "-112 framed: 1000-112-3";
    EXPECT_EQ(R(ButtonRect(dialog, 1)), "(734,4,777,23)");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, PaintsTheFramedAndMaximizedStatesAsPlanned) {
  ui::fake::SetWorkArea({0, 0, 1000, 630});
  Run([&](CGameDialog& dialog) {
    EXPECT_EQ(PaintedPieces(dialog), (std::vector<PieceDraw>{{2, Rect::FromSize(0, 0, 1000, 27)}}));

    // The restored rectangle is the work area here: no size change, laid out all the same.
    dialog.Restore();
    ASSERT_EQ(R(dialog.GetWindowRect()), "(0,0,1000,630)");
    EXPECT_EQ(R(ButtonRect(dialog, 5)), "(969,0,997,26)");
    EXPECT_EQ(PaintedPieces(dialog), FramePaintPlan(dialog.GetPieces(), {1000, 630}, false));
    EXPECT_EQ(R(dialog.GetBrowser()->GetRectInParent()), R(Rect::FromSize(3, 27, 994, 600)));

    // The title after the frame and before the buttons, bold, in its colour.
    auto ops = ui::fake::Paint(dialog);
    auto title = std::find_if(ops.begin(), ops.end(),
                              [](const DrawOp& op) { return op.kind == DrawOp::Kind::kText; });
    ASSERT_NE(title, ops.end());
    EXPECT_EQ(title->text, "T");
    EXPECT_EQ(title->dst.TopLeft(), (Point{38, 7}));
    EXPECT_EQ(title->color, 11723508u);
    EXPECT_EQ(title->font, ui::FontKind::kGuiBold);
    auto lastPiece = std::find_if(ops.begin(), ops.end(), [&](const DrawOp& op) {
      return op.picture == &dialog.GetPieceBitmap(7);
    });
    auto closeFace = std::find_if(ops.begin(), ops.end(), [&](const DrawOp& op) {
      return op.dst == ButtonRect(dialog, 5) && op.kind == DrawOp::Kind::kBitmap;
    });
    EXPECT_LT(lastPiece - ops.begin(), title - ops.begin());
    EXPECT_LT(title - ops.begin(), closeFace - ops.begin()) << "buttons over the frame";
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, FirstRestoreCentresAndADraggedPlaceSurvivesMaximize) {
  Run([&](CGameDialog& dialog) {
    dialog.Restore();
    EXPECT_FALSE(dialog.IsMaximized());
    EXPECT_EQ(R(dialog.GetWindowRect()), "(460,205,1460,835)");
    EXPECT_FALSE(dialog.FindButtonByType(10)->IsWindowVisible());
    EXPECT_TRUE(dialog.FindButtonByType(6)->IsWindowVisible());

    // A move without buttons sets the drag's start; with the left button the window follows.
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {700, 215});
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {750, 225}, ui::kMkLButton);
    EXPECT_EQ(R(dialog.GetWindowRect()), "(510,215,1510,845)");
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {800, 235}, ui::kMkLButton);
    EXPECT_EQ(R(dialog.GetWindowRect()), "(560,225,1560,855)")
        << "the pointer keeps its place in the window";
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {800, 235});

    // A press with no move before it (the pointer came from elsewhere) starts a drag there.
    ui::fake::Mouse(dialog, MouseKind::kDown, 1, {1000, 240}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {1010, 240}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kUp, 1, {1010, 240});
    EXPECT_EQ(R(dialog.GetWindowRect()), "(570,225,1570,855)");

    dialog.Maximize();
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1040)");
    dialog.Restore();
    EXPECT_EQ(R(dialog.GetWindowRect()), "(570,225,1570,855)");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, OnlyAPlainLeftButtonDragsAndOnlyByTheStripOfAFramedWindow) {
  Run([&](CGameDialog& dialog) {
    // Moves from the client point (240, 10) to another one.
    struct Case {
      bool maximized;
      Point to;
      unsigned flags;
      bool moves;
    } cases[] = {
        {false, {290, 20}, ui::kMkLButton, true},
        {false, {290, 20}, ui::kMkLButton | ui::kMkShift, false},
        {false, {290, 20}, ui::kMkLButton | ui::kMkControl, false},
        {false, {290, 20}, ui::kMkLButton | ui::kMkRButton, false},
        {false, {290, 20}, ui::kMkRButton, false},
        {false, {290, 27}, ui::kMkLButton, false},  // below the strip
        {true, {290, 20}, ui::kMkLButton, false},
    };
    for (const Case& c : cases) {
      if (c.maximized) {
        dialog.Maximize();
      } else {
        dialog.Restore();
      }
      const Rect before = dialog.GetWindowRect();
      ui::fake::Mouse(dialog, MouseKind::kMove, 0, {before.left + 240, before.top + 10});
      const Point to{before.left + c.to.x, before.top + c.to.y};
      ui::fake::Mouse(dialog, MouseKind::kMove, 0, to, c.flags);
      EXPECT_EQ(dialog.GetWindowRect() != before, c.moves) << c.flags << " " << c.to.y;
      ui::fake::Mouse(dialog, MouseKind::kMove, 0, to);
    }
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, SizingKeepsTheMinimumByMovingTheRightEdge) {
  Run([&](CGameDialog& dialog) {
    dialog.Restore();
    // The bottom-left corner dragged 300 to the right: the left edge follows, the right edge
    // goes out to keep the minimum width.
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {462, 833});
    EXPECT_EQ(ui::fake::CurrentCursor(), ui::Cursor::kSizeNESW);
    ui::fake::Mouse(dialog, MouseKind::kDown, 1, {462, 833}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {762, 733}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kUp, 1, {762, 733});
    EXPECT_EQ(R(dialog.GetWindowRect()), "(760,205,1760,835)");
    EXPECT_EQ(R(dialog.GetBrowser()->GetRectInParent()), "(3,27,997,627)");

    // The right edge dragged out grows the window.
    ui::fake::Mouse(dialog, MouseKind::kDown, 1, {1759, 500}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {1859, 500}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kUp, 1, {1859, 500});
    EXPECT_EQ(R(dialog.GetWindowRect()), "(760,205,1860,835)");
    EXPECT_EQ(R(ButtonRect(dialog, 5)), "(1069,0,1097,26)");

    // Maximized, the edges are client area: a press there sizes nothing.
    dialog.Maximize();
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {1, 1039});
    EXPECT_EQ(ui::fake::CurrentCursor(), ui::Cursor::kArrow);
    ui::fake::Mouse(dialog, MouseKind::kDown, 1, {1, 1039}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {300, 900}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kUp, 1, {300, 900});
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1040)");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, AMinimumWiderThanTheWorkAreaLimitsTheMouseToTheWorkArea) {
  Load(GameFiles(With(GameConfig(), "minGameWidth=1000", "minGameWidth=2500")));
  Run([&](CGameDialog& dialog) {
    EXPECT_EQ(dialog.GetMinTrackSize(), (ui::Size{1920, 630}));
    dialog.Restore();
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,205,2500,835)");
    ui::fake::Mouse(dialog, MouseKind::kDown, 1, {2499, 500}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kMove, 0, {1000, 500}, ui::kMkLButton);
    ui::fake::Mouse(dialog, MouseKind::kUp, 1, {1000, 500});
    EXPECT_EQ(R(dialog.GetWindowRect()), "(0,205,1920,835)");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, DoubleClickInTheStripTogglesElsewhereGoesOn) {
  Run([&](CGameDialog& dialog) {
    dialog.Restore();
    const Rect close = ButtonRect(dialog, 5);
    // On a title-strip button: toggles.
    ui::fake::Mouse(dialog, MouseKind::kDoubleClick, 1, {460 + close.left + 5, 205 + 10},
                    ui::kMkLButton);
    EXPECT_TRUE(dialog.IsMaximized());
    EXPECT_TRUE(ui::fake::MessageBoxes().empty()) << "the button did not act on it";
    // On the empty strip of the maximized window: back.
    ui::fake::Mouse(dialog, MouseKind::kDoubleClick, 1, {600, 13}, ui::kMkLButton);
    EXPECT_FALSE(dialog.IsMaximized());
    // The strip's first row does not count (strictly inside), nor the page below it.
    ui::fake::Mouse(dialog, MouseKind::kDoubleClick, 1, {800, 205}, ui::kMkLButton);
    EXPECT_FALSE(dialog.IsMaximized());
    ui::fake::Mouse(dialog, MouseKind::kDoubleClick, 1, {800, 205 + 100}, ui::kMkLButton);
    EXPECT_FALSE(dialog.IsMaximized());
    // The corner zone is frame, not client: no double click of the client area.
    ui::fake::Mouse(dialog, MouseKind::kDoubleClick, 1, {462, 215}, ui::kMkLButton);
    EXPECT_FALSE(dialog.IsMaximized());
    EXPECT_EQ(R(dialog.GetWindowRect()), "(460,205,1460,835)");
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, ButtonsWithoutAPictureAreSkippedAndOddTypesDoNothing) {
  Load(GameFiles(GameConfig({{-28, 0, 5, 0, 0, "", "", ""},
                             {-56, 0, 5, 17, 0, "", "", ""},
                             {-84, 0, 5, -1, 0, "", "", ""},
                             {-200, 2, 9, 5, 0, "nine", "http://x/", "tip9"},
                             {-300, 2, 11, 16, 0, "", "", ""}})));
  Run([&](CGameDialog& dialog) {
    EXPECT_EQ(ButtonIds(dialog), (std::vector<int>{189, 191}));
    CxSkinButton* nine = dialog.FindButtonByType(9);
    EXPECT_EQ(nine->GetTag(), 3) << "the tag is the configuration index";
    EXPECT_EQ(nine->GetWindowText(), "nine");
    EXPECT_EQ(nine->GetToolTip().GetText(), "tip9");
    EXPECT_EQ(nine->GetLinkUrl(), "");
    EXPECT_EQ(R(nine->GetRectInParent()), "(1720,2,1763,21)");
    EXPECT_EQ(R(dialog.FindButtonByType(11)->GetRectInParent()), "(1620,2,1624,7)");
    ui::fake::Click(dialog, {1730, 10});
    ui::fake::RunPostedWork();
    EXPECT_TRUE(ui::fake::MessageBoxes().empty());
    EXPECT_TRUE(ui::fake::ShellOpens().empty());
    EXPECT_TRUE(ui::fake::Menus().empty());
    EXPECT_TRUE(dialog.IsMaximized());
    EXPECT_FALSE(dialog.IsEnded());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, OnlyTheFirstMaximizeAndRestoreButtonsAreShownAndHidden) {
  Load(GameFiles(GameConfig({{-56, 0, 6, 2, 0, "", "", ""},
                             {-56, 0, 10, 3, 0, "", "", ""},
                             {-90, 0, 6, 2, 0, "", "", ""},
                             {-90, 0, 10, 3, 0, "", "", ""}})));
  Run([&](CGameDialog& dialog) {
    const auto& b = dialog.GetButtons();
    auto visible = [&] {
      std::vector<bool> v;
      v.reserve(b.size());
      for (const auto& button : b) {
        v.push_back(button->IsWindowVisible());
      }
      return v;
    };
    EXPECT_EQ(visible(), (std::vector<bool>{false, true, true, true}));
    dialog.Restore();
    EXPECT_EQ(visible(), (std::vector<bool>{true, false, true, true}));
    // The buttons' commands.
    ui::fake::Click(dialog, b[0]->GetWindowRect().TopLeft());
    EXPECT_TRUE(dialog.IsMaximized());
    ui::fake::Click(dialog, b[1]->GetWindowRect().TopLeft());
    EXPECT_FALSE(dialog.IsMaximized());
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, AnEdgeImageNamingNoPictureGivesAnEmptyPiece) {
  Load(GameFiles(With(GameConfig(), "edgeImage2=10", "edgeImage2=0")));
  Run([&](CGameDialog& dialog) {
    EXPECT_TRUE(dialog.GetPieceBitmap(2).Empty());
    EXPECT_EQ(dialog.GetPieces().StripHeight(), 0);
    EXPECT_EQ(R(dialog.GetBrowser()->GetRectInParent()), "(0,0,1920,1040)");
    EXPECT_TRUE(PaintedPieces(dialog).empty());
    dialog.Restore();
    EXPECT_EQ(PaintedPieces(dialog).size(), 7u);
    dialog.EndDialog(ui::kIdCancelCommand);
  });
}

TEST_F(GameDialogTest, InitialisationStopsAtTheFirstFailingStep) {
  struct Case {
    const char* missing;
    bool browserAvailable;
    bool hasPieces, hasBrowser, hasButtons;
  } cases[] = {
      {"config/style.png", true, false, false, false},
      {"", false, true, false, false},
      {"config/logo.png", true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing);
    ui::fake::Reset();
    ui::fake::ResetBrowser();
    ui::fake::SetBrowserAvailable(c.browserAvailable);
    auto files = GameFiles();
    files.erase(c.missing);
    Load(files);
    Run([&](CGameDialog& dialog) {
      EXPECT_FALSE(dialog.IsInitialized());
      EXPECT_FALSE(dialog.IsMaximized());
      EXPECT_EQ(R(dialog.GetWindowRect()), "(0,0,1920,1040)") << "it covers the work area";
      EXPECT_TRUE(ui::fake::Native(dialog).shown) << "the window opens all the same";
      EXPECT_EQ(!dialog.GetPieceBitmap(1).Empty(), c.hasPieces);
      EXPECT_EQ(dialog.GetBrowser() != nullptr, c.hasBrowser);
      EXPECT_EQ(dialog.GetButtons().size(), c.hasButtons ? 8u : 0u);
      EXPECT_FALSE(dialog.GetLogo().IsCreated());
      // Size changes lay nothing out.
      if (c.hasButtons) {
        const Rect close = ButtonRect(dialog, 5);
        ui::fake::Configure(dialog, {0, 0, 1200, 700});
        EXPECT_EQ(ButtonRect(dialog, 5), close);
      }
      // The system's close still asks.
      ui::fake::QueueMessageBoxAnswer(ui::kIdOk);
      ui::fake::RequestClose(dialog);
      EXPECT_TRUE(dialog.IsEnded());
    });
    if (c.missing[0] != '\0') {
      EXPECT_EQ(ui::fake::MessageBoxes().front().text, "读取图片失败");
    }
  }
}

TEST_F(GameDialogTest, TheApplicationRunsTheGameWindowOnTheFirstAddress) {
  auto files = GameFiles(With(GameConfig(), "title=T", "title=T\nfirstUrl=http://127.0.0.1/first"));
  files["config/main1.png"] = testsupport::MakePng(8, 8, true, [](int, int) { return 0xFFu; });
  exe = dir / "game.exe";
  testsupport::WriteFile(exe, testsupport::PackBytes(files), 0755);
  LauncherApp app({exe, dir.Path(), std::nullopt});
  CGameDialog* seen = nullptr;
  ui::fake::SetModalHandler([&](ui::Dialog& dialog) {
    seen = dynamic_cast<CGameDialog*>(&dialog);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(app.GetGameDialog(), seen);
    EXPECT_EQ(seen->GetGameUrl(), "http://127.0.0.1/first");
    EXPECT_TRUE(seen->IsInitialized());
    // Its restart starts this executable.
    seen->RestartProgram();
    seen->EndDialog(ui::kIdOkCommand);
  });
  EXPECT_FALSE(app.InitInstance());
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(ui::fake::StartedProcesses(), std::vector<std::string>{exe});
}

}  // namespace
}  // namespace launcher

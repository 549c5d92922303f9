#include "ui/Window.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "ui/Button.h"
#include "ui/Dialog.h"
#include "ui/MessageBox.h"
#include "ui/NotifyIcon.h"
#include "ui/fake/FakeUi.h"

namespace ui {
namespace {

using fake::MouseKind;

// Records the messages it gets, and answers hit tests as told.
class Recorder : public Window {
 public:
  std::vector<unsigned> messages;
  int hitCode = kHtClient;
  bool consumeKeys = false;
  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
    if (message != kWmPaint && message != kWmEraseBkgnd && message != kWmSetCursor &&
        message != kWmNcHitTest) {
      messages.push_back(message);
    }
    if (message == kWmNcHitTest) {
      return hitCode;
    }
    return Window::WindowProc(message, wParam, lParam);
  }
  bool PreTranslateMessage(Message& m) override { return consumeKeys && m.message == kWmKeyDown; }
  bool Saw(unsigned message) const {
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }
};

class CountingButton : public Button {
 public:
  std::vector<std::string> draws;

 protected:
  void DrawItem(Canvas&, const DrawItemInfo& item) override {
    draws.push_back((item.itemState & kOdsSelected) ? "pushed" : "normal");
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
};

TEST_F(WindowTest, CaptureAndLeaveTracking) {
  Recorder top, child;
  top.Create("", kWsPopup | kWsVisible, Rect::FromSize(0, 0, 200, 200), nullptr, 0);
  child.Create("", kWsChild | kWsVisible, Rect::FromSize(10, 10, 20, 20), &top, 1);

  fake::Mouse(top, MouseKind::kMove, 0, {15, 15});
  EXPECT_TRUE(child.TrackMouseLeave());
  fake::Mouse(top, MouseKind::kMove, 0, {16, 16});
  EXPECT_FALSE(child.Saw(kWmMouseLeave));
  fake::Mouse(top, MouseKind::kMove, 0, {100, 100});
  EXPECT_TRUE(child.Saw(kWmMouseLeave));
  EXPECT_FALSE(child.TrackMouseLeave(true)) << "nothing armed any more";

  child.messages.clear();
  child.SetCapture();
  fake::Mouse(top, MouseKind::kUp, 1, {150, 150});
  ASSERT_TRUE(child.Saw(kWmLButtonUp)) << "captured input goes to the capture";
  EXPECT_TRUE(fake::Native(top).grabbed);
  Window::ReleaseCapture();
  EXPECT_FALSE(fake::Native(top).grabbed);
  EXPECT_TRUE(child.Saw(kWmCaptureChanged));
}

TEST_F(WindowTest, ButtonClicksOnlyWhenReleasedOverIt) {
  Recorder top;
  CountingButton button;
  top.Create("", kWsPopup | kWsVisible, Rect::FromSize(0, 0, 200, 200), nullptr, 0);
  button.Create("ok", kWsChild | kWsVisible, Rect::FromSize(10, 10, 40, 20), &top, 42);

  fake::Click(top, {20, 20});
  ASSERT_EQ(std::count(top.messages.begin(), top.messages.end(), kWmCommand), 1);

  top.messages.clear();
  fake::Mouse(top, MouseKind::kDown, 1, {20, 20}, kMkLButton);
  EXPECT_EQ(button.GetState() & kBstPushed, kBstPushed);
  fake::Mouse(top, MouseKind::kMove, 0, {150, 150}, kMkLButton);
  EXPECT_EQ(button.GetState() & kBstPushed, 0u) << "the pushed look follows the pointer";
  fake::Mouse(top, MouseKind::kUp, 1, {150, 150});
  EXPECT_FALSE(top.Saw(kWmCommand));
  EXPECT_EQ(Window::GetCapture(), nullptr);

  fake::Paint(top);
  fake::Mouse(top, MouseKind::kDown, 1, {20, 20}, kMkLButton);
  fake::Paint(top);
  EXPECT_EQ(button.draws, (std::vector<std::string>{"normal", "pushed"}));
}

TEST_F(WindowTest, MoveAndSizeLoopsFollowThePointer) {
  // Shrinks every proposal below 150 wide back to 150, moving the right edge.
  class Sizable : public Recorder {
   public:
    LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override {
      if (message == kWmSizing) {
        auto* r = reinterpret_cast<Rect*>(lParam);
        if (r->Width() < 150) {
          r->right = r->left + 150;
        }
        edges.push_back(static_cast<unsigned>(wParam));
      }
      return Recorder::WindowProc(message, wParam, lParam);
    }
    std::vector<unsigned> edges;
  } top;
  top.Create("", kWsPopup | kWsVisible, Rect::FromSize(100, 100, 200, 100), nullptr, 0);
  top.SendMessage(kWmSysCommand, kScMove | 2, MakeLParam(110, 110));
  fake::Mouse(top, MouseKind::kMove, 0, {130, 105}, kMkLButton);
  EXPECT_EQ(top.GetWindowRect(), Rect::FromSize(120, 95, 200, 100));
  EXPECT_TRUE(top.Saw(kWmMove));
  fake::Mouse(top, MouseKind::kUp, 1, {130, 105});
  EXPECT_FALSE(fake::Native(top).grabbed);

  // Bottom-left corner dragged right past the minimum: the left edge follows, the right edge
  // is pushed out.
  top.SendMessage(kWmSysCommand, kScSize | kWmszBottomLeft, MakeLParam(120, 194));
  fake::Mouse(top, MouseKind::kMove, 0, {220, 204}, kMkLButton);
  EXPECT_EQ(top.GetWindowRect(), (Rect{220, 95, 370, 205}));
  EXPECT_EQ(top.edges, std::vector<unsigned>{kWmszBottomLeft});
  fake::Mouse(top, MouseKind::kUp, 1, {220, 204});

  // A window system that runs the loops itself gets them whole: the pointer's moves are its own
  // then, and the window hears where it went as of any move.
  fake::SetSystemLoops(true);
  top.SendMessage(kWmSysCommand, kScSize | kWmszTop, MakeLParam(300, 95));
  EXPECT_EQ(fake::Native(top).systemLoop, kScSize | kWmszTop);
  fake::Mouse(top, MouseKind::kMove, 0, {300, 50}, kMkLButton);
  EXPECT_EQ(top.GetWindowRect(), (Rect{220, 95, 370, 205}));
  EXPECT_FALSE(fake::Native(top).grabbed);
  fake::Mouse(top, MouseKind::kUp, 1, {300, 50});
  fake::Configure(top, Rect::FromSize(10, 20, 150, 110));
  EXPECT_EQ(top.GetWindowRect(), Rect::FromSize(10, 20, 150, 110));
}

TEST_F(WindowTest, PreTranslationSeesKeysBeforeTheWindow) {
  Recorder owner;
  owner.Create("", kWsPopup | kWsVisible, Rect::FromSize(0, 0, 100, 100), nullptr, 0);
  Recorder popup;
  popup.Create("", kWsPopup | kWsVisible, Rect::FromSize(0, 0, 100, 100), &owner, 0);
  Recorder child;
  child.Create("", kWsChild | kWsVisible, Rect::FromSize(0, 0, 10, 10), &popup, 3);
  child.SetFocus();
  EXPECT_TRUE(fake::Key(popup, true, 'A'));
  EXPECT_TRUE(child.Saw(kWmKeyDown));
  // The owner of the popup pre-translates its keys too.
  owner.consumeKeys = true;
  child.messages.clear();
  EXPECT_TRUE(fake::Key(popup, true, 'B'));
  EXPECT_FALSE(child.Saw(kWmKeyDown));
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

TEST_F(WindowTest, AReleaseOutsideWithoutAMoveDoesNotClick) {
  Recorder top;
  CountingButton button;
  top.Create("", kWsPopup | kWsVisible, Rect::FromSize(0, 0, 200, 200), nullptr, 0);
  button.Create("ok", kWsChild | kWsVisible, Rect::FromSize(10, 10, 40, 20), &top, 42);
  fake::Mouse(top, MouseKind::kDown, 1, {20, 20}, kMkLButton);
  fake::Mouse(top, MouseKind::kUp, 1, {150, 150});
  EXPECT_FALSE(top.Saw(kWmCommand));
}

// The model's GBK becomes UTF-8 on its way to the backend, whichever service carries it; what
// the backend measures is measured in characters of the converted text.
TEST_F(WindowTest, TheBackendSeesEveryTextAsUtf8) {
  const std::string star = launcher::Gbk("星辰");
  Recorder top;
  Button button;
  ASSERT_TRUE(top.Create(star, kWsPopup | kWsVisible, Rect::FromSize(0, 0, 200, 200), nullptr, 0));
  ASSERT_TRUE(button.Create(star, kWsChild | kWsVisible, Rect::FromSize(0, 0, 50, 20), &top, 7));
  top.SetWindowText(star + "2");
  EXPECT_EQ(fake::Native(top).title, "星辰2");
  EXPECT_EQ(top.GetWindowText(), star + "2") << "the window keeps the model's text";
  std::vector<std::string> drawn;
  for (const fake::DrawOp& op : fake::Paint(top)) {
    if (op.kind == fake::DrawOp::Kind::kText) {
      drawn.push_back(op.text);
    }
  }
  EXPECT_EQ(drawn, std::vector<std::string>{"星辰"});
  EXPECT_EQ(MeasureText(star + "ab", FontKind::kGui).cx, MeasureText("abcdef", FontKind::kGui).cx);

  MessageBox(&top, star, star + "!", kMbOk);
  ASSERT_EQ(fake::MessageBoxes().size(), 1u);
  EXPECT_EQ(fake::MessageBoxes()[0].text, "星辰");
  EXPECT_EQ(fake::MessageBoxes()[0].caption, "星辰!");

  fake::QueueMenuChoice(5);
  EXPECT_EQ(TrackPopupMenu({{5, star}, {0, ""}}, {10, 10}, &top), 5);
  EXPECT_EQ(fake::Menus().back().items[0].text, "星辰");
  fake::RunPostedWork();
  EXPECT_TRUE(top.Saw(kWmCommand)) << "the owner hears of the choice";

  ShellOpen("www." + star + ".com");
  EXPECT_EQ(fake::ShellOpens(), std::vector<std::string>{"www.星辰.com"});
  NotifyIconData icon{&top, 1, kWmUser, star};
  ASSERT_TRUE(AddNotifyIcon(icon));
  EXPECT_EQ(fake::NotifyIcons().back().tip, "星辰");
  EXPECT_EQ(icon.tip, star);
}

TEST(ShellAddress, AWebSiteWithoutItsSchemeOpensAsHttp) {
  EXPECT_EQ(ShellAddress("www.example.com/news"), "http://www.example.com/news");
  EXPECT_EQ(ShellAddress("WWW.Example.com"), "http://WWW.Example.com");
  for (const char* kept : {"https://www.example.com", "_blank", "wwwexample.com", "www", "",
                           "mailto:a@www.example.com"}) {
    EXPECT_EQ(ShellAddress(kept), kept);
  }
}

}  // namespace
}  // namespace ui

#include "browser/WebUIController.h"

#include <gtest/gtest.h>

#include "BrowserTestSupport.h"
#include "browser/WebBrowserEx.h"
#include "ui/fake/FakeBrowser.h"
#include "ui/fake/FakeUi.h"

namespace launcher {
namespace {

using testing::EventSink;
using testing::RecordingExternal;
using ui::Rect;
using ui::ScriptValue;
using ui::fake::FakeDocument;

bool Plain(const FakeDocument& d) { return d.presentation == ui::fake::DocumentPresentation{}; }

class WebUIControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::fake::Reset();
    ui::fake::ResetBrowser();
    ASSERT_TRUE(
        sink.Create("", ui::kWsPopup | ui::kWsVisible, Rect::FromSize(0, 0, 800, 600), nullptr, 0));
  }
  void Make(CWebBrowserEx& page, int id) {
    ASSERT_TRUE(
        page.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(0, 0, 300, 200), &sink, id));
  }

  EventSink sink;
};

TEST_F(WebUIControllerTest, CountsReferencesPlainlyAndNeverGoesAway) {
  CWebUIController controller;
  EXPECT_EQ(controller.RefCount(), 0);
  EXPECT_EQ(controller.AddRef(), 1);
  EXPECT_EQ(controller.AddRef(), 2);
  EXPECT_EQ(controller.Release(), 1);
  EXPECT_EQ(controller.Release(), 0);
  // Below zero is only a number: the object lives inside its host and still answers.
  EXPECT_EQ(controller.Release(), -1);
  EXPECT_TRUE(controller.ShowContextMenu());
  controller.AddRef();

  // A control holds one reference while the handler is installed on it.
  CWebBrowserEx first, second;
  Make(first, 150);
  Make(second, 151);
  ASSERT_TRUE(controller.Connect(&first));
  EXPECT_EQ(controller.RefCount(), 1);
  EXPECT_EQ(first.GetDocumentHandler(), &controller);
  ASSERT_TRUE(controller.Connect(&second));
  EXPECT_EQ(controller.RefCount(), 1);
  EXPECT_EQ(first.GetDocumentHandler(), nullptr);
  second.DestroyWindow();
  EXPECT_EQ(controller.RefCount(), 0);
  // An uncreated control takes nothing.
  EXPECT_FALSE(controller.Connect(&second));
  EXPECT_EQ(controller.ConnectedBrowser(), nullptr);
  EXPECT_EQ(controller.RefCount(), 0);

  // The host's own controller is released before the host goes.
  {
    CWebBrowserEx page;
    Make(page, 152);
    page.AttachDocHostHandler(0);
    EXPECT_EQ(page.Controller().RefCount(), 1);
  }
}

TEST_F(WebUIControllerTest, AnswersFollowTheFlagsAndTheExternalObject) {
  CWebUIController controller;
  unsigned flags = 0x1 | 0x40000;  // what the engine put there stays
  controller.GetHostInfo(flags);
  EXPECT_EQ(flags, 0x1u | 0x40000u);
  controller.SetShowBorder(0);
  controller.GetHostInfo(flags);
  EXPECT_EQ(flags, 0x1u | 0x40000u | ui::kDocHostUiFlagNo3DBorder);
  controller.SetShowScrollBars(0);
  flags = 0;
  controller.GetHostInfo(flags);
  EXPECT_EQ(flags, ui::kDocHostUiFlagNo3DBorder | ui::kDocHostUiFlagScrollNo);
  // A flag set again is not taken away.
  controller.SetShowBorder(1);
  controller.GetHostInfo(flags);
  EXPECT_EQ(flags, ui::kDocHostUiFlagNo3DBorder | ui::kDocHostUiFlagScrollNo);

  std::vector<std::string> members{"stale"};
  EXPECT_FALSE(controller.GetExternal(members));
  EXPECT_FALSE(controller.InvokeExternal("JsCallClient", {}));

  // Only names the object itself resolves are handed to pages.
  RecordingExternal bridge;
  bridge.declared = {"JsCallClient", "Secret"};
  controller.SetExternal(&bridge);
  ASSERT_TRUE(controller.GetExternal(members));
  EXPECT_EQ(members, std::vector<std::string>{"JsCallClient"});
  EXPECT_EQ(controller.GetExternalObject(), &bridge);
}

TEST_F(WebUIControllerTest, AttachOptionZeroTakesBorderAndScrollBarsAnyOtherOnlyTheBorder) {
  CWebBrowserEx launcherPage, otherPage;
  Make(launcherPage, 150);
  Make(otherPage, 151);
  EXPECT_EQ(launcherPage.AttachDocHostHandler(0), 1);
  EXPECT_EQ(otherPage.AttachDocHostHandler(1), 1);
  ui::fake::NavigateComplete(launcherPage, "http://127.0.0.1/login");
  ui::fake::NavigateComplete(otherPage, "http://127.0.0.1/other");

  const auto& a = ui::fake::Browser(launcherPage).documents.back().presentation;
  EXPECT_FALSE(a.border);
  EXPECT_FALSE(a.scrollBars);
  EXPECT_FALSE(a.contextMenu);
  EXPECT_FALSE(a.external);  // launcher pages have no external object
  const auto& b = ui::fake::Browser(otherPage).documents.back().presentation;
  EXPECT_FALSE(b.border);
  EXPECT_TRUE(b.scrollBars);
  EXPECT_FALSE(b.contextMenu);
}

TEST_F(WebUIControllerTest, OnlyDocumentsCreatedAfterAttachingFollowThePolicy) {
  // The game window's sequence: blank page, attach, external object, game page, silent.
  CWebBrowserEx game;
  RecordingExternal bridge;
  Make(game, 170);
  game.Navigate("about:blank");
  ui::fake::NavigateComplete(game, "about:blank");
  EXPECT_TRUE(ui::fake::ContextMenuShown(game));

  game.AttachDocHostHandler(0);
  ui::fake::NavigateComplete(game, "about:blank#after");  // created after: has the policy...
  game.SetExternal(&bridge);                              // ...but not the later external object
  game.Navigate("http://127.0.0.1/game");
  game.Silent(true);
  ui::fake::NavigateComplete(game, "http://127.0.0.1/game");
  ui::fake::NavigateComplete(game, "http://127.0.0.1/frame", false);

  const auto& docs = ui::fake::Browser(game).documents;
  ASSERT_EQ(docs.size(), 4u);
  EXPECT_TRUE(Plain(docs[0]));
  EXPECT_FALSE(docs[1].presentation.scrollBars);
  EXPECT_FALSE(docs[1].presentation.external);
  for (const FakeDocument* d : {&docs[2], &docs[3]}) {
    EXPECT_FALSE(d->presentation.border) << d->url;
    EXPECT_FALSE(d->presentation.scrollBars) << d->url;
    EXPECT_FALSE(d->presentation.contextMenu) << d->url;
    EXPECT_TRUE(d->presentation.external) << d->url;
    EXPECT_EQ(d->presentation.externalMembers, std::vector<std::string>{"JsCallClient"});
  }
  EXPECT_FALSE(ui::fake::ContextMenuShown(game));
  EXPECT_TRUE(ui::fake::Browser(game).silent);

  // Taking the handler away: later documents are plain again, earlier ones keep theirs.
  game.Controller().Connect(nullptr);
  ui::fake::NavigateComplete(game, "http://127.0.0.1/plain");
  EXPECT_TRUE(Plain(docs.back()));
  EXPECT_TRUE(docs[2].presentation.external);
}

TEST_F(WebUIControllerTest, PageScriptReachesTheExternalObjectByItsExactNameWithItsTypes) {
  CWebBrowserEx game, login;
  RecordingExternal bridge;
  Make(game, 170);
  Make(login, 150);
  game.AttachDocHostHandler(0);
  game.SetExternal(&bridge);
  login.AttachDocHostHandler(0);
  ui::fake::NavigateComplete(game, "http://127.0.0.1/game");
  ui::fake::NavigateComplete(login, "http://127.0.0.1/login");

  bridge.result = ScriptValue::Text("ok");
  auto result = ui::fake::CallExternal(game, "JsCallClient",
                                       {ScriptValue::Text("2"), ScriptValue::Text("text")});
  EXPECT_EQ(result, ScriptValue::Text("ok"));
  bridge.result = ScriptValue::Undefined();
  ui::fake::CallExternal(game, "JsCallClient",
                         {ScriptValue::Number(7), ScriptValue::Number(3.5),
                          ScriptValue::Text(std::string(ui::kMaxExternalTextBytes + 1, 'x'))});
  ASSERT_EQ(bridge.calls.size(), 2u);
  EXPECT_EQ(bridge.calls[0].first, 100);
  EXPECT_EQ(bridge.calls[0].second,
            (std::vector<ScriptValue>{ScriptValue::Text("2"), ScriptValue::Text("text")}));
  // Two arguments at most reach the object.
  EXPECT_EQ(bridge.calls[1].second,
            (std::vector<ScriptValue>{ScriptValue::Number(7), ScriptValue::Number(3.5)}));
  ui::fake::CallExternal(game, "JsCallClient",
                         {ScriptValue::Text(std::string(ui::kMaxExternalTextBytes + 1, 'x'))});
  EXPECT_EQ(bridge.calls[2].second, std::vector<ScriptValue>{ScriptValue::Other()});

  // Any other spelling fails in the page; the launcher's page has no external object at all.
  for (const char* name : {"jscallclient", "JSCALLCLIENT", "JsCallClient ", "Other"}) {
    EXPECT_FALSE(ui::fake::CallExternal(game, name, {ScriptValue::Text("1")})) << name;
  }
  EXPECT_FALSE(ui::fake::CallExternal(login, "JsCallClient", {ScriptValue::Text("1")}));
  EXPECT_EQ(bridge.calls.size(), 3u);

  // A call by a name the object does not resolve (a page that forged it) ends at the object's
  // own lookup.
  EXPECT_FALSE(game.Controller().InvokeExternal("Secret", {}));
  EXPECT_EQ(bridge.lookups.back(), "Secret");
  EXPECT_EQ(bridge.calls.size(), 3u);
}

}  // namespace
}  // namespace launcher

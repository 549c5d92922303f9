// The browser host on WebKitGTK under a real X server, with pages from a server on 127.0.0.1:
// pages load where the window puts them and report their events, the document-host policy
// reaches the documents created after it was attached (no scroll bars, no context menu, the
// external object, only in the page and frames of its origin), script calls reach the bridge
// with their types and limits, new windows go to the desktop's browser, an unreachable server
// shows our page until it answers, downloads are saved nowhere, keys reach the page, and the
// cache can be emptied. Skips without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "WebKitHarness.h"
#include "base/Text.h"
#include "browser/WebBrowserEx.h"
#include "support/RecordingBrowser.h"
#include "support/TestHttpServer.h"

namespace browsertest {

std::string gBase;                                  // the run's own folder
testsupport::RecordingBrowser* gBrowser = nullptr;  // the desktop's browser of this run

namespace {

using launcher::CWebBrowserEx;
using testsupport::HttpReply;
using testsupport::TestHttpServer;
using ui::Rect;
using ui::ScriptValue;

constexpr ui::ColorRef kBlue = ui::Rgb(0, 0, 255);
constexpr std::uint32_t kPageRed = 0xFF0000;
constexpr std::uint32_t kHostBlue = 0x0000FF;

HttpReply Html(const std::string& body, const std::string& cacheControl = "no-store") {
  HttpReply reply =
      HttpReply::Ok("<!DOCTYPE html><html><head><meta charset='utf-8'></head>" + body + "</html>");
  reply.headers = {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", cacheControl}};
  return reply;
}

// A page much larger than any control, red, with a frame and something to click and type into.
const char kBigPage[] =
    "<body style='margin:0;background:#f00'>"
    "<input id='field' style='position:absolute;left:0;top:0;width:120px;height:30px'>"
    "<iframe id='frame' src='/frame' style='position:absolute;left:150px;top:0;width:120px;"
    "height:80px;border:0'></iframe>"
    "<div style='width:3000px;height:3000px'></div></body>";
const char kFramePage[] =
    "<body style='margin:0;background:#f00'><div style='width:900px;height:900px'></div></body>";

class BrowserHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayReady()) {
      GTEST_SKIP() << "no X display";
    }
    server.Serve("/page", Html(kBigPage));
    server.Serve("/frame", Html(kFramePage));
    ASSERT_TRUE(host.Create("", ui::kWsPopup | ui::kWsVisible, kHostRect, nullptr, 0));
    ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(ScreenOf({5, 5})) == kHostBlue; }));
  }
  void TearDown() override { CloseMenus(); }

  // A launcher-style page control: made hidden, blank page, policy, then the address.
  void OpenPage(CWebBrowserEx& page, int id, const Rect& rect, const std::string& path,
                bool attach = true, unsigned visible = ui::kWsVisible) {
    ASSERT_TRUE(page.Create("", ui::kWsChild | visible, rect, &host, id));
    page.Navigate("about:blank");
    if (attach) {
      page.AttachDocHostHandler(0);
    }
    page.Navigate(server.Url(path));
    ASSERT_TRUE(Loaded(page, server.Url(path)));
  }
  // Waits for the control's DocumentComplete of url.
  bool Loaded(const CWebBrowserEx& page, const std::string& url) {
    const int id = page.GetDlgCtrlID();
    return PumpUntil([&] { return host.Saw(ui::kDispidDocumentComplete, url, id); });
  }
  static ui::Point ScreenOf(ui::Point client) {
    return {kHostRect.left + client.x, kHostRect.top + client.y};
  }

  static constexpr Rect kHostRect = Rect{100, 100, 740, 580};
  TestHttpServer server;
  Host host{kBlue};
  XInput input;
};

TEST_F(BrowserHostTest, LauncherPageLoadsHiddenThenShowsAtItsPlaceWithoutScrollBars) {
  CWebBrowserEx page;
  const Rect area = Rect::FromSize(40, 60, 300, 200);
  OpenPage(page, 150, area, "/page", true, 0);

  // Loaded while hidden: the launcher shows its pages only then.
  const std::string url = server.Url("/page");
  EXPECT_TRUE(host.Saw(ui::kDispidBeforeNavigate2, url));
  EXPECT_TRUE(host.Saw(ui::kDispidNavigateComplete2, url));
  ASSERT_TRUE(
      PumpUntil([&] { return host.Saw(ui::kDispidNavigateComplete2, server.Url("/frame")); }));
  for (const ui::BrowserEvent& e : host.events) {
    EXPECT_EQ(e.controlId, 150);
    if (e.dispid == ui::kDispidNavigateComplete2) {
      EXPECT_EQ(e.topLevel, e.url != server.Url("/frame"));
    }
  }
  EXPECT_EQ(ScreenPixel(ScreenOf({area.left + 5, area.top + 40})), kHostBlue);
  // The blank page asked for just before the address is no document of the page: the first
  // DocumentComplete is the address's (the launcher shows its pages at the first one).
  int completes = 0;
  for (const ui::BrowserEvent& e : host.events) {
    if (e.dispid != ui::kDispidDocumentComplete) {
      continue;
    }
    ++completes;
    EXPECT_EQ(e.url, url);
  }
  EXPECT_EQ(completes, 1);

  page.ShowWindow(ui::kSwShow);
  EXPECT_TRUE(PumpUntil([&] {
    return ScreenPixel(ScreenOf({area.left + 5, area.top + 40})) == kPageRed;
  }));
  EXPECT_EQ(ScreenPixel(ScreenOf({area.right - 1, area.bottom - 1})), kPageRed);
  EXPECT_EQ(ScreenPixel(ScreenOf({area.right + 1, area.bottom - 1})), kHostBlue);
  EXPECT_EQ(ScreenPixel(ScreenOf({area.left - 2, area.top + 5})), kHostBlue);

  // The page lays out at exactly the control's size, with nothing taken by scroll bars; the
  // same for its frame.
  EXPECT_EQ(Script(page,
                   "const e = document.documentElement; return [innerWidth, innerHeight, "
                   "e.clientWidth, e.clientHeight, getComputedStyle(e).overflow];"),
            "[300,200,300,200,\"hidden\"]");
  EXPECT_EQ(Script(page, "return getComputedStyle(frames[0].document.body).overflow;"),
            "\"hidden\"");

  // The user cannot scroll it, where a page loaded without the policy scrolls as the engine
  // lets it.
  CWebBrowserEx plain;
  const Rect other = Rect::FromSize(360, 60, 200, 150);
  OpenPage(plain, 151, other, "/page", false);
  EXPECT_EQ(Script(plain, "return getComputedStyle(document.documentElement).overflow;"),
            "\"visible\"");
  for (int i = 0; i < 2; ++i) {
    input.WheelDown(ScreenOf({area.left + 50, area.top + 150}));
    input.WheelDown(ScreenOf({other.left + 50, other.top + 120}));
  }
  EXPECT_TRUE(PumpUntil([&] { return Script(plain, "return scrollY > 0;") == "true"; }, 5s));
  EXPECT_EQ(Script(page, "return scrollY;"), "0");

  // Attaching the policy leaves the document that is there as it was; the next one follows it.
  plain.AttachDocHostHandler(0);
  EXPECT_EQ(Script(plain, "return getComputedStyle(document.documentElement).overflow;"),
            "\"visible\"");
  plain.Navigate(server.Url("/page?again"));
  ASSERT_TRUE(Loaded(plain, server.Url("/page?again")));
  EXPECT_EQ(Script(plain, "return getComputedStyle(document.documentElement).overflow;"),
            "\"hidden\"");

  // The framework still gets the pointer outside the web views, and only there.
  input.Click(ScreenOf({10, 10}));
  input.Click(ScreenOf({area.left + 60, area.top + 150}));
  Pump(100ms);
  ASSERT_EQ(host.clicks.size(), 1u);
  EXPECT_EQ(host.clicks[0], (ui::Point{10, 10}));
}

TEST_F(BrowserHostTest, ContextMenuOnlyWhereThePolicyDoesNotReach) {
  CWebBrowserEx page, plain;
  const Rect area = Rect::FromSize(20, 20, 300, 200);
  const Rect other = Rect::FromSize(330, 20, 300, 200);
  OpenPage(page, 150, area, "/page");
  OpenPage(plain, 151, other, "/page", false);
  ASSERT_TRUE(PumpUntil([&] { return host.Urls(ui::kDispidNavigateComplete2).size() >= 4; }));

  // No menu in the page with the policy, nor in its frame (one click at a time: a click
  // elsewhere would close a menu that was shown)...
  input.Click(ScreenOf({area.left + 60, area.top + 150}), 3);
  Pump(1000ms);
  EXPECT_FALSE(MenuShown());
  CloseMenus();
  input.Click(ScreenOf({area.left + 200, area.top + 40}), 3);
  Pump(1000ms);
  EXPECT_FALSE(MenuShown());
  // ...where the same right click shows the engine's menu in the page without it, even once the
  // policy is attached there: it reaches only documents created afterwards.
  CloseMenus();
  plain.AttachDocHostHandler(0);
  input.Click(ScreenOf({other.left + 60, other.top + 150}), 3);
  EXPECT_TRUE(PumpUntil(MenuShown, 3s));
}

TEST_F(BrowserHostTest, GamePageCallsTheBridgeByExactNameWithScriptTypes) {
  server.Serve("/game", Html("<body><iframe src='/frame'></iframe>"
                             "<script>nothingHere();</script></body>"));
  Bridge bridge;
  CWebBrowserEx game;
  ASSERT_TRUE(game.Create("", ui::kWsChild | ui::kWsVisible | 0x1000,
                          Rect::FromSize(0, 0, 400, 300), &host, 170));
  game.Navigate("about:blank");
  game.AttachDocHostHandler(0);
  game.SetExternal(&bridge);
  game.Navigate(server.Url("/game"));
  game.Silent(true);
  ASSERT_TRUE(Loaded(game, server.Url("/game")));

  bridge.result = ScriptValue::Text(launcher::Gbk("好"));
  EXPECT_EQ(Script(game, "return await window.external.JsCallClient('2', 'text');"), "\"好\"");
  bridge.result = ScriptValue::Undefined();
  // Script types arrive as they are; arguments past the second are not looked at.
  EXPECT_EQ(Script(game,
                   "const x = window.external; x.JsCallClient(7, 3.5, 'past'); "
                   "x.JsCallClient(true, null); x.JsCallClient(undefined, {a: 1}); "
                   "x.JsCallClient('星辰😀'); return 1;"),
            "1");
  ASSERT_TRUE(PumpUntil([&] { return bridge.calls.size() == 5; }));
  using Args = std::vector<ScriptValue>;
  EXPECT_EQ(bridge.calls[0], (Args{ScriptValue::Text("2"), ScriptValue::Text("text")}));
  EXPECT_EQ(bridge.calls[1], (Args{ScriptValue::Number(7), ScriptValue::Number(3.5)}));
  EXPECT_EQ(bridge.calls[2], (Args{ScriptValue::Boolean(true), ScriptValue::Null()}));
  EXPECT_EQ(bridge.calls[3], (Args{ScriptValue::Undefined(), ScriptValue::Other()}));
  EXPECT_EQ(bridge.calls[4], (Args{ScriptValue::Text(launcher::Gbk("星辰") + "?")}));

  // Other names fail in the page as members the object does not support.
  EXPECT_EQ(Script(game,
                   "try { window.external.Other(); return 'called'; } "
                   "catch (e) { return e.name; }"),
            "\"TypeError\"");
  EXPECT_EQ(Script(game,
                   "try { window.external.jscallclient('1'); return 'called'; } "
                   "catch (e) { return e.name; }"),
            "\"TypeError\"");
  EXPECT_EQ(Script(game, "return Object.keys(window.external).join();"), "\"JsCallClient\"");
  // The frame's document has the object too; the page's script error raised no dialog.
  EXPECT_EQ(Script(game, "return typeof frames[0].external.JsCallClient;"), "\"function\"");
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next) {
    EXPECT_FALSE(GTK_IS_DIALOG(w->data));
  }
  g_list_free(windows);

  // A launcher page (policy, but no external object) has nothing to call.
  CWebBrowserEx login;
  OpenPage(login, 150, Rect::FromSize(400, 0, 200, 200), "/page");
  EXPECT_EQ(Script(login,
                   "try { window.external.JsCallClient('1'); return 'called'; } "
                   "catch (e) { return e.name; }"),
            "\"TypeError\"");
  Pump(100ms);
  EXPECT_EQ(bridge.calls.size(), 5u);
}

TEST_F(BrowserHostTest, OnlyTheGamePageAndFramesOfItsOriginHaveTheBridge) {
  // A frame from elsewhere looks for the bridge, the engine's channel and the events the bridge
  // travels on, and reports to the page.
  TestHttpServer elsewhere;
  elsewhere.Serve("/ad", Html("<body><script>"
                              "document.dispatchEvent(new CustomEvent('launcher-external-call', "
                              "{detail: {id: 1, name: 'JsCallClient', args: [{type: 'string', "
                              "value: '1'}]}}));"
                              "parent.postMessage([typeof (window.external || {}).JsCallClient, "
                              "typeof window.webkit].join(), '*');</script></body>"));
  server.Serve("/game", Html("<body><iframe src='" + elsewhere.Url("/ad") +
                             "'></iframe><iframe src='/frame'></iframe><script>"
                             "addEventListener('message', (e) => { window.report = e.data; });"
                             "</script></body>"));
  Bridge bridge;
  CWebBrowserEx game;
  ASSERT_TRUE(
      game.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(0, 0, 400, 300), &host, 170));
  game.AttachDocHostHandler(0);
  game.SetExternal(&bridge);
  game.Navigate(server.Url("/game"));
  ASSERT_TRUE(Loaded(game, server.Url("/game")));
  ASSERT_TRUE(PumpUntil([&] { return Script(game, "return window.report || null;") != "null"; }));
  EXPECT_EQ(Script(game, "return window.report;"), "\"undefined,undefined\"");
  EXPECT_EQ(Script(game, "return typeof frames[1].external.JsCallClient;"), "\"function\"");
  EXPECT_EQ(Script(game, "return typeof window.webkit;"), "\"undefined\"");
  Pump(200ms);
  EXPECT_TRUE(bridge.calls.empty());
}

TEST_F(BrowserHostTest, AHugeBridgeCallIsAnsweredPromptly) {
  server.Serve("/game", Html("<body>game</body>"));
  Bridge bridge;
  CWebBrowserEx game;
  ASSERT_TRUE(
      game.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(0, 0, 400, 300), &host, 170));
  game.AttachDocHostHandler(0);
  game.SetExternal(&bridge);
  game.Navigate(server.Url("/game"));
  ASSERT_TRUE(Loaded(game, server.Url("/game")));

  // Megabytes of text, and a call with a hundred thousand arguments: texts over 64 KiB arrive
  // unconverted, arguments past the second not at all.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Script(game,
                   "const big = 'x'.repeat(16 << 20); const x = window.external;"
                   "await x.JsCallClient('6', big);"
                   "await x.JsCallClient.apply(null, new Array(100000).fill(big));"
                   "await x.JsCallClient('6', 'y'.repeat(32768)); return 1;"),
            "1");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  ASSERT_EQ(bridge.calls.size(), 3u);
  EXPECT_EQ(bridge.calls[0],
            (std::vector<ScriptValue>{ScriptValue::Text("6"), ScriptValue::Other()}));
  EXPECT_EQ(bridge.calls[1],
            (std::vector<ScriptValue>{ScriptValue::Other(), ScriptValue::Other()}));
  EXPECT_EQ(bridge.calls[2][1], ScriptValue::Text(std::string(32768, 'y')));
}

TEST_F(BrowserHostTest, BeforeNavigate2CarriesLinkAndFormAddressesAndMayStopThem) {
  const std::string navigation =
      "<body style='margin:0'>"
      "<a id='link' href='/next?from=link' style='display:block;width:200px;height:40px;"
      "background:#0f0'>next</a>"
      "<form id='form' action='/submitted'><input name='user' value='v'></form>"
      "<a id='game' href='/game-start?key=1'>game</a></body>";
  server.Serve("/nav", Html(navigation));
  server.Serve("/next", Html(navigation));
  server.Serve("/game-start", Html("<body>game</body>"));
  auto page = std::make_unique<CWebBrowserEx>();
  OpenPage(*page, 150, Rect::FromSize(10, 10, 400, 300), "/nav");

  // A user's click on a link.
  input.Click(ScreenOf({10 + 50, 10 + 20}));
  ASSERT_TRUE(Loaded(*page, server.Url("/next?from=link")));
  EXPECT_TRUE(host.Saw(ui::kDispidBeforeNavigate2, server.Url("/next?from=link")));

  // A form submitted, and stopped by the handler: the page stays where it was.
  host.onEvent = [](ui::BrowserEvent& e) {
    if (e.dispid == ui::kDispidBeforeNavigate2 && e.url.find("/submitted") != std::string::npos) {
      e.cancel = true;
    }
  };
  Script(*page, "document.getElementById('form').submit(); return 0;");
  ASSERT_TRUE(PumpUntil(
      [&] { return host.Saw(ui::kDispidBeforeNavigate2, server.Url("/submitted?user=v")); }));
  Pump(300ms);
  EXPECT_EQ(Script(*page, "return location.pathname;"), "\"/next\"");
  EXPECT_FALSE(host.Saw(ui::kDispidNavigateComplete2, server.Url("/submitted?user=v")));

  // The launcher hands over and goes away from inside the event.
  host.onEvent = [&page](ui::BrowserEvent& e) {
    if (e.dispid == ui::kDispidBeforeNavigate2 && e.url.find("/game-start") != std::string::npos) {
      page.reset();
    }
  };
  Script(*page, "document.getElementById('game').click(); return 0;");
  EXPECT_TRUE(PumpUntil([&] { return page == nullptr; }));
  Pump(300ms);
  EXPECT_TRUE(host.IsCreated());
  EXPECT_EQ(ScreenPixel(ScreenOf({12, 12})), kHostBlue);
}

TEST_F(BrowserHostTest, NewWindowsOfWebAddressesGoToTheDesktopsBrowser) {
  server.Serve("/opener",
               Html("<body style='margin:0'>"
                    "<a target='_blank' href='/news?link' style='display:block;height:40px'>a</a>"
                    "<button onclick=\"window.open('/news?script')\" "
                    "style='display:block;width:200px;height:40px'>b</button>"
                    "<button onclick=\"window.open('file:///etc/hostname')\" "
                    "style='display:block;width:200px;height:40px'>c</button>"
                    "</body>"));
  CWebBrowserEx page;
  const Rect area = Rect::FromSize(10, 10, 400, 300);
  OpenPage(page, 170, area, "/opener");
  input.Click(ScreenOf({area.left + 20, area.top + 20}));
  input.Click(ScreenOf({area.left + 10, area.top + 60}));
  input.Click(ScreenOf({area.left + 10, area.top + 100}));
  EXPECT_TRUE(PumpUntil([&] {
    const std::string opened = gBrowser->Opened();
    return opened.find(server.Url("/news?link")) != std::string::npos &&
           opened.find(server.Url("/news?script")) != std::string::npos;
  }));
  Pump(300ms);
  EXPECT_EQ(gBrowser->Opened().find("file:"), std::string::npos);
  EXPECT_EQ(Script(page, "return location.pathname;"), "\"/opener\"");
}

TEST_F(BrowserHostTest, AnUnreachableServerShowsOurPageThatRetriesUntilItAnswers) {
  int port = 0;
  {
    TestHttpServer gone;
    port = gone.Port();
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/login";
  CWebBrowserEx page;
  ASSERT_TRUE(
      page.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(20, 20, 685, 383), &host, 150));
  page.AttachDocHostHandler(0);
  page.Navigate(url);
  ASSERT_TRUE(Loaded(page, url));
  EXPECT_EQ(Script(page, "return document.title;"), "\"无法连接到服务器\"");
  EXPECT_EQ(Script(page, "return document.getElementById('retry').textContent;"), "\"重试\"");
  // It fits the area: nothing of it lies outside.
  EXPECT_EQ(Script(page,
                   "return document.documentElement.scrollHeight <= innerHeight && "
                   "document.documentElement.scrollWidth <= innerWidth;"),
            "true");
  EXPECT_EQ(host.Urls(ui::kDispidBeforeNavigate2).size(), 1u) << "our page is no navigation";

  // The retry button while the server is still down: the page stays and says so.
  Script(page, "document.getElementById('retry').click(); return 0;");
  EXPECT_TRUE(PumpUntil([&] {
    return Script(page, "return document.getElementById('status').textContent;") ==
           "\"仍无法连接，请稍后再试。\"";
  }));

  // The server comes back: the page goes there by itself.
  TestHttpServer back(port);
  back.Serve("/login", Html("<body>login</body>"));
  EXPECT_TRUE(
      PumpUntil([&] { return Script(page, "return document.body.textContent;") == "\"login\""; },
                std::chrono::milliseconds(launcher::kUnreachableRetryMs) + 5s));
  EXPECT_EQ(host.Urls(ui::kDispidBeforeNavigate2), (std::vector<std::string>{url, url}))
      << "the retry is a navigation of the page like any";
}

TEST_F(BrowserHostTest, DownloadsArePutNowhere) {
  HttpReply file = HttpReply::Ok("payload");
  file.headers = {{"Content-Type", "application/octet-stream"},
                  {"Content-Disposition", "attachment; filename=payload.bin"}};
  server.Serve("/payload.bin", file);
  HttpReply text = HttpReply::Ok("text");
  text.headers = {{"Content-Type", "text/plain"}};
  server.Serve("/saved.txt", text);
  server.Serve("/downloads", Html("<body><a id='a' href='/payload.bin'>a</a>"
                                  "<a id='b' download href='/saved.txt'>b</a></body>"));
  CWebBrowserEx page;
  OpenPage(page, 150, Rect::FromSize(10, 10, 300, 200), "/downloads");
  Script(page, "document.getElementById('a').click(); return 0;");
  Script(page, "document.getElementById('b').click(); return 0;");
  Pump(1500ms);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(gBase)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(name.find("payload"), std::string::npos) << entry.path();
    EXPECT_EQ(name.find("saved"), std::string::npos) << entry.path();
  }
  EXPECT_EQ(Script(page, "return location.pathname;"), "\"/downloads\"");
}

TEST_F(BrowserHostTest, KeysReachThePageOnceItWasClickedInto) {
  CWebBrowserEx page;
  const Rect area = Rect::FromSize(30, 30, 300, 200);
  OpenPage(page, 150, area, "/page");
  input.Click(ScreenOf({area.left + 20, area.top + 15}));
  ASSERT_TRUE(PumpUntil([&] { return ui::Window::GetFocus() == &page; }, 3s));
  ASSERT_TRUE(PumpUntil(
      [&] { return Script(page, "return document.activeElement.id;") == "\"field\""; }, 3s));
  input.Tap("a");
  input.Tap("b");
  EXPECT_TRUE(PumpUntil(
      [&] { return Script(page, "return document.getElementById('field').value;") == "\"ab\""; },
      3s));
}

TEST_F(BrowserHostTest, ClearingTheCacheKeepsCookies) {
  HttpReply script = HttpReply::Ok("document.cookie = 'login=kept; max-age=3600';");
  script.headers = {{"Content-Type", "text/javascript"}, {"Cache-Control", "max-age=3600"}};
  server.Serve("/lib.js", script);
  server.Serve("/cached", Html("<body><script src='/lib.js'></script></body>"));
  auto fetchesOfLib = [&] {
    int count = 0;
    for (const auto& r : server.Requests()) {
      count += r.target == "/lib.js" ? 1 : 0;
    }
    return count;
  };
  CWebBrowserEx page;
  OpenPage(page, 150, Rect::FromSize(0, 0, 200, 100), "/cached?1");
  page.Navigate(server.Url("/cached?2"));
  ASSERT_TRUE(Loaded(page, server.Url("/cached?2")));
  EXPECT_EQ(fetchesOfLib(), 1);

  bool cleared = false, ok = false;
  ui::ClearBrowserCache([&](bool result) {
    cleared = true;
    ok = result;
  });
  ASSERT_TRUE(PumpUntil([&] { return cleared; }));
  EXPECT_TRUE(ok);
  page.Navigate(server.Url("/cached?3"));
  ASSERT_TRUE(Loaded(page, server.Url("/cached?3")));
  EXPECT_EQ(fetchesOfLib(), 2);
  EXPECT_EQ(Script(page, "return document.cookie;"), "\"login=kept\"");
}

}  // namespace
}  // namespace browsertest

int main(int argc, char** argv) {
  // The engine's cache, the pages' data, the home and the desktop's browser of this run only,
  // never the user's.
  char root[] = "/tmp/launcher-browser-tests-XXXXXX";
  if (!mkdtemp(root)) {
    return 2;
  }
  const std::string base = root;
  browsertest::gBase = base;
  setenv("HOME", (base + "/home").c_str(), 1);
  std::filesystem::create_directories(base + "/home");
  setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
  testsupport::RecordingBrowser browser(base);
  browsertest::gBrowser = &browser;
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::KeepHttpOnLoopback();
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(base, ignored);
  return result;
}

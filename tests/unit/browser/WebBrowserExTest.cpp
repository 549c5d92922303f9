#include "browser/WebBrowserEx.h"

#include <gtest/gtest.h>

#include <memory>

#include "BrowserTestSupport.h"
#include "base/Text.h"
#include "ui/fake/FakeBrowser.h"
#include "ui/fake/FakeUi.h"

namespace launcher {
namespace {

using testing::EventSink;
using ui::Rect;

class WebBrowserExTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::fake::Reset();
    ui::fake::ResetBrowser();
    ASSERT_TRUE(sink.Create("", ui::kWsPopup | ui::kWsVisible, Rect::FromSize(100, 50, 800, 600),
                            nullptr, 0));
  }

  EventSink sink;
};

TEST_F(WebBrowserExTest, EventsReachTheContainingWindowByControlIdentifier) {
  CWebBrowserEx login, news;
  ASSERT_TRUE(login.Create("", ui::kWsChild, Rect::FromSize(34, 132, 685, 383), &sink, 150));
  ASSERT_TRUE(news.Create("", ui::kWsChild, Rect::FromSize(0, 0, 10, 10), &sink, 151));

  EXPECT_TRUE(ui::fake::BeforeNavigate(news, "http://127.0.0.1/登录?a=1"));
  ui::fake::NavigateComplete(login, "http://127.0.0.1/login");
  ui::fake::NavigateComplete(login, "http://127.0.0.1/frame", false);
  ui::fake::DocumentComplete(login, "http://127.0.0.1/login");

  ASSERT_EQ(sink.events.size(), 4u);
  EXPECT_EQ(sink.events[0].controlId, 151);
  EXPECT_EQ(sink.events[0].dispid, ui::kDispidBeforeNavigate2);
  // Addresses reach the system's classes in its code page.
  EXPECT_EQ(sink.events[0].url, Gbk("http://127.0.0.1/登录?a=1"));
  EXPECT_EQ(sink.events[1].controlId, 150);
  EXPECT_EQ(sink.events[1].dispid, ui::kDispidNavigateComplete2);
  EXPECT_TRUE(sink.events[1].topLevel);
  EXPECT_EQ(sink.events[2].dispid, ui::kDispidNavigateComplete2);
  EXPECT_FALSE(sink.events[2].topLevel);
  EXPECT_EQ(sink.events[2].url, "http://127.0.0.1/frame");
  EXPECT_EQ(sink.events[3].dispid, ui::kDispidDocumentComplete);
  EXPECT_EQ(sink.events[3].url, "http://127.0.0.1/login");
}

TEST_F(WebBrowserExTest, BeforeNavigate2HandlerMayCancelOrDestroyTheControl) {
  auto page = std::make_unique<CWebBrowserEx>();
  ASSERT_TRUE(
      page->Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(0, 0, 50, 50), &sink, 150));
  sink.onEvent = [](ui::BrowserEvent& event) { event.cancel = true; };
  EXPECT_FALSE(ui::fake::BeforeNavigate(*page, "http://127.0.0.1/stay"));

  // The launcher closes itself from this event; the navigation's report must survive that.
  sink.onEvent = [&page](ui::BrowserEvent&) { page.reset(); };
  CWebBrowserEx* raw = page.get();
  EXPECT_TRUE(ui::fake::BeforeNavigate(*raw, "http://127.0.0.1/game"));
  EXPECT_EQ(page, nullptr);
  EXPECT_EQ(sink.events.size(), 2u);
  EXPECT_TRUE(sink.GetChildren().empty());
}

TEST_F(WebBrowserExTest, WithoutAWebViewCreateFailsAndNothingAttaches) {
  CWebBrowserEx orphan;
  EXPECT_FALSE(orphan.Create("", ui::kWsChild, Rect::FromSize(0, 0, 10, 10), nullptr, 150));

  ui::fake::SetBrowserAvailable(false);
  CWebBrowserEx page;
  EXPECT_FALSE(page.Create("", ui::kWsChild, Rect::FromSize(0, 0, 10, 10), &sink, 150));
  EXPECT_FALSE(page.IsCreated());
  EXPECT_TRUE(sink.GetChildren().empty());
  EXPECT_FALSE(page.Navigate("about:blank"));
  EXPECT_EQ(page.AttachDocHostHandler(0), 0);
  EXPECT_EQ(page.Controller().GetShowBorder(), 1);
  EXPECT_EQ(page.Controller().GetShowScrollBars(), 1);
  EXPECT_EQ(page.Controller().ConnectedBrowser(), nullptr);

  // Made later, it works as any other.
  ui::fake::SetBrowserAvailable(true);
  ASSERT_TRUE(page.Create("", ui::kWsChild, Rect::FromSize(0, 0, 10, 10), &sink, 150));
  EXPECT_TRUE(page.Navigate("about:blank"));
}

TEST_F(WebBrowserExTest, NavigatesSilentlyWhereTheWindowPutsIt) {
  ui::Window frame;
  ASSERT_TRUE(
      frame.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(20, 10, 700, 500), &sink, 1));
  CWebBrowserEx page;
  page.Silent(true);  // kept from before creation
  ASSERT_TRUE(page.Create("", ui::kWsChild, Rect::FromSize(34, 132, 685, 383), &frame, 150));
  const auto& web = ui::fake::Browser(page);
  EXPECT_TRUE(web.silent);
  EXPECT_EQ(web.bounds, Rect::FromSize(54, 142, 685, 383));  // top-level client coordinates
  EXPECT_FALSE(web.visible);  // hidden until the launcher shows its pages

  EXPECT_TRUE(page.Navigate("about:blank"));
  EXPECT_TRUE(page.Navigate(Gbk("http://127.0.0.1/游戏?x=1;y=2")));
  EXPECT_EQ(web.navigations,
            (std::vector<std::string>{"about:blank", "http://127.0.0.1/游戏?x=1;y=2"}));

  page.ShowWindow(ui::kSwShow);
  EXPECT_TRUE(web.visible);
  page.Silent(false);
  EXPECT_FALSE(web.silent);
}

TEST_F(WebBrowserExTest, AClickInThePageGivesItTheKeys) {
  CWebBrowserEx page;
  ASSERT_TRUE(
      page.Create("", ui::kWsChild | ui::kWsVisible, Rect::FromSize(0, 0, 50, 50), &sink, 170));
  // While the framework's focus is elsewhere, keys stay with the framework.
  EXPECT_TRUE(ui::fake::Key(sink, true, 'A'));
  ui::fake::FocusIn(page);
  EXPECT_EQ(ui::Window::GetFocus(), &page);
  EXPECT_FALSE(ui::fake::Key(sink, true, 'A'));
}

TEST_F(WebBrowserExTest, NewWindowsOfWebAddressesGoToTheDesktopOthersNowhere) {
  CWebBrowserEx page;
  ASSERT_TRUE(page.Create("", ui::kWsChild, Rect::FromSize(0, 0, 50, 50), &sink, 170));
  for (const char* url : {"https://127.0.0.1/pay?a=1;b=2", "HTTP://127.0.0.1/n", "about:blank",
                          "file:///etc/passwd", "javascript:alert(1)", ""}) {
    ui::fake::NewWindow(page, url);
  }
  EXPECT_EQ(ui::fake::ShellOpens(),
            (std::vector<std::string>{"https://127.0.0.1/pay?a=1;b=2", "HTTP://127.0.0.1/n"}));
  EXPECT_TRUE(ui::fake::Browser(page).navigations.empty()) << "the page itself stays";
  EXPECT_TRUE(sink.events.empty());
}

TEST_F(WebBrowserExTest, AnUnreachableServerShowsOurPageAtTheAddress) {
  CWebBrowserEx page;
  ASSERT_TRUE(page.Create("", ui::kWsChild, Rect::FromSize(0, 0, 685, 383), &sink, 150));
  const std::string url = "http://127.0.0.1:9/login?a=1&b=\"</script><b>'";
  ASSERT_TRUE(ui::fake::NavigateError(page, url));
  const auto& loads = ui::fake::Browser(page).htmlLoads;
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].url, url);
  const std::string& html = loads[0].html;
  for (const char* text : {"无法连接到服务器", "重试", "<button id=\"retry\""}) {
    EXPECT_NE(html.find(text), std::string::npos) << text;
  }
  // The address lives in the page's script as a string, unable to end it or to add markup.
  EXPECT_NE(html.find("login?a=1\\u0026b=\\u0022\\u003c/script\\u003e\\u003cb\\u003e\\u0027"),
            std::string::npos);
  EXPECT_EQ(html.find("</script><b>"), std::string::npos);

  // Anything but a web address keeps the engine's own page.
  EXPECT_FALSE(ui::fake::NavigateError(page, "file:///missing"));
  EXPECT_EQ(loads.size(), 1u);
}

}  // namespace
}  // namespace launcher

#include "ui/Browser.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "ui/fake/FakeBrowser.h"
#include "ui/fake/FakeUi.h"

namespace ui {
namespace {

TEST(PageText, ConvertsToTheModelCodePageAndNeverRefuses) {
  EXPECT_EQ(PageTextToGbk("abc"), "abc");
  EXPECT_EQ(PageTextToGbk("星辰-6"), launcher::Gbk("星辰-6"));
  // One "?" for each character GBK cannot hold, wherever it is.
  EXPECT_EQ(PageTextToGbk("😀星😀😀x"), "?" + launcher::Gbk("星") + "??x");
  // Broken bytes: one "?" each, and what follows still converts.
  EXPECT_EQ(PageTextToGbk("a\xFF"
                          "b"),
            "a?b");
  EXPECT_EQ(PageTextToGbk("a\xE6\x98"), "a??");
  EXPECT_EQ(PageTextToGbk(""), "");
}

// Declares one member; records the arguments of its calls and answers with a text.
class RecordingHandler : public DocumentHandler {
 public:
  std::vector<std::string> names;
  std::vector<ScriptValue> args;
  int AddRef() override { return 1; }
  int Release() override { return 0; }
  bool ShowContextMenu() override { return false; }
  void GetHostInfo(unsigned& /*flags*/) override {}
  bool GetExternal(std::vector<std::string>& memberNames) override {
    memberNames = {launcher::Gbk("星")};
    return true;
  }
  std::optional<ScriptValue> InvokeExternal(std::string_view name,
                                            const std::vector<ScriptValue>& given) override {
    names.emplace_back(name);
    args = given;
    return ScriptValue::Text(launcher::Gbk("好"));
  }
};

// The page's text reaches the system in the model's code page and the system's goes to the page
// as UTF-8: the backend sees nothing else.
TEST(BrowserControl, TextCrossesToTheEngineAsUtf8) {
  fake::Reset();
  fake::ResetBrowser();
  Window top;
  ASSERT_TRUE(top.Create("", kWsPopup | kWsVisible, Rect::FromSize(0, 0, 300, 200), nullptr, 0));
  BrowserControl control;
  ASSERT_TRUE(control.Create("", kWsVisible, Rect::FromSize(0, 0, 300, 200), &top, 1));
  RecordingHandler handler;
  ASSERT_TRUE(control.SetDocumentHandler(&handler));

  ASSERT_TRUE(control.Navigate("http://127.0.0.1/" + launcher::Gbk("星")));
  ASSERT_TRUE(
      control.LoadHtml(launcher::Gbk("<p>好</p>"), "http://127.0.0.1/" + launcher::Gbk("辰")));
  EXPECT_EQ(fake::Browser(control).navigations, std::vector<std::string>{"http://127.0.0.1/星"});
  EXPECT_EQ(fake::Browser(control).htmlLoads.back().html, "<p>好</p>");
  EXPECT_EQ(fake::Browser(control).htmlLoads.back().url, "http://127.0.0.1/辰");

  fake::NavigateComplete(control, "http://127.0.0.1/星");
  EXPECT_EQ(fake::Browser(control).documents.back().presentation.externalMembers,
            std::vector<std::string>{"星"});
  const auto result =
      fake::CallExternal(control, "星", {ScriptValue::Text("辰😀"), ScriptValue::Number(2)});
  EXPECT_EQ(result, ScriptValue::Text("好"));
  EXPECT_EQ(handler.names, std::vector<std::string>{launcher::Gbk("星")});
  EXPECT_EQ(handler.args, (std::vector<ScriptValue>{ScriptValue::Text(launcher::Gbk("辰") + "?"),
                                                    ScriptValue::Number(2)}));
  control.DestroyWindow();
}

}  // namespace
}  // namespace ui

#include "browser/GameDialogCallback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"

namespace launcher {
namespace {

using ui::ScriptValue;

class RecordingHandler : public IJsCallClientHandler {
 public:
  void OnJsCallClient(const std::vector<ScriptValue>& args) override { calls.push_back(args); }
  std::vector<std::vector<ScriptValue>> calls;
};

TEST(ClientCall, CountsReferencesWithoutEverGoingBelowZero) {
  ClientCall object;
  EXPECT_EQ(object.RefCount(), 1);
  EXPECT_EQ(object.AddRef(), 2);
  EXPECT_EQ(object.Release(), 1);
  EXPECT_EQ(object.Release(), 0);
  EXPECT_EQ(object.Release(), 0);
  EXPECT_EQ(object.RefCount(), 0);
  // The base object has no members at all.
  EXPECT_EQ(object.GetIDsOfNames("JsCallClient"), std::nullopt);
  EXPECT_TRUE(object.MemberNames().empty());
}

TEST(GameDialogCallback, KnowsJsCallClientByItsExactNameAndForwardsOnlyItsCalls) {
  RecordingHandler handler;
  GameDialogCallback bridge(&handler);
  EXPECT_EQ(bridge.GetIDsOfNames("JsCallClient"), 100);
  for (const char* other : {"jscallclient", "JSCALLCLIENT", "JsCallClient ", "", "close"}) {
    EXPECT_EQ(bridge.GetIDsOfNames(other), std::nullopt) << other;
  }
  EXPECT_EQ(bridge.MemberNames(), std::vector<std::string>{"JsCallClient"});

  const std::vector<ScriptValue> args{ScriptValue::Text("6"), ScriptValue::Text("abc")};
  EXPECT_EQ(bridge.Invoke(100, args), ScriptValue::Undefined());
  EXPECT_EQ(bridge.Invoke(101, args), ScriptValue::Undefined()) << "other ids succeed, do nothing";
  ASSERT_EQ(handler.calls.size(), 1u);
  EXPECT_EQ(handler.calls[0], args);

  GameDialogCallback orphan(nullptr);
  EXPECT_EQ(orphan.Invoke(100, args), ScriptValue::Undefined());
}

TEST(JsCallArguments, TheCommandIsReadFromTextOnly) {
  struct Case {
    std::vector<ScriptValue> args;
    int command;
  } cases[] = {
      {{ScriptValue::Text("6")}, 6},
      {{ScriptValue::Text("  6")}, 6},
      {{ScriptValue::Text("\t+4abc")}, 4},
      {{ScriptValue::Text("-1")}, -1},
      {{ScriptValue::Text("abc")}, 0},
      {{ScriptValue::Text("")}, 0},
      {{ScriptValue::Text(std::string("2\0"
                                      "1",
                                      3))},
       2},
      {{ScriptValue::Text("99999999999999")}, 2147483647},
      // Script numbers and everything else are 0: a page passes the command as text.
      {{ScriptValue::Number(6)}, 0},
      {{ScriptValue::Boolean(true)}, 0},
      {{ScriptValue::Null()}, 0},
      {{ScriptValue::Other()}, 0},
      {{}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsCallCommand(c.args), c.command)
        << (c.args.empty() ? std::string("none") : c.args[0].text);
  }
}

TEST(JsCallArguments, TheValueIsTextOfAtMost255Bytes) {
  auto value = [](const std::vector<ScriptValue>& args) { return JsCallValue(args); };
  const ScriptValue four = ScriptValue::Text("4");
  EXPECT_EQ(value({four, ScriptValue::Text("abc")}), "abc");
  EXPECT_EQ(value({four, ScriptValue::Text("abc"), ScriptValue::Text("extra")}), "abc");
  EXPECT_EQ(value({four}), std::nullopt);
  EXPECT_EQ(value({four, ScriptValue::Number(3)}), std::nullopt);
  EXPECT_EQ(value({four, ScriptValue::Undefined()}), std::nullopt);
  EXPECT_EQ(value({four, ScriptValue::Text("")}), "");
  EXPECT_EQ(value({four, ScriptValue::Text(std::string(255, 'a'))}), std::string(255, 'a'));
  EXPECT_EQ(value({four, ScriptValue::Text(std::string(256, 'a'))}), std::nullopt);
  // Counted in the model's code page: 128 Chinese characters are 256 bytes.
  std::string wide;
  for (int i = 0; i < 128; ++i) {
    wide += Gbk("星");
  }
  EXPECT_EQ(value({four, ScriptValue::Text(wide)}), std::nullopt);
  EXPECT_EQ(value({four, ScriptValue::Text(wide.substr(2))}), wide.substr(2));
  // A NUL ends the text, as it ends a converted string.
  EXPECT_EQ(value({four, ScriptValue::Text(std::string("ab\0cd", 5))}), "ab");
  EXPECT_EQ(value({four, ScriptValue::Text("x" + std::string(1, '\0') + std::string(300, 'a'))}),
            "x");
}

TEST(JsCallArguments, ExtendedTitleIsCutAt255BytesBetweenCharacters) {
  EXPECT_EQ(ExtendedTitle("T", "abc"), "T-abc");
  EXPECT_EQ(ExtendedTitle("", ""), "-");
  const std::string title(127, 't');
  const std::string value(200, 'v');
  const std::string cut = ExtendedTitle(title, value);
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(cut, title + "-" + std::string(127, 'v'));
  // 128 + 1 = 129 bytes before the value; 63 double-byte characters fit in the rest, the 64th
  // would end past 255 and is left out whole.
  std::string chinese;
  for (int i = 0; i < 100; ++i) {
    chinese += Gbk("辰");
  }
  const std::string mixed = ExtendedTitle(std::string(128, 't'), chinese);
  EXPECT_EQ(mixed.size(), 129u + 126u);
  EXPECT_EQ(mixed.substr(129), chinese.substr(0, 126));
}

TEST(JsCallArguments, PagesMayOnlyPutWebAddressesOnAButton) {
  struct Case {
    const char* address;
    bool allowed;
  } cases[] = {
      {"http://127.0.0.1/pay", true},
      {"https://example.test/pay?a=1;b=2", true},
      {"HTTP://EXAMPLE.TEST/", true},
      {"HtTpS://x", true},
      {"file:///etc/passwd", false},
      {"/usr/bin/xterm", false},
      {"javascript:alert(1)", false},
      {"ftp://x/", false},
      {"mailto:a@b", false},
      {"http:/x", false},
      {" http://x", false},
      {"", false},
      {"https:", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPageSettableLink(c.address), c.allowed) << c.address;
  }
}

}  // namespace
}  // namespace launcher

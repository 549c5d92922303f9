#include "pack/Json.h"

#include <gtest/gtest.h>

#include "PackJsonReader.h"

namespace launcher::pack {
namespace {

using fixtures::JsonReader;
using fixtures::JsonValue;

TEST(PackJson, EscapesWhatJsonCannotCarryAsItIs) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "\"plain\""},
      {"q\"b\\s/", "\"q\\\"b\\\\s/\""},
      {"\n\r\t\x01\x1f\x7f", "\"\\n\\r\\t\\u0001\\u001f\\u007f\""},
      {"星", "\"星\""},
      {"a\xFF"
       "b\xE6\x98",
       "\"a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD\xEF\xBF\xBD\""},                               // not UTF-8
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
  };
  for (const auto& [text, quoted] : cases) {
    EXPECT_EQ(JsonQuote(text), quoted);
    EXPECT_NO_THROW(JsonReader::Read(quoted));
  }
  JsonWriter json;
  json.BeginObject().Key("a").BeginArray().EndArray().Key("b").BeginObject().EndObject();
  json.Field("c", 1).Key("d").BeginArray().Int(-2).Null().Bool(false).EndArray().EndObject();
  JsonValue v = JsonReader::Read(json.Text());
  EXPECT_EQ(v["c"].number, 1);
  EXPECT_EQ(v["d"][0].number, -2);
  EXPECT_EQ(v["d"].items.size(), 3u);
}

}  // namespace
}  // namespace launcher::pack

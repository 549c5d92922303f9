// A small streaming JSON writer for the packer's reports: objects, arrays, strings, integers,
// booleans and null, indented two spaces. Strings must be UTF-8; bytes that are not become
// U+FFFD, so the output is always valid JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace launcher::pack {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // Inside an object every value is preceded by its Key.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view utf8);
  JsonWriter& Int(std::int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Key and value in one step.
  JsonWriter& Field(std::string_view name, std::string_view utf8) { return Key(name).String(utf8); }
  JsonWriter& Field(std::string_view name, const char* utf8) { return Key(name).String(utf8); }
  JsonWriter& Field(std::string_view name, std::int64_t value) { return Key(name).Int(value); }
  JsonWriter& Field(std::string_view name, int value) { return Key(name).Int(value); }
  JsonWriter& Field(std::string_view name, bool value) { return Key(name).Bool(value); }

  // The text written so far, with a final line end once every container is closed.
  std::string Text() const { return depth_.empty() ? out_ + "\n" : out_; }

 private:
  void BeforeValue();
  void Quote(std::string_view text);
  void NewLine();
  void End(char close);

  std::string out_;
  std::vector<bool> depth_;  // per open container: has it any member yet
  bool afterKey_ = false;
};

// text as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view utf8);

}  // namespace launcher::pack

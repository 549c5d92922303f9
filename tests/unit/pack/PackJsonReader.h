// A strict little JSON reader for the tests: whatever the packer writes must read back here.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace launcher::pack::fixtures {

struct JsonMember;

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  std::int64_t number = 0;
  std::string text;
  std::vector<JsonValue> items;
  // Its own type rather than a pair: clang rejects a pair naming JsonValue before it is complete.
  std::vector<JsonMember> members;

  const JsonValue& operator[](std::string_view key) const;
  const JsonValue& operator[](std::size_t i) const { return items.at(i); }
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

inline const JsonValue& JsonValue::operator[](std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) {
      return value;
    }
  }
  throw std::runtime_error("no member " + std::string(key));
}

class JsonReader {
 public:
  // Throws on anything that is not one complete JSON value.
  static JsonValue Read(std::string_view text) {
    JsonReader reader(text);
    JsonValue value = reader.Value();
    reader.Blanks();
    if (reader.at_ != text.size()) {
      reader.Fail("trailing text");
    }
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : s_(text) {}

  [[noreturn]] void Fail(const char* what) const {
    throw std::runtime_error(std::string(what) + " at " + std::to_string(at_));
  }
  void Blanks() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\t' || s_[at_] == '\r')) {
      ++at_;
    }
  }
  char Peek() const { return at_ < s_.size() ? s_[at_] : '\0'; }
  char Next() {
    if (at_ >= s_.size()) {
      Fail("unexpected end");
    }
    return s_[at_++];
  }
  void Expect(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) {
      Fail("unexpected word");
    }
    at_ += word.size();
  }

  static void AppendUtf8(std::string* out, std::uint32_t cp) {
    if (cp < 0x80) {
      *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      *out += static_cast<char>(0xC0 | cp >> 6);
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *out += static_cast<char>(0xE0 | cp >> 12);
      *out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | cp >> 18);
      *out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      *out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::uint32_t Hex4() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = Next();
      v <<= 4;
      if (c >= '0' && c <= '9') {
        v |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        v |= c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        v |= c - 'A' + 10;
      } else {
        Fail("bad \\u escape");
      }
    }
    return v;
  }

  std::string String() {
    if (Next() != '"') {
      Fail("expected a string");
    }
    std::string out;
    for (char c = Next(); c != '"'; c = Next()) {
      if (static_cast<unsigned char>(c) < 0x20) {
        Fail("raw control character");
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      switch (char e = Next()) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          std::uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp < 0xDC00) {
            Expect("\\u");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
          }
          AppendUtf8(&out, cp);
          break;
        }
        default:
          Fail("bad escape");
      }
    }
    return out;
  }

  JsonValue Value() {
    Blanks();
    JsonValue v;
    char c = Peek();
    if (c == '{') {
      v.type = JsonValue::Type::kObject;
      ++at_;
      Blanks();
      if (Peek() == '}') {
        return ++at_, v;
      }
      do {
        Blanks();
        std::string key = String();
        Blanks();
        if (Next() != ':') {
          Fail("expected ':'");
        }
        v.members.push_back({std::move(key), Value()});
        Blanks();
      } while (Peek() == ',' && ++at_);
      if (Next() != '}') {
        Fail("expected '}'");
      }
    } else if (c == '[') {
      v.type = JsonValue::Type::kArray;
      ++at_;
      Blanks();
      if (Peek() == ']') {
        return ++at_, v;
      }
      do {
        v.items.push_back(Value());
        Blanks();
      } while (Peek() == ',' && ++at_);
      if (Next() != ']') {
        Fail("expected ']'");
      }
    } else if (c == '"') {
      v.type = JsonValue::Type::kString;
      v.text = String();
    } else if (c == 't' || c == 'f') {
      v.type = JsonValue::Type::kBool;
      v.boolean = c == 't';
      Expect(v.boolean ? "true" : "false");
    } else if (c == 'n') {
      Expect("null");
    } else {
      v.type = JsonValue::Type::kNumber;
      std::size_t used = 0;
      v.number = std::stoll(std::string(s_.substr(at_, 24)), &used);
      at_ += used;
    }
    return v;
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

}  // namespace launcher::pack::fixtures

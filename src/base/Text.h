// Text in the model's code page (GBK, as packaged) and its conversions. Conversion to UTF-8
// for the toolkit happens here and nowhere else. The conversions themselves are the platform's
// (TextPosix.cpp); the byte rules are shared (Text.cpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace launcher {

// True when text starts with lowerPrefix, comparing ASCII letters without case (lowerPrefix is
// written in lower case: "http://").
constexpr bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != lowerPrefix[i]) {
      return false;
    }
  }
  return true;
}

// True for a byte that starts a double-byte GBK character.
constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The longest prefix of text of at most maxBytes bytes that does not end inside a double-byte
// character.
std::size_t GbkPrefixLength(std::string_view text, std::size_t maxBytes);

// Position of the last byte ch that is a character of its own (not the second byte of a
// double-byte character), or npos.
std::size_t GbkFindLast(std::string_view text, char ch);

// GBK to UTF-8; bytes that are not GBK become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

// Loads the converters' code now and keeps it for the rest of the process, so that no later
// conversion has to load it: the loader's lock may then be held for long by another thread (a
// library loading in the background). Any thread; later calls do nothing.
void PreloadTextConversion();

// UTF-8 to GBK. On a character GBK cannot hold (or bytes that are not UTF-8) gives nothing and,
// when badOffset is given, the byte offset of the first such character.
std::optional<std::string> Utf8ToGbk(std::string_view utf8, std::size_t* badOffset = nullptr);

// Our own fixed texts are written as UTF-8 in the sources; this gives them in the model's code
// page. Texts that GBK cannot hold are a programming error and come back unchanged.
std::string Gbk(std::string_view utf8);

// True when text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace launcher

#include "base/Text.h"

namespace launcher {

std::size_t GbkPrefixLength(std::string_view text, std::size_t maxBytes) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t width =
        IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (i + width > maxBytes) {
      break;
    }
    i += width;
  }
  return i;
}

std::size_t GbkFindLast(std::string_view text, char ch) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size();) {
    if (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (text[i] == ch) {
      found = i;
    }
    ++i;
  }
  return found;
}

std::string Gbk(std::string_view utf8) {
  auto converted = Utf8ToGbk(utf8);
  return converted ? *converted : std::string(utf8);
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra;
    char32_t min;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if ((c & 0xE0) == 0xC0) {
      extra = 1;
      min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) {
      return false;
    }
    char32_t cp = c & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) {
        return false;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace launcher

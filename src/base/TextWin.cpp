// The conversions between GBK and UTF-8 on Windows: the system's code page 936, named
// explicitly (never the machine's ANSI code page). Its table is taken with two corrections so
// that a text gives the same result here as on the other platforms: the user-defined areas
// (private-use characters) are not GBK, and a byte that is not GBK costs one U+FFFD and the
// conversion goes on at the next byte.
#include <windows.h>

#include <cstdint>
#include <string>

#include "base/Text.h"
#include "base/WinText.h"

namespace launcher {
namespace {

constexpr UINT kGbkCodePage = 936;
constexpr wchar_t kReplacement = 0xFFFD;

bool IsPrivateUse(char32_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// Converts bytes of code page 936 with the system, refusing what its table does not hold;
// false when any of them is not GBK.
bool SystemGbkToWide(std::string_view gbk, std::wstring* out) {
  out->clear();
  if (gbk.empty()) {
    return true;
  }
  int n = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(),
                              static_cast<int>(gbk.size()), nullptr, 0);
  if (n <= 0) {
    return false;
  }
  out->resize(static_cast<std::size_t>(n));
  if (MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(),
                          static_cast<int>(gbk.size()), out->data(), n) != n) {
    return false;
  }
  for (wchar_t c : *out) {
    if (IsPrivateUse(c)) {
      return false;
    }
  }
  return true;
}

// One code point of strict UTF-8 at text[*pos] (no overlong forms, no surrogates, nothing past
// U+10FFFF), advancing *pos; -1 when the bytes there are not UTF-8.
long DecodeUtf8(std::string_view text, std::size_t* pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::size_t i = *pos;
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    *pos = i + 1;
    return b0;
  }
  std::size_t length;
  long cp;
  long min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return -1;
  }
  if (text.size() - i < length) {
    return -1;
  }
  for (std::size_t k = 1; k < length; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return -1;
  }
  *pos = i + length;
  return cp;
}

void AppendUtf16(long cp, std::wstring* out) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(cp));
  }
}

// UTF-16 to code page 936 without the table's nearest-looking substitutes; false when any
// character has no GBK bytes of its own.
bool SystemWideToGbk(std::wstring_view wide, std::string* out) {
  out->clear();
  if (wide.empty()) {
    return true;
  }
  for (wchar_t c : wide) {
    if (IsPrivateUse(c)) {
      return false;
    }
  }
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) {
    return false;
  }
  out->resize(static_cast<std::size_t>(n));
  return WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                             static_cast<int>(wide.size()), out->data(), n, nullptr,
                             &usedDefault) == n &&
         !usedDefault;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty()) {
    return {};
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) {
    return {};
  }
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

void PreloadTextConversion() {
  // The code page's table is loaded on its first use; use it once now.
  static const bool loaded = [] {
    std::wstring wide;
    return SystemGbkToWide("\xD0\xC7", &wide);
  }();
  (void)loaded;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::wstring wide;
  if (SystemGbkToWide(gbk, &wide)) {
    return WideToUtf8(wide);
  }
  // Some bytes are not GBK: character by character, each such byte one U+FFFD.
  wide.clear();
  std::wstring one;
  std::size_t i = 0;
  while (i < gbk.size()) {
    std::size_t length = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) ? 2 : 1;
    if (i + length <= gbk.size() && SystemGbkToWide(gbk.substr(i, length), &one)) {
      wide += one;
      i += length;
    } else {
      wide.push_back(kReplacement);
      ++i;
    }
  }
  return WideToUtf8(wide);
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8, std::size_t* badOffset) {
  std::wstring wide;
  wide.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::size_t start = pos;
    long cp = DecodeUtf8(utf8, &pos);
    if (cp < 0) {
      if (badOffset) {
        *badOffset = start;
      }
      return std::nullopt;
    }
    AppendUtf16(cp, &wide);
  }
  std::string out;
  if (SystemWideToGbk(wide, &out)) {
    return out;
  }
  // Some character has no GBK bytes: find the first one for the caller.
  if (badOffset) {
    std::string unused;
    pos = 0;
    while (pos < utf8.size()) {
      std::size_t start = pos;
      std::wstring one;
      AppendUtf16(DecodeUtf8(utf8, &pos), &one);
      if (!SystemWideToGbk(one, &unused)) {
        *badOffset = start;
        break;
      }
    }
  }
  return std::nullopt;
}

}  // namespace launcher

#include "ui/Text.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace ui {
namespace {

// Owns one iconv conversion descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts one step; returns false on an unconvertible or malformed sequence at *in.
  bool Step(const char** in, std::size_t* inLeft, std::string* out) {
    char buffer[256];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t r = iconv(cd_, const_cast<char**>(in), inLeft, &outPtr, &outLeft);
    out->append(buffer, outPtr - buffer);
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::size_t GbkPrefixLength(std::string_view text, std::size_t maxBytes) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t width =
        IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (i + width > maxBytes) break;
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
    if (text[i] == ch) found = i;
    ++i;
  }
  return found;
}

void PreloadTextConversion() {
  // Never closed: an open descriptor keeps its module loaded.
  static const bool loaded = [] {
    iconv_open("UTF-8", "GBK");
    iconv_open("GBK", "UTF-8");
    return true;
  }();
  (void)loaded;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  Converter conv("UTF-8", "GBK");
  if (!conv.Ok()) return std::string(gbk);
  const char* in = gbk.data();
  std::size_t left = gbk.size();
  while (left > 0) {
    if (!conv.Step(&in, &left, &out)) {
      out += "\xEF\xBF\xBD";  // U+FFFD for the byte that is not GBK
      ++in;
      --left;
    }
  }
  return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8, std::size_t* badOffset) {
  std::string out;
  Converter conv("GBK", "UTF-8");
  if (!conv.Ok()) return std::nullopt;
  const char* in = utf8.data();
  std::size_t left = utf8.size();
  while (left > 0) {
    if (!conv.Step(&in, &left, &out)) {
      if (badOffset) *badOffset = static_cast<std::size_t>(in - utf8.data());
      return std::nullopt;
    }
  }
  return out;
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
    } else if ((c & 0xE0) == 0xC0) {
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
    if (i + extra >= text.size()) return false;
    char32_t cp = c & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace ui

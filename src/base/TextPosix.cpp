// The conversions between GBK and UTF-8 on POSIX systems: iconv.
#include <iconv.h>

#include <cerrno>
#include <memory>

#include "base/Text.h"

namespace launcher {
namespace {

// Owns one iconv conversion descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) {
      iconv_close(cd_);
    }
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
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      return false;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

void PreloadTextConversion() {
  // Never closed: an open descriptor keeps its module loaded. One that failed to open needs no
  // answer here; the conversions report their own failure.
  static const iconv_t toUtf8 = iconv_open("UTF-8", "GBK");
  static const iconv_t toGbk = iconv_open("GBK", "UTF-8");
  (void)toUtf8;
  (void)toGbk;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  Converter conv("UTF-8", "GBK");
  if (!conv.Ok()) {
    return std::string(gbk);
  }
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
  if (!conv.Ok()) {
    return std::nullopt;
  }
  const char* in = utf8.data();
  std::size_t left = utf8.size();
  while (left > 0) {
    if (!conv.Step(&in, &left, &out)) {
      if (badOffset) {
        *badOffset = static_cast<std::size_t>(in - utf8.data());
      }
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace launcher

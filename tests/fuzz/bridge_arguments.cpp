// Arguments of the game page's calls of the client, as page script can make them: any number of
// values of any type, text with any bytes. The rules must never read past a value, and what
// they hand on must keep their limits: the value at most 255 bytes, the title at most 255 bytes
// and never ending inside a double-byte character, page text always valid GBK.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "browser/GameDialogCallback.h"
#include "ui/Browser.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Each value: one byte of type, then for text a length byte and that many bytes of UTF-8 as the
// engine would hand them over (converted as the backend converts them), for numbers 8 bytes.
std::vector<ui::ScriptValue> Decode(std::string_view in) {
  std::vector<ui::ScriptValue> args;
  while (!in.empty() && args.size() < 8) {
    const unsigned char type = static_cast<unsigned char>(in[0]);
    in.remove_prefix(1);
    switch (type % 5) {
      case 0: {
        std::size_t n = in.empty() ? 0 : static_cast<unsigned char>(in[0]) * 2u;
        if (!in.empty()) in.remove_prefix(1);
        n = std::min(n, in.size());
        const std::string gbk = ui::PageTextToGbk(in.substr(0, n));
        Check(launcher::GbkPrefixLength(gbk, gbk.size()) == gbk.size());
        args.push_back(ui::ScriptValue::Text(gbk));
        in.remove_prefix(n);
        break;
      }
      case 1: {
        double number = 0;
        if (in.size() >= sizeof number) {
          std::memcpy(&number, in.data(), sizeof number);
          in.remove_prefix(sizeof number);
        }
        args.push_back(ui::ScriptValue::Number(number));
        break;
      }
      case 2:
        args.push_back(ui::ScriptValue::Boolean(type & 0x80));
        break;
      case 3:
        args.push_back(ui::ScriptValue::Null());
        break;
      default:
        args.push_back(ui::ScriptValue::Other());
        break;
    }
  }
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<ui::ScriptValue> args =
      Decode(std::string_view(reinterpret_cast<const char*>(data), size));
  const int command = launcher::JsCallCommand(args);
  if (args.empty() || args[0].type != ui::ScriptValue::Type::kText) Check(command == 0);
  if (const auto value = launcher::JsCallValue(args)) {
    Check(value->size() <= launcher::kMaxJsCallValueBytes);
    Check(value->find('\0') == std::string::npos);
    const std::string title = launcher::ExtendedTitle(launcher::Gbk("星辰远征"), *value);
    Check(title.size() <= 255);
    Check(launcher::GbkPrefixLength(title, title.size()) == title.size());
    launcher::IsPageSettableLink(*value);
  }
  return 0;
}

#include "browser/GameDialogCallback.h"

#include "base/Text.h"
#include "browser/WebBrowserEx.h"
#include "config/LauncherConfig.h"

namespace launcher {

std::int32_t ClientCall::AddRef() { return ++refCount_; }

std::int32_t ClientCall::Release() {
  std::int32_t count = refCount_.load();
  while (count > 0 && !refCount_.compare_exchange_weak(count, count - 1)) {
  }
  return count > 0 ? count - 1 : count;
}

std::optional<int> ClientCall::GetIDsOfNames(std::string_view /*name*/) { return std::nullopt; }

ui::ScriptValue ClientCall::Invoke(int /*dispid*/, const std::vector<ui::ScriptValue>& /*args*/) {
  return ui::ScriptValue::Undefined();
}

std::vector<std::string> ClientCall::MemberNames() const { return {}; }

std::optional<int> GameDialogCallback::GetIDsOfNames(std::string_view name) {
  if (name == kJsCallClientName) {
    return kDispidJsCallClient;
  }
  return std::nullopt;
}

ui::ScriptValue GameDialogCallback::Invoke(int dispid, const std::vector<ui::ScriptValue>& args) {
  if (dispid == kDispidJsCallClient && handler_) {
    handler_->OnJsCallClient(args);
  }
  return ui::ScriptValue::Undefined();
}

std::vector<std::string> GameDialogCallback::MemberNames() const { return {kJsCallClientName}; }

int JsCallCommand(const std::vector<ui::ScriptValue>& args) {
  if (args.empty() || args[0].type != ui::ScriptValue::Type::kText) {
    return 0;
  }
  // The text up to a NUL, as a C string reading of it would see it.
  return ParseConfigInt(args[0].text.c_str());
}

std::optional<std::string> JsCallValue(const std::vector<ui::ScriptValue>& args) {
  if (args.size() < 2 || args[1].type != ui::ScriptValue::Type::kText) {
    return std::nullopt;
  }
  std::string value = args[1].text.substr(0, args[1].text.find('\0'));
  if (value.size() > kMaxJsCallValueBytes) {
    return std::nullopt;
  }
  return value;
}

std::string ExtendedTitle(std::string_view title, std::string_view value) {
  std::string text;
  text.reserve(title.size() + 1 + value.size());
  text.append(title).append("-").append(value);
  text.resize(GbkPrefixLength(text, kMaxJsCallValueBytes));
  return text;
}

bool IsPageSettableLink(std::string_view address) { return IsWebAddress(address); }

}  // namespace launcher

// The object page script reaches as window.external: the game window's script bridge is one.
// The browser host hands it to its documents (CWebUIController::GetExternal) and routes their
// calls to it by name. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Browser.h"

namespace launcher {

class IScriptExternal {
 public:
  // The dispatch identifier of a member, by its exact name (GBK, compared byte for byte, so
  // letter case counts); nothing when the object has no such member, which the page sees as a
  // member that is not supported.
  virtual std::optional<int> GetIDsOfNames(std::string_view name) = 0;
  // Calls the member with the script's arguments in script order (first argument first). The
  // result goes back to the page; Undefined when there is nothing to give.
  virtual ui::ScriptValue Invoke(int dispid, const std::vector<ui::ScriptValue>& args) = 0;
  // The names GetIDsOfNames knows. A page cannot wait for the host while it looks a name up, so
  // the members are put on its object before its first script runs; only the names
  // GetIDsOfNames accepts are put there.
  virtual std::vector<std::string> MemberNames() const = 0;

 protected:
  ~IScriptExternal() = default;
};

}  // namespace launcher

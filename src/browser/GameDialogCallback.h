// The game page's script bridge: the object page script reaches as window.external in the game
// window. It has one member, JsCallClient(command, value), and forwards every call of it to the
// window that owns it. The rules that read a call's arguments are here too, as functions.
//
// UI thread only: the page engine calls the external object on the thread of the window that
// shows the page. Only the reference count tolerates other threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/ScriptExternal.h"

namespace launcher {

// The automation object every external object of ours starts from: a reference count, and no
// members (every name is unknown, every call does nothing).
class ClientCall : public IScriptExternal {
 public:
  ClientCall() = default;
  virtual ~ClientCall() = default;
  ClientCall(const ClientCall&) = delete;
  ClientCall& operator=(const ClientCall&) = delete;

  // The count starts at 1. Release never goes below 0 and never destroys the object: its owner
  // does, after the browser that hands it to pages is gone.
  std::int32_t AddRef();
  std::int32_t Release();
  std::int32_t RefCount() const { return refCount_.load(); }

  std::optional<int> GetIDsOfNames(std::string_view name) override;
  ui::ScriptValue Invoke(int dispid, const std::vector<ui::ScriptValue>& args) override;
  std::vector<std::string> MemberNames() const override;

 private:
  std::atomic<std::int32_t> refCount_{1};
};

// The window that performs the page's JsCallClient calls (the game window).
class IJsCallClientHandler {
 public:
  // args as the page passed them, first argument first.
  virtual void OnJsCallClient(const std::vector<ui::ScriptValue>& args) = 0;

 protected:
  ~IJsCallClientHandler() = default;
};

inline constexpr char kJsCallClientName[] = "JsCallClient";
inline constexpr int kDispidJsCallClient = 100;

class GameDialogCallback : public ClientCall {
 public:
  // handler is the window that owns this object (not owned here); null forwards nothing.
  explicit GameDialogCallback(IJsCallClientHandler* handler) : handler_(handler) {}

  // "JsCallClient", exactly (letter case counts), is 100; every other name is unknown.
  std::optional<int> GetIDsOfNames(std::string_view name) override;
  // 100 goes to the handler, whatever the call kind; nothing comes back to the page, and no call
  // fails there.
  ui::ScriptValue Invoke(int dispid, const std::vector<ui::ScriptValue>& args) override;
  std::vector<std::string> MemberNames() const override;

 private:
  IJsCallClientHandler* handler_;
};

// The bridge's command codes.
enum JsCallClientCode : int {
  kJsCallClose = 1,        // close the game window at once, without the question
  kJsCallRestart = 2,      // start the program anew, then close as 1
  kJsCallNothing3 = 3,     // accepted, no effect
  kJsCallSetLink = 4,      // value becomes the link of the first type-12 button
  kJsCallNothing5 = 5,     // accepted, no effect
  kJsCallExtendTitle = 6,  // the title becomes "<title>-<value>"
};

// The longest value (in the model's code page, without a terminator) a command takes.
inline constexpr std::size_t kMaxJsCallValueBytes = 255;

// The command of a call: its first argument read as a decimal number when it is text (leading
// blanks, optional sign, digits up to the first other character, 0 without digits). Anything
// else, script numbers included, is 0: a page passes the command as text.
int JsCallCommand(const std::vector<ui::ScriptValue>& args);

// The value of a call: its second argument when that is text (up to a NUL), in the model's code
// page, and not longer than kMaxJsCallValueBytes; nothing otherwise, and the command then does
// nothing.
std::optional<std::string> JsCallValue(const std::vector<ui::ScriptValue>& args);

// The title the page asks for: "<title>-<value>", cut to at most 255 bytes without splitting a
// double-byte character.
std::string ExtendedTitle(std::string_view title, std::string_view value);

// Whether page script may put this address on a button: only web addresses (http:// or
// https://, scheme in any letter case). A page must not make the player's click open a local
// file, start a program or hand some other scheme to the desktop.
bool IsPageSettableLink(std::string_view address);

}  // namespace launcher

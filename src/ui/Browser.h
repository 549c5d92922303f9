// The framework's browser control: web pages shown in a native child window. The backend loads
// pages, runs their script and reports; the system decides. What a document looks like (border,
// scroll bars, context menu) and which external object its script sees are the answers of a
// DocumentHandler the system installs on the control, and the control's events reach the parent
// window as kWmBrowserEvent messages, keyed by control identifier and event identifier, the way
// a dialog's event table expects them. UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Window.h"

namespace ui {

// A value of page script as it arrives with a call of the external object, or goes back as the
// call's result. The script's own types are kept: text stays text, numbers stay numbers.
struct ScriptValue {
  enum class Type { kUndefined, kNull, kBoolean, kNumber, kText, kOther };
  Type type = Type::kUndefined;
  bool boolean = false;
  double number = 0;
  std::string text;  // kText, in the model's code page (GBK)

  static ScriptValue Undefined() { return {}; }
  static ScriptValue Null() { return {Type::kNull}; }
  static ScriptValue Boolean(bool value) { return {Type::kBoolean, value}; }
  static ScriptValue Number(double value) { return {Type::kNumber, false, value}; }
  static ScriptValue Text(std::string gbk) { return {Type::kText, false, 0, std::move(gbk)}; }
  // Objects, arrays, functions and the other kinds the bridge has no use for; no value.
  static ScriptValue Other() { return {Type::kOther}; }
  friend bool operator==(const ScriptValue&, const ScriptValue&) = default;
};

// Text from the page (UTF-8, as the engine hands it over) in the model's code page, converted
// once, here. Each character GBK cannot hold (and each byte that is not UTF-8) becomes "?", so
// the result is never refused and keeps its length in characters.
std::string PageTextToGbk(std::string_view utf8);

// Event identifiers of the control, keeping the values of the platform the system's event tables
// were written for.
inline constexpr int kDispidBeforeNavigate2 = 250;
inline constexpr int kDispidNavigateComplete2 = 252;
inline constexpr int kDispidDocumentComplete = 259;

// Sent (not posted) to the control's parent for each event: wParam the control identifier,
// lParam a BrowserEvent* valid during the call. The answer is ignored. The handler may destroy
// the control, even its whole window.
inline constexpr unsigned kWmBrowserEvent = kWmApp + 0x3F00;

struct BrowserEvent {
  int controlId = 0;
  int dispid = 0;
  std::string url;  // GBK, converted with PageTextToGbk
  // NavigateComplete2 and DocumentComplete: the page itself rather than one of its frames.
  // BeforeNavigate2: engines that do not say which frame navigates report true.
  bool topLevel = true;
  // BeforeNavigate2: started by the control's own Navigate, by the page's top document or by a
  // frame of the same origin as it. False when a document of another origin started it, and
  // when the engine does not tell who did (such a navigation must not be trusted).
  bool sameOrigin = true;
  bool cancel = false;  // BeforeNavigate2: a handler sets it to stop the navigation
};

// What a call of the external object carries: the first kMaxExternalArguments arguments (the
// page's further ones are not looked at), and texts only up to kMaxExternalTextBytes as the page
// holds them (UTF-16); a longer text arrives as ScriptValue::Other, never converted. A page can
// then not hold the UI thread with one call.
inline constexpr std::size_t kMaxExternalArguments = 2;
inline constexpr std::size_t kMaxExternalTextBytes = std::size_t{64} * 1024;

// Host information flags a document handler may set (the platform's values).
inline constexpr unsigned kDocHostUiFlagNo3DBorder = 0x4;
inline constexpr unsigned kDocHostUiFlagScrollNo = 0x8;

// The questions a control's documents ask their host. Installed with
// BrowserControl::SetDocumentHandler: every document and frame the control creates from then on
// is presented as the handler answers at that time; documents that exist already keep what they
// had. The control holds one reference (AddRef) while the handler is installed and gives it
// back (Release) when it is replaced or the control's window is destroyed; the handler must
// outlive its installation (a control that owns its handler destroys its window first).
class DocumentHandler {
 public:
  virtual int AddRef() = 0;
  virtual int Release() = 0;
  // True when the host takes care of the context menu itself (shows its own, or none): the
  // engine then shows none in the document.
  virtual bool ShowContextMenu() = 0;
  // Adds kDocHostUiFlag* bits to flags; other bits stay as they are.
  virtual void GetHostInfo(unsigned& flags) = 0;
  // The object the document's script sees as window.external: true, with the names of the
  // members script may call (GBK); false when the document has none, so that window.external is
  // whatever the engine has of its own (nothing to call).
  virtual bool GetExternal(std::vector<std::string>& memberNames) = 0;
  // A call window.external.<name>(args...) from a document that got this handler's external
  // object; args in script order. The result goes back to the page; nothing makes the call
  // fail there as a call of a member the object does not have.
  virtual std::optional<ScriptValue> InvokeExternal(std::string_view name,
                                                    const std::vector<ScriptValue>& args) = 0;

 protected:
  ~DocumentHandler() = default;
};

namespace backend {
class NativeBrowser;
}

class BrowserControl : public Window {
 public:
  BrowserControl();
  ~BrowserControl() override;

  // Creates the control as a child window (kWsChild is implied) with its web view. False when
  // the parent is not created or no web view can be shown here; nothing is left behind then.
  bool Create(std::string_view text, unsigned style, const Rect& rect, Window* parent, int id);
  // True while the control is created with its web view.
  bool HasWebView() const { return IsCreated() && browser_ != nullptr; }

  // Starts loading an address (GBK) and returns at once. The address goes to the engine as
  // given, without escaping or checks. False only when the control has no web view.
  bool Navigate(std::string_view url);

  // Shows html (GBK) as the document of the address url in place of what the engine would show,
  // for instance the host's own page when the address cannot be reached. Returns at once; false
  // only when the control has no web view.
  bool LoadHtml(std::string_view html, std::string_view url);

  // Silent: the page raises no dialog boxes for its own script errors. Kept across Create.
  void SetSilent(bool silent);
  bool GetSilent() const { return silent_; }

  // Installs handler (null removes it: documents created afterwards get the engine's defaults).
  // False, with nothing changed, while the window is not created.
  bool SetDocumentHandler(DocumentHandler* handler);
  DocumentHandler* GetDocumentHandler() const { return handler_; }
  // The installed handler's answers have changed; documents created from now on get the new
  // ones.
  void DocumentHandlerChanged();

  LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override;

 protected:
  // The page asked for a new window (a link with a new-window target, window.open) on url
  // (GBK). The control never opens one; by default nothing happens.
  virtual void OnNewWindow(std::string_view url);
  // The page's top document could not be loaded from url (GBK): the server cannot be reached.
  // True when the control put a page of its own there (LoadHtml, during this call) in place of
  // the engine's; by default false. Neither call may destroy the control.
  virtual bool OnNavigateError(std::string_view url);

 private:
  class Events;

  std::unique_ptr<Events> events_;
  backend::NativeBrowser* browser_ = nullptr;  // owned by the window as its native child
  DocumentHandler* handler_ = nullptr;         // one reference held while installed
  bool silent_ = false;
};

// Empties the engine's memory and disk caches for every control of the process (pages, scripts,
// pictures it keeps to load them faster); cookies, history and the pages' stored data stay.
// Returns at once; done, when given, runs later on the UI thread with false when the engine
// reported a failure.
void ClearBrowserCache(std::function<void(bool)> done = nullptr);

}  // namespace ui

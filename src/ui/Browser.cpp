#include "ui/Browser.h"

#include <algorithm>

#include "base/Text.h"
#include "ui/backend/Backend.h"

namespace ui {

namespace {

// Length of the UTF-8 sequence a lead byte starts; 1 for bytes that start none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead <= 0xEF ? 3 : 1;
  }
  if (lead >= 0xC2) {
    return 2;
  }
  return 1;
}

}  // namespace

std::string PageTextToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    std::size_t bad = 0;
    if (auto converted = launcher::Utf8ToGbk(utf8, &bad)) {
      out += *converted;
      break;
    }
    // Everything before the first character GBK cannot hold converts; that character becomes
    // one "?" (a broken sequence only as far as it is one).
    out += *launcher::Utf8ToGbk(utf8.substr(0, bad));
    std::size_t skip =
        std::min(SequenceLength(static_cast<unsigned char>(utf8[bad])), utf8.size() - bad);
    if (skip > 1 && !launcher::IsValidUtf8(utf8.substr(bad, skip))) {
      skip = 1;
    }
    out += '?';
    utf8.remove_prefix(bad + skip);
  }
  return out;
}

// -----------------------------------------------------------------------------------------------
// What the native browser reports, turned into the control's events and the handler's answers.

class BrowserControl::Events : public backend::BrowserEvents {
 public:
  explicit Events(BrowserControl& control) : control_(control) {}

  bool OnBeforeNavigate(std::string_view url, bool topLevel, bool sameOrigin) override {
    BrowserEvent event = Make(kDispidBeforeNavigate2, url, topLevel);
    event.sameOrigin = sameOrigin;
    Fire(event);
    return !event.cancel;
  }
  void OnNavigateComplete(std::string_view url, bool topLevel) override {
    BrowserEvent event = Make(kDispidNavigateComplete2, url, topLevel);
    Fire(event);
  }
  void OnDocumentComplete(std::string_view url) override {
    BrowserEvent event = Make(kDispidDocumentComplete, url, true);
    Fire(event);
  }

  backend::DocumentPresentation Presentation() override {
    backend::DocumentPresentation presentation;
    DocumentHandler* handler = control_.handler_;
    if (!handler) {
      return presentation;
    }
    unsigned flags = 0;
    handler->GetHostInfo(flags);
    presentation.border = (flags & kDocHostUiFlagNo3DBorder) == 0;
    presentation.scrollBars = (flags & kDocHostUiFlagScrollNo) == 0;
    presentation.contextMenu = !handler->ShowContextMenu();
    std::vector<std::string> names;
    presentation.external = handler->GetExternal(names);
    if (presentation.external) {
      for (const std::string& name : names) {
        presentation.externalMembers.push_back(launcher::GbkToUtf8(name));
      }
    }
    return presentation;
  }

  std::optional<ScriptValue> OnExternalCall(std::string_view name,
                                            const std::vector<ScriptValue>& args) override {
    // The handler installed now answers; a document may be older than it, but calls only ever
    // reach an object through the names it declared.
    DocumentHandler* handler = control_.handler_;
    if (!handler || !control_.IsCreated()) {
      return std::nullopt;
    }
    std::vector<ScriptValue> gbkArgs = args;
    for (ScriptValue& arg : gbkArgs) {
      if (arg.type == ScriptValue::Type::kText) {
        arg.text = PageTextToGbk(arg.text);
      }
    }
    std::optional<ScriptValue> result = handler->InvokeExternal(PageTextToGbk(name), gbkArgs);
    if (result && result->type == ScriptValue::Type::kText) {
      result->text = launcher::GbkToUtf8(result->text);
    }
    return result;
  }

  void OnFocusIn() override {
    if (control_.IsCreated() && GetFocus() != &control_) {
      control_.SetFocus();
    }
  }

  void OnNewWindow(std::string_view url) override {
    if (control_.IsCreated()) {
      control_.OnNewWindow(PageTextToGbk(url));
    }
  }

  bool OnNavigateError(std::string_view url) override {
    return control_.IsCreated() && control_.OnNavigateError(PageTextToGbk(url));
  }

 private:
  BrowserEvent Make(int dispid, std::string_view url, bool topLevel) const {
    BrowserEvent event;
    event.controlId = control_.GetDlgCtrlID();
    event.dispid = dispid;
    event.url = PageTextToGbk(url);
    event.topLevel = topLevel;
    return event;
  }
  // The parent may destroy the control while it handles the event: nothing of this object is
  // used afterwards.
  void Fire(BrowserEvent& event) {
    if (!control_.IsCreated()) {
      return;
    }
    Window* parent = control_.GetParent();
    if (!parent) {
      return;
    }
    parent->SendMessage(kWmBrowserEvent, static_cast<WParam>(event.controlId),
                        reinterpret_cast<LParam>(&event));
  }

  BrowserControl& control_;
};

// -----------------------------------------------------------------------------------------------
// BrowserControl

BrowserControl::BrowserControl() : events_(std::make_unique<Events>(*this)) {}

BrowserControl::~BrowserControl() {
  // Here, not in the base: kWmDestroy must still reach this class, and the web view must go
  // while the events it reports to still exist.
  DestroyWindow();
  browser_ = nullptr;
  backend::WindowAccess::SetChild(*this, nullptr);
}

bool BrowserControl::Create(std::string_view text, unsigned style, const Rect& rect, Window* parent,
                            int id) {
  if (IsCreated() || !parent || !parent->IsCreated()) {
    return false;
  }
  std::unique_ptr<backend::NativeBrowser> native = backend::CreateNativeBrowser(events_.get());
  if (!native) {
    return false;
  }
  browser_ = native.get();
  backend::WindowAccess::SetChild(*this, std::move(native));
  // The framework attaches the web view to the top-level and places it.
  if (!Window::Create(text, style | kWsChild, rect, parent, id)) {
    browser_ = nullptr;
    backend::WindowAccess::SetChild(*this, nullptr);
    return false;
  }
  if (!browser_->Ready()) {
    DestroyWindow();
    browser_ = nullptr;
    backend::WindowAccess::SetChild(*this, nullptr);
    return false;
  }
  browser_->SetSilent(silent_);
  return true;
}

bool BrowserControl::Navigate(std::string_view url) {
  if (!IsCreated() || !browser_) {
    return false;
  }
  return browser_->Navigate(launcher::GbkToUtf8(url));
}

bool BrowserControl::LoadHtml(std::string_view html, std::string_view url) {
  if (!IsCreated() || !browser_) {
    return false;
  }
  return browser_->LoadHtml(launcher::GbkToUtf8(html), launcher::GbkToUtf8(url));
}

void BrowserControl::OnNewWindow(std::string_view /*url*/) {}

bool BrowserControl::OnNavigateError(std::string_view /*url*/) { return false; }

void BrowserControl::SetSilent(bool silent) {
  silent_ = silent;
  if (IsCreated() && browser_) {
    browser_->SetSilent(silent);
  }
}

bool BrowserControl::SetDocumentHandler(DocumentHandler* handler) {
  if (!IsCreated()) {
    return false;
  }
  if (handler == handler_) {
    return true;
  }
  DocumentHandler* old = handler_;
  handler_ = handler;
  if (handler_) {
    handler_->AddRef();
  }
  if (old) {
    old->Release();
  }
  DocumentHandlerChanged();
  return true;
}

void BrowserControl::DocumentHandlerChanged() {
  if (IsCreated() && browser_) {
    browser_->PresentationChanged();
  }
}

LResult BrowserControl::WindowProc(unsigned message, WParam wParam, LParam lParam) {
  if (message == kWmDestroy && handler_) {
    // The documents go with the window, and with them the handler's last use.
    DocumentHandler* handler = handler_;
    handler_ = nullptr;
    handler->Release();
  }
  return Window::WindowProc(message, wParam, lParam);
}

void ClearBrowserCache(std::function<void(bool)> done) {
  backend::ClearBrowserCache(std::move(done));
}

}  // namespace ui

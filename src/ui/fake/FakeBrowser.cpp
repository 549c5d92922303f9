#include "ui/fake/FakeBrowser.h"

#include <algorithm>

#include "ui/backend/Backend.h"

namespace ui {
namespace {

struct BrowserGlobals {
  bool available = true;
  int cacheClearings = 0;
};

BrowserGlobals& Globals() {
  static BrowserGlobals globals;
  return globals;
}

class FakeNativeBrowser : public backend::NativeBrowser {
 public:
  explicit FakeNativeBrowser(backend::BrowserEvents* events) : events(events) {}

  void Attach(backend::NativeWindow* topLevel) override { state.attached = topLevel != nullptr; }
  void SetBounds(const Rect& inTopLevel) override { state.bounds = inTopLevel; }
  void SetVisible(bool visible) override { state.visible = visible; }
  void Focus() override { ++state.focusRequests; }
  bool Ready() const override { return state.attached; }
  bool Navigate(const std::string& url) override {
    if (!state.attached) {
      return false;
    }
    state.navigations.push_back(url);
    return true;
  }
  bool LoadHtml(const std::string& html, const std::string& url) override {
    if (!state.attached) {
      return false;
    }
    state.htmlLoads.push_back({html, url});
    return true;
  }
  void SetSilent(bool silent) override { state.silent = silent; }
  void PresentationChanged() override { ++state.presentationChanges; }

  const fake::FakeDocument* CurrentPage() const {
    auto it = std::find_if(state.documents.rbegin(), state.documents.rend(),
                           [](const fake::FakeDocument& d) { return d.topLevel; });
    return it == state.documents.rend() ? nullptr : &*it;
  }

  backend::BrowserEvents* events;
  fake::BrowserState state;
};

FakeNativeBrowser& NativeOf(const BrowserControl& control) {
  return *static_cast<FakeNativeBrowser*>(backend::WindowAccess::Child(control));
}

fake::DocumentPresentation Recorded(const backend::DocumentPresentation& given) {
  return {given.border, given.scrollBars, given.contextMenu, given.external, given.externalMembers};
}

}  // namespace

namespace backend {

void ClearBrowserCache(std::function<void(bool)> done) {
  ++Globals().cacheClearings;
  const auto finished = std::move(done);
  if (finished) {
    finished(true);
  }
}

std::unique_ptr<NativeBrowser> CreateNativeBrowser(BrowserEvents* events) {
  if (!Globals().available) {
    return nullptr;
  }
  return std::make_unique<FakeNativeBrowser>(events);
}

}  // namespace backend

namespace fake {

void SetBrowserAvailable(bool available) { Globals().available = available; }

void ResetBrowser() { Globals() = BrowserGlobals{}; }

int CacheClearings() { return Globals().cacheClearings; }

const BrowserState& Browser(const BrowserControl& control) { return NativeOf(control).state; }

bool BeforeNavigate(BrowserControl& control, std::string_view url, bool topLevel, bool sameOrigin) {
  return NativeOf(control).events->OnBeforeNavigate(url, topLevel, sameOrigin);
}

void NavigateComplete(BrowserControl& control, std::string_view url, bool topLevel) {
  FakeNativeBrowser& native = NativeOf(control);
  native.state.documents.push_back(
      {std::string(url), topLevel, Recorded(native.events->Presentation())});
  native.events->OnNavigateComplete(url, topLevel);
}

void DocumentComplete(BrowserControl& control, std::string_view url) {
  NativeOf(control).events->OnDocumentComplete(url);
}

void FocusIn(BrowserControl& control) { NativeOf(control).events->OnFocusIn(); }

void NewWindow(BrowserControl& control, std::string_view url) {
  NativeOf(control).events->OnNewWindow(url);
}

bool NavigateError(BrowserControl& control, std::string_view url) {
  return NativeOf(control).events->OnNavigateError(url);
}

std::optional<ScriptValue> CallExternal(BrowserControl& control, std::string_view name,
                                        const std::vector<ScriptValue>& args) {
  FakeNativeBrowser& native = NativeOf(control);
  const FakeDocument* page = native.CurrentPage();
  if (!page || !page->presentation.external) {
    return std::nullopt;
  }
  const auto& members = page->presentation.externalMembers;
  if (std::find(members.begin(), members.end(), name) == members.end()) {
    return std::nullopt;
  }
  // What a call carries, as the engine's backend hands it over.
  std::vector<ScriptValue> carried(args.begin(),
                                   args.begin() + std::min(args.size(), kMaxExternalArguments));
  for (ScriptValue& value : carried) {
    if (value.type == ScriptValue::Type::kText && value.text.size() > kMaxExternalTextBytes) {
      value = ScriptValue::Other();
    }
  }
  return native.events->OnExternalCall(name, carried);
}

bool ContextMenuShown(const BrowserControl& control) {
  const FakeDocument* page = NativeOf(control).CurrentPage();
  return !page || page->presentation.contextMenu;
}

}  // namespace fake
}  // namespace ui

// Test control of the fake backend's browser control: what the code asked of it, and the engine's
// side a test plays (navigation events, documents and frames, page script calling the external
// object). UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Browser.h"

namespace ui::fake {

// What a document was given when it was created: the control's answers of that time.
struct DocumentPresentation {
  bool border = true;
  bool scrollBars = true;
  bool contextMenu = true;
  bool external = false;
  std::vector<std::string> externalMembers;  // UTF-8
  friend bool operator==(const DocumentPresentation&, const DocumentPresentation&) = default;
};

// A document the control created, with the presentation it was created with.
struct FakeDocument {
  std::string url;  // UTF-8
  bool topLevel = true;
  DocumentPresentation presentation;
};

struct BrowserState {
  bool attached = false;
  bool visible = false;
  Rect bounds;  // in the top-level's client coordinates
  bool silent = false;
  int focusRequests = 0;
  std::vector<std::string> navigations;  // UTF-8, as asked, in order
  struct HtmlLoad {
    std::string html;  // UTF-8
    std::string url;   // UTF-8
  };
  std::vector<HtmlLoad> htmlLoads;      // LoadHtml calls, in order
  std::vector<FakeDocument> documents;  // every document created, in order
  int presentationChanges = 0;          // times the control said its answers changed
};

// Whether web views can be made (default true); false makes BrowserControl::Create fail.
void SetBrowserAvailable(bool available);
// Forgets the process-wide records (cache clearing) and makes web views available again.
void ResetBrowser();
int CacheClearings();

// The fake web view of a created control.
const BrowserState& Browser(const BrowserControl& control);

// The engine's events. BeforeNavigate answers whether the navigation goes on. NavigateComplete
// creates a document (asking the control for its presentation, as an engine does when it makes
// one) and then reports it.
bool BeforeNavigate(BrowserControl& control, std::string_view url, bool topLevel = true,
                    bool sameOrigin = true);
void NavigateComplete(BrowserControl& control, std::string_view url, bool topLevel = true);
void DocumentComplete(BrowserControl& control, std::string_view url);
// The user clicked into the page.
void FocusIn(BrowserControl& control);
// The page asked for a new window on url (a new-window link, window.open).
void NewWindow(BrowserControl& control, std::string_view url);
// The top document's server could not be reached; true when the control showed its own page
// (then the last of htmlLoads), false when the engine's error page would show.
bool NavigateError(BrowserControl& control, std::string_view url);

// Page script of the current top-level document calling window.external.<name>(args...). As in
// a page, only the members the document was created with can be called; anything else fails
// there (nothing) without reaching the host. The call carries what an engine's call carries
// (kMaxExternalArguments, long texts as Other). Texts are the page's, UTF-8, both ways.
std::optional<ScriptValue> CallExternal(BrowserControl& control, std::string_view name,
                                        const std::vector<ScriptValue>& args);
// Whether a right click in the current top-level document would show the engine's menu.
bool ContextMenuShown(const BrowserControl& control);

}  // namespace ui::fake

// The browser host control of both windows: a child control with an identifier that shows web
// pages, and the document-host policy (CWebUIController) its documents follow once attached.
// Its events (BeforeNavigate2, NavigateComplete2, DocumentComplete) reach the window that
// contains it as ui::kWmBrowserEvent, by its control identifier. UI thread only.
#pragma once

#include <string_view>

#include "base/Text.h"
#include "browser/ScriptExternal.h"
#include "browser/WebUIController.h"
#include "ui/Browser.h"

namespace launcher {

// Whether an address is a web address (http:// or https://, scheme in any letter case): the
// only addresses a page may hand to the desktop's browser.
constexpr bool IsWebAddress(std::string_view address) {
  return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
}

// The page shown in place of the engine's when the server of url (a web address) cannot be
// reached (GBK HTML): the product's text, a retry button, and a retry by itself every
// kUnreachableRetryMs and when the network comes back; it leaves for url only once the server
// answers, so a server that stays down keeps the page steady. It fits the launcher's small page
// area and a whole screen alike.
std::string UnreachablePage(std::string_view url);
inline constexpr int kUnreachableRetryMs = 5000;

class CWebBrowserEx : public ui::BrowserControl {
 public:
  CWebBrowserEx() = default;
  // Destroys the window while the controller it holds is still there to be released.
  ~CWebBrowserEx() override;

  // Creates the control as a child of parent with its web view; false when that fails (the
  // caller gives up its initialisation). Navigate (from ui::BrowserControl) loads an address.
  bool Create(std::string_view text, unsigned style, const ui::Rect& rect, ui::Window* parent,
              int id);

  // Whether the page may raise dialog boxes for its own script errors (true: it may not).
  void Silent(bool silent) { SetSilent(silent); }

  // Attaches the document-host policy: the documents created from now on draw no 3-D border,
  // and with option 0 show no scroll bars either; no context menu; the external object once one
  // is set. Documents that exist already keep the engine's defaults. 1 on success; 0, with
  // nothing changed, when the control has no web view.
  int AttachDocHostHandler(int option);

  // The object the documents' script sees as window.external (not owned, no reference taken;
  // it must outlive the control). Set it before navigating to the page that uses it.
  void SetExternal(IScriptExternal* external) { controller_.SetExternal(external); }

  CWebUIController& Controller() { return controller_; }

 protected:
  // A page's new window: a web address goes to the desktop's browser, as the link buttons'
  // addresses do; anything else (another scheme, an empty window) is ignored.
  void OnNewWindow(std::string_view url) override;
  // A web address whose server cannot be reached shows UnreachablePage instead of the engine's
  // page (English, technical); other addresses keep the engine's.
  bool OnNavigateError(std::string_view url) override;

 private:
  CWebUIController controller_;
};

}  // namespace launcher

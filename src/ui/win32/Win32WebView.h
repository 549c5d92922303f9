// The browser control's web view on Windows: the system's WebBrowser ActiveX control, hosted in
// place in the top-level window, with our own site answering its questions (presentation,
// external object) and its events turned into the seam's.
#pragma once

#include <exdisp.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/win32/Win32.h"

namespace ui::win32 {

class BrowserSite;

class Win32WebView : public backend::NativeBrowser {
 public:
  explicit Win32WebView(backend::BrowserEvents* events);
  ~Win32WebView() override;

  void Attach(backend::NativeWindow* topLevel) override;
  void SetBounds(const Rect& inTopLevel) override;
  void SetVisible(bool visible) override;
  void Focus() override;

  bool Ready() const override { return browser_ != nullptr; }
  bool Navigate(const std::string& url) override;
  bool LoadHtml(const std::string& html, const std::string& url) override;
  void SetSilent(bool silent) override;
  void PresentationChanged() override;

  // The hosted control (no reference added); null while not attached.
  IWebBrowser2* Control() const { return browser_; }
  // The control's outermost window; null while not attached.
  HWND ControlWindow() const { return controlWindow_; }
  backend::BrowserEvents* Events() const { return events_; }

  // The keyboard's focus moves from losing to gaining (a window hook of the UI thread).
  static void FocusMoved(HWND gaining, HWND losing);

 private:
  friend class BrowserSite;

  bool MakeControl(HWND parent);
  void DropControl();
  void Place();
  bool NavigateTo(const std::wstring& url);
  // Whether a document of the page's own origin started a navigation the host did not ask for.
  bool PageOfOneOrigin();

  // Event handlers, called by the site with the control's arguments.
  void BeforeNavigate(IDispatch* frame, const std::wstring& url, VARIANT_BOOL* cancel);
  void NavigateComplete(IDispatch* frame, const std::wstring& url);
  void DocumentComplete(IDispatch* frame, const std::wstring& url);
  void NavigateError(IDispatch* frame, const std::wstring& url, long status, VARIANT_BOOL* cancel);
  bool IsTop(IDispatch* frame) const;
  void ShowPendingHtml();

  backend::BrowserEvents* events_;
  BrowserSite* site_ = nullptr;  // one reference, from construction to destruction
  HWND parent_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  IOleObject* oleObject_ = nullptr;
  IOleInPlaceObject* inPlace_ = nullptr;
  HWND controlWindow_ = nullptr;
  DWORD cookie_ = 0;  // of the events' connection
  Rect bounds_;
  bool visible_ = false;
  bool silent_ = false;

  // Navigations the host asked for whose BeforeNavigate2 has not come yet, by address as given.
  std::vector<std::wstring> hostAddresses_;
  int hostNavigating_ = 0;  // inside our own call of Navigate

  // LoadHtml: the text waits for the empty document it is written into.
  struct Substitute {
    std::string html;
    std::string url;
  };
  std::optional<Substitute> pendingHtml_;
  std::optional<std::string> shownHtmlUrl_;  // the substitute's address while it is the page
  bool substituteLoading_ = false;           // written, its DocumentComplete not yet reported
};

}  // namespace ui::win32

// The browser control's web view on WebKitGTK: a WebKitWebView in its top-level's child
// container (GtkChildContainer.h), at the control's rectangle. It reports navigations, the
// documents of the page and of its frames, and calls of the external object, and gives each new
// document the presentation the control answers. UI thread only. Handlers never touch this
// object after reporting an event: the event's handler may have destroyed it.
//
// How a document gets its presentation: the engine makes documents in its own process, where the
// UI thread cannot be asked while a document starts. So the control's answer is asked when the
// web view is made and whenever the control says its answers changed, and is turned into a user
// script that the engine runs at the start of every document and frame created from then on
// (documents that exist already keep what they had). The script hides the scroll bars (a style
// sheet adopted by the document: html and body do not overflow, so the page lays out at exactly
// the control's size), cancels the context menu event (the engine then shows no menu), and
// defines window.external with exactly the members the answer names. The engine draws no border
// around documents, so there is nothing to take away for that answer.
//
// The external object exists in the page's top document and in frames of exactly its origin;
// other frames have none. Our own scripts run in a script world of their own, the only one where
// the engine's message channel to this process exists, so page script (of any frame) cannot
// post to the host. A member of the external object describes its first kMaxExternalArguments
// arguments ({type, value}, value only for texts, numbers and booleans; texts over the limit are
// not copied) and hands them to our world as an event on the document; our world's script,
// present in every document, forwards calls of trusted documents and reports the documents of
// frames (NavigateComplete2 of frames). A member returns a promise of the host's result: the host
// runs on the UI thread of this process and a page cannot wait for it synchronously. A member the
// object does not have is not there, so calling it throws a TypeError in the page at once.
//
// Beyond presenting documents: a page's request for a new window is reported and never opens
// one; a top document that cannot be loaded for want of its server is reported, and the control
// may show its own page there; every download is refused (nothing is saved without the player
// choosing where, and the launcher offers no such choice). A click into the page makes its
// top-level the active window, so that the page has the keyboard even without a window manager.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/Browser.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/GtkHandles.h"
#include "ui/gtk/WebKitApi.h"

namespace ui::gtk {

struct UserScriptUnref {
  void operator()(WebKitUserScript* s) const { webkit_user_script_unref(s); }
};
using UserScriptPtr = std::unique_ptr<WebKitUserScript, UserScriptUnref>;

class GtkWebView final : public backend::NativeBrowser {
 public:
  explicit GtkWebView(backend::BrowserEvents* events);
  ~GtkWebView() override;
  GtkWebView(const GtkWebView&) = delete;
  GtkWebView& operator=(const GtkWebView&) = delete;

  // The web view is made when the control is attached (or, while the engine's library is still
  // loading, once it is in) and goes when it is detached.
  void Attach(backend::NativeWindow* topLevel) override;
  void SetBounds(const Rect& inTopLevel) override;
  void SetVisible(bool visible) override;
  void Focus() override;
  bool Ready() const override { return container_ != nullptr; }
  bool Navigate(const std::string& url) override;
  bool LoadHtml(const std::string& html, const std::string& url) override;
  void SetSilent(bool silent) override;
  void PresentationChanged() override;

  // The engine's view while attached, else null (tests of the backend).
  WebKitWebView* View() const { return view_.get(); }

 private:
  void MakeView();
  void EngineLoaded(bool loaded);
  void DropView();
  void Place();
  void InstallPresentation();
  // Starts loading an address of ours (Navigate, now or once the engine is in).
  void StartLoad(const std::string& url);
  bool StartedBySameOrigin(WebKitNavigationAction* action, WebKitURIRequest* request,
                           const std::string& address);

  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                               GError* error, gpointer self);
  static gboolean OnFocusIn(GtkWidget* widget, GdkEventFocus* event, gpointer self);
  static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static gboolean OnHostMessage(WebKitUserContentManager* manager, JSCValue* message,
                                WebKitScriptMessageReply* reply, gpointer self);

  backend::BrowserEvents* events_;
  ObjectPtr<WebKitWebView> view_;  // our reference; the container holds its own
  GtkFixed* container_ = nullptr;  // the top-level's, while attached
  // Addresses asked for before the web view exists, loaded in order once it does.
  std::vector<std::string> queuedNavigations_;
  // Shared with the callback that waits for the engine, which must not reach a gone object.
  std::shared_ptr<GtkWebView*> self_ = std::make_shared<GtkWebView*>(this);
  ObjectPtr<WebKitUserContentManager> content_;
  UserScriptPtr presentationScript_;
  std::string presentationSource_;
  Rect bounds_;
  bool visible_ = false;
  // Navigate calls whose load has not started yet: the engine finishes a load that was asked
  // for before them (a blank page followed at once by the real address) before it starts
  // theirs, and that load's end is no document of the page; it is not reported.
  int pendingNavigations_ = 0;
  // The load that is ending was cancelled (another navigation replaced it): its end is no
  // document either.
  bool loadCancelled_ = false;
  // Addresses of our own Navigate calls whose decision has not come yet, in the engine's
  // spelling; and whether the load of the last one has made no document yet.
  std::vector<std::string> hostNavigations_;
  bool hostLoadInFlight_ = false;
  // The address LoadHtml put our own page at, until its decision came.
  std::string substituteUri_;
  // Origin of the page's top document (scheme://host[:port]), set as each one commits.
  std::string topOrigin_;
};

// The engine every web view of the process shares, made on first use (so that nothing of it
// costs time before a page is shown). Its disk cache lives under $XDG_CACHE_HOME/<executable
// name>, cookies and the pages' stored data under $XDG_DATA_HOME/<executable name>.
WebKitWebContext* SharedWebContext();

}  // namespace ui::gtk

// The document-host policy of a browser host: how the documents of its control present
// themselves (no 3-D border, no scroll bars, no context menu when asked) and which external
// object their script sees. Each CWebBrowserEx holds one by value; Connect installs it on the
// control, and from then on every document and frame the control creates asks it. UI thread
// only; the reference count is therefore a plain one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/ScriptExternal.h"
#include "ui/Browser.h"

namespace launcher {

class CWebUIController : public ui::DocumentHandler {
 public:
  CWebUIController() = default;
  CWebUIController(const CWebUIController&) = delete;
  CWebUIController& operator=(const CWebUIController&) = delete;

  // Count of the references the control (or anyone) holds. Release never destroys the object:
  // it lives inside its browser host; the count may even go below 0.
  int AddRef() override;
  int Release() override;
  int RefCount() const { return refCount_; }

  // Installs this handler on control for the documents it creates from now on, after taking it
  // off the control connected before. Null only disconnects. False when the control has no
  // window (nothing is connected then).
  bool Connect(ui::BrowserControl* control);
  ui::BrowserControl* ConnectedBrowser() const { return connected_; }

  // 0: the documents are told to draw no 3-D border / show no scroll bars. Both start at 1.
  void SetShowBorder(int show);
  void SetShowScrollBars(int show);
  int GetShowBorder() const { return showBorder_; }
  int GetShowScrollBars() const { return showScrollBars_; }

  // What GetExternal hands out; not owned, no reference taken (null: none, the launcher's
  // pages). It must outlive the controller's documents.
  void SetExternal(IScriptExternal* external);
  IScriptExternal* GetExternalObject() const { return external_; }

  // The answers. ShowContextMenu: handled, so no menu. GetHostInfo: adds the no-border and
  // no-scroll-bars flags for the cleared settings. GetExternal: the external object's members,
  // or false when there is none (the platform's "not implemented").
  bool ShowContextMenu() override { return true; }
  void GetHostInfo(unsigned& flags) override;
  bool GetExternal(std::vector<std::string>& memberNames) override;
  std::optional<ui::ScriptValue> InvokeExternal(std::string_view name,
                                                const std::vector<ui::ScriptValue>& args) override;

 private:
  // Documents created from now on must get the changed answers.
  void AnswersChanged();

  int refCount_ = 0;
  ui::BrowserControl* connected_ = nullptr;
  IScriptExternal* external_ = nullptr;
  int showBorder_ = 1;
  int showScrollBars_ = 1;
};

}  // namespace launcher

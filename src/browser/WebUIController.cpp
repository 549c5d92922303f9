#include "browser/WebUIController.h"

namespace launcher {

int CWebUIController::AddRef() { return ++refCount_; }

int CWebUIController::Release() { return --refCount_; }

bool CWebUIController::Connect(ui::BrowserControl* control) {
  if (connected_) {
    // Another handler may have been installed there since; only our own installation goes.
    if (connected_->GetDocumentHandler() == this) {
      connected_->SetDocumentHandler(nullptr);
    }
    connected_ = nullptr;
  }
  if (!control) {
    return true;
  }
  if (!control->SetDocumentHandler(this)) {
    return false;
  }
  connected_ = control;
  return true;
}

void CWebUIController::SetShowBorder(int show) {
  showBorder_ = show;
  AnswersChanged();
}

void CWebUIController::SetShowScrollBars(int show) {
  showScrollBars_ = show;
  AnswersChanged();
}

void CWebUIController::SetExternal(IScriptExternal* external) {
  external_ = external;
  AnswersChanged();
}

void CWebUIController::AnswersChanged() {
  if (connected_ && connected_->GetDocumentHandler() == this) {
    connected_->DocumentHandlerChanged();
  }
}

void CWebUIController::GetHostInfo(unsigned& flags) {
  if (showBorder_ == 0) {
    flags |= ui::kDocHostUiFlagNo3DBorder;
  }
  if (showScrollBars_ == 0) {
    flags |= ui::kDocHostUiFlagScrollNo;
  }
}

bool CWebUIController::GetExternal(std::vector<std::string>& memberNames) {
  if (!external_) {
    return false;
  }
  memberNames.clear();
  for (std::string& name : external_->MemberNames()) {
    if (external_->GetIDsOfNames(name)) {
      memberNames.push_back(std::move(name));
    }
  }
  return true;
}

std::optional<ui::ScriptValue> CWebUIController::InvokeExternal(
    std::string_view name, const std::vector<ui::ScriptValue>& args) {
  if (!external_) {
    return std::nullopt;
  }
  const std::optional<int> dispid = external_->GetIDsOfNames(name);
  if (!dispid) {
    return std::nullopt;
  }
  return external_->Invoke(*dispid, args);
}

}  // namespace launcher

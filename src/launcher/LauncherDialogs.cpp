#include "launcher/LauncherDialogs.h"

#include <cstdio>

#include "base/Paths.h"
#include "base/Text.h"
#include "browser/WebBrowserEx.h"
#include "config/LauncherConfig.h"
#include "res/Templates.h"
#include "skin/SkinButton.h"
#include "ui/Canvas.h"
#include "ui/MessageBox.h"

namespace launcher {

std::optional<std::string> GameAddressFromNavigation(std::string_view address,
                                                     std::string_view gameHeader) {
  std::size_t at = address.find(gameHeader);
  if (at == std::string_view::npos) {
    return std::nullopt;
  }
  if (at == 0) {
    return std::string(address.substr(gameHeader.size()));
  }
  return std::string(address);
}

// ---------------------------------------------------------------------------------------------

CLauncherStandardDlg::CLauncherStandardDlg(ui::Window* parent, const LauncherConfig& config,
                                           std::string executablePath, LauncherOutcome& outcome)
    : CStandardDialog(res::LauncherCompanionTemplate(), kCompanionColorKey, parent),
      config_(config),
      executablePath_(std::move(executablePath)),
      outcome_(outcome) {}

CLauncherStandardDlg::~CLauncherStandardDlg() {
  for (auto& button : buttons) {
    button->DestroyWindow();
  }
  for (auto& page : pages) {
    page->DestroyWindow();
  }
  DestroyWindow();
}

bool CLauncherStandardDlg::OnInitDialog() {
  CStandardDialog::OnInitDialog();
  documentCompleteCount = 0;
  const GlobalSettings& settings = config_.GetSettings();
  updateInfo = StartUpdateCheck(config_, GetId());
  if (!updateInfo) {
    return false;
  }
  if (!GetLayeredPartner()) {
    return false;
  }
  pagePlaceholderColor = static_cast<ui::ColorRef>(settings.loginCenterColor);
  SetWindowText(settings.title);
  GetLayeredPartner()->SetWindowText(settings.title);

  const auto& links = config_.GetLinks();
  for (std::size_t i = 0; i < links.size(); ++i) {
    const LinkInfo& link = links[i];
    const int number = static_cast<int>(i) + 1;
    switch (link.type) {
      case kLinkTypeOpen:
      case kLinkTypeMinimize:
      case kLinkTypeClose:
        if (!MakeButton(number, link)) {
          return false;
        }
        break;
      case kLinkTypePage:
        if (!MakePage(link)) {
          return false;
        }
        break;
      default:
        break;  // other types make nothing
    }
  }
  return true;
}

bool CLauncherStandardDlg::MakeButton(int number, const LinkInfo& link) {
  auto button = std::make_unique<CxSkinButton>();
  char name[64];
  std::snprintf(name, sizeof name, "config/%d_n.png", number);
  Bitmap normal;
  if (!config_.LoadImageFromArchive(name, &normal)) {
    return false;
  }
  const ui::Rect rect = ui::Rect::FromSize(link.x, link.y, normal.width, normal.height);
  if (!button->Create("", ui::kWsChild | ui::kWsVisible, rect, this,
                      kLinkButtonIdBase + link.type)) {
    return false;
  }
  CxSkinButton* made = button.get();
  // The button window exists from here on, pictures or not.
  buttons.push_back(std::move(button));
  std::snprintf(name, sizeof name, "config/%d_d.png", number);
  Bitmap pressed;
  if (!config_.LoadImageFromArchive(name, &pressed)) {
    return false;
  }
  made->SetSkin(std::move(normal), std::move(pressed), std::nullopt, std::nullopt, std::nullopt,
                std::nullopt, 0, 0, 0);
  made->SetLinkUrl(link.url);
  made->SetCommandType(static_cast<std::uint8_t>(link.type));
  return true;
}

bool CLauncherStandardDlg::MakePage(const LinkInfo& link) {
  const ui::Rect rect = ui::Rect::FromSize(link.x, link.y, link.width, link.height);
  auto page = std::make_unique<CWebBrowserEx>();
  CWebBrowserEx* made = page.get();
  pages.push_back(std::move(page));
  // Hidden until the first page has loaded its first document: the placeholder shows instead.
  const int id = kLinkPageIdBase + static_cast<int>(pages.size()) - 1;
  if (!made->Create("", ui::kWsChild, rect, this, id)) {
    return false;
  }
  made->Navigate("about:blank");
  made->AttachDocHostHandler(0);
  made->Navigate(link.url);
  pageRect = rect;
  return true;
}

void CLauncherStandardDlg::OnDocumentComplete() {
  ++documentCompleteCount;
  if (documentCompleteCount != 1) {
    return;
  }
  pageShown = true;
  for (auto& page : pages) {
    page->ShowWindow(ui::kSwShow);
  }
  Invalidate();
}

void CLauncherStandardDlg::OnBeforeNavigate(std::string_view address, bool sameOrigin) {
  if (!sameOrigin) {
    return;
  }
  std::optional<std::string> gameAddress =
      GameAddressFromNavigation(address, config_.GetGameHeader());
  if (!gameAddress || gameAddress->size() > kMaxGameUrlBytes) {
    return;
  }
  outcome_.startUrl = *gameAddress;
  OnOK();  // closes the pair; the navigation itself goes on
}

void CLauncherStandardDlg::AskToClose() {
  const std::string caption = Gbk(CloseCaptionFromPath(executablePath_));
  askingToClose = true;
  int answer =
      ui::MessageBox(this, config_.GetSettings().closeMsg, caption,
                     ui::kMbOkCancel | ui::kMbDefButton2 | ui::kMbSystemModal | ui::kMbTaskModal);
  askingToClose = false;
  if (answer == ui::kIdOk) {
    OnOK();  // the player leaves; the new build, if one came, runs at the next start
  } else if (updateWaiting) {
    OnUpdateInstalled();
  }
}

void CLauncherStandardDlg::OnUpdateInstalled() {
  // The new build is at the executable's path. Restart into it only while this window is all
  // the player has open: not under the close question, never once the game was chosen (the
  // new build then runs at the next start).
  if (!outcome_.startUrl.empty()) {
    return;
  }
  if (askingToClose) {
    updateWaiting = true;
    return;
  }
  updateWaiting = false;
  outcome_.restartIntoUpdate = true;
  OnOK();
}

bool CLauncherStandardDlg::OnCommand(ui::WParam wParam, ui::LParam lParam) {
  switch (ui::LowWord(wParam)) {
    case kLinkButtonIdBase + kLinkTypeMinimize:
      ShowWindow(ui::kSwMinimize);
      if (GetLayeredPartner()) {
        GetLayeredPartner()->ShowWindow(ui::kSwMinimize);
      }
      return true;
    case kLinkButtonIdBase + kLinkTypeClose:
      AskToClose();
      return true;
    default:
      return CStandardDialog::OnCommand(wParam, lParam);
  }
}

bool CLauncherStandardDlg::PreTranslateMessage(ui::Message& message) {
  // Enter and Escape never reach the dialog manager, so neither closes the launcher; they go
  // on to whoever has the keyboard (the page).
  if (message.message == ui::kWmKeyDown &&
      (message.wParam == ui::kVkReturn || message.wParam == ui::kVkEscape)) {
    return false;
  }
  return CStandardDialog::PreTranslateMessage(message);
}

ui::LResult CLauncherStandardDlg::WindowProc(unsigned message, ui::WParam wParam,
                                             ui::LParam lParam) {
  if (message == kUpdateInstalled) {
    OnUpdateInstalled();
    return 0;
  }
  if (message == ui::kWmBrowserEvent) {
    auto* event = reinterpret_cast<ui::BrowserEvent*>(lParam);
    if (event && event->controlId == kLinkPageIdBase) {
      if (event->dispid == ui::kDispidDocumentComplete) {
        OnDocumentComplete();
      }
      if (event->dispid == ui::kDispidBeforeNavigate2) {
        OnBeforeNavigate(event->url, event->sameOrigin);
      }
    }
    return 0;
  }
  // The placeholder stays beneath the page once it is shown: the engine draws the first frame
  // of a page that was hidden a moment after it is shown, and until then the area would show
  // the colour key (pure green, where the platform does not cut it out).
  if (message == ui::kWmPaint && pageRect.Width() > 0) {
    if (auto* canvas = reinterpret_cast<ui::Canvas*>(lParam)) {
      canvas->FillRect(pageRect, pagePlaceholderColor);
    }
  }
  return CStandardDialog::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------

CLauncherTranslucentDlg::CLauncherTranslucentDlg(std::unique_ptr<Bitmap> picture,
                                                 ui::Window* parent, const LauncherConfig& config,
                                                 std::string executablePath,
                                                 LauncherOutcome& outcome)
    : CTranslucentDialog(res::LauncherPictureTemplate(), std::move(picture), parent),
      config_(config),
      executablePath_(std::move(executablePath)),
      outcome_(outcome) {}

CLauncherTranslucentDlg::~CLauncherTranslucentDlg() { DestroyWindow(); }

std::unique_ptr<CStandardDialog> CLauncherTranslucentDlg::CreateCompanionDialog() {
  auto companion = std::make_unique<CLauncherStandardDlg>(this, config_, executablePath_, outcome_);
  standardDlg = companion.get();
  companion->SetLayeredPartner(this);
  return companion;
}

bool CLauncherTranslucentDlg::PreTranslateMessage(ui::Message& message) {
  // The rule is for keys this window has: keys of the companion's pages pass through here on
  // their way up (the companion is owned by this window) and belong to the page whatever is
  // held with them (capitals, paste, selection, Shift+Tab).
  ui::Window* top = message.window ? message.window->GetTopLevel() : nullptr;
  if (message.message == ui::kWmKeyDown && top == this) {
    const auto key = static_cast<unsigned>(message.wParam);
    if (key == ui::kVkReturn || key == ui::kVkEscape) {
      return false;
    }
    // Function keys, and any key with Ctrl or Shift held, are dropped.
    if ((key >= ui::kVkF1 && key <= ui::kVkF12) || ui::IsKeyDown(ui::kVkControl) ||
        ui::IsKeyDown(ui::kVkShift)) {
      return true;
    }
  }
  return CTranslucentDialog::PreTranslateMessage(message);
}

}  // namespace launcher

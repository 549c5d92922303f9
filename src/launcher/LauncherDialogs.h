// The launcher window: the background picture with per-pixel alpha, the link areas of the
// configuration over it (picture buttons and embedded pages), the hand-over of the game address
// when the login page navigates to the game header, and the start of the update check.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "launcher/LauncherOutcome.h"
#include "launcher/StandardDialog.h"
#include "launcher/TranslucentDialog.h"
#include "update/UpdateThread.h"

namespace launcher {

class CxSkinButton;
class CWebBrowserEx;
class LauncherConfig;

// Control identifiers: buttons 200 + link type, pages 150 + their index.
constexpr int kLinkButtonIdBase = 200;
constexpr int kLinkPageIdBase = 150;
constexpr int kLinkTypeOpen = 1;
constexpr int kLinkTypeMinimize = 2;
constexpr int kLinkTypeClose = 3;
constexpr int kLinkTypePage = 4;
// The longest game address the game window holds. A longer one is refused at the hand-over
// rather than cut: a cut address is another address (lost session parameters) and would open
// a broken game; refused, the player stays with the login page.
constexpr std::size_t kMaxGameUrlBytes = 255;
// The colour the platform leaves invisible on the companion.
constexpr ui::ColorRef kCompanionColorKey = ui::Rgb(0, 255, 0);

// The start address the login page hands over: the address with the header removed when it
// starts with the header, the whole address when the header is found later in it, nothing when
// it is not there at all. An empty header matches every address at its start.
std::optional<std::string> GameAddressFromNavigation(std::string_view address,
                                                     std::string_view gameHeader);

// config and outcome outlive the window; executablePath is the running program (the close
// question's caption).
class CLauncherStandardDlg : public CStandardDialog {
 public:
  CLauncherStandardDlg(ui::Window* parent, const LauncherConfig& config, std::string executablePath,
                       LauncherOutcome& outcome);
  ~CLauncherStandardDlg() override;

  bool OnInitDialog() override;
  bool OnCommand(ui::WParam wParam, ui::LParam lParam) override;
  bool PreTranslateMessage(ui::Message& message) override;
  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;

  const std::vector<std::unique_ptr<CxSkinButton>>& GetButtons() const { return buttons; }
  const std::vector<std::unique_ptr<CWebBrowserEx>>& GetPages() const { return pages; }
  bool IsPageShown() const { return pageShown; }
  const ui::Rect& GetPageRect() const { return pageRect; }
  const CUpdateInfo* GetUpdateInfo() const { return updateInfo.get(); }

  // Events of the first page (identifier 150); the other pages are not watched. A navigation
  // hands the game over only when the page's top document or a frame of its origin started it
  // (or the launcher itself): a frame from elsewhere inside the login page cannot choose the
  // game window's address.
  void OnDocumentComplete();
  void OnBeforeNavigate(std::string_view address, bool sameOrigin = true);

 private:
  bool MakeButton(int number, const LinkInfo& link);
  bool MakePage(const LinkInfo& link);
  void AskToClose();
  void OnUpdateInstalled();

  const LauncherConfig& config_;
  const std::string executablePath_;
  LauncherOutcome& outcome_;
  ui::ColorRef pagePlaceholderColor = 0;
  std::vector<std::unique_ptr<CxSkinButton>> buttons;
  std::vector<std::unique_ptr<CWebBrowserEx>> pages;
  int documentCompleteCount = 0;
  ui::Rect pageRect;
  bool pageShown = false;
  std::shared_ptr<const CUpdateInfo> updateInfo;  // the worker holds its own share
  bool askingToClose = false;
  bool updateWaiting = false;  // installed while the close question was open
};

class CLauncherTranslucentDlg : public CTranslucentDialog {
 public:
  CLauncherTranslucentDlg(std::unique_ptr<Bitmap> picture, ui::Window* parent,
                          const LauncherConfig& config, std::string executablePath,
                          LauncherOutcome& outcome);
  ~CLauncherTranslucentDlg() override;

  bool PreTranslateMessage(ui::Message& message) override;
  CLauncherStandardDlg* GetStandardDlg() const { return standardDlg; }

 protected:
  std::unique_ptr<CStandardDialog> CreateCompanionDialog() override;
  void OnLayeredInit() override {}

 private:
  const LauncherConfig& config_;
  const std::string executablePath_;
  LauncherOutcome& outcome_;
  CLauncherStandardDlg* standardDlg = nullptr;  // owned through the base
};

}  // namespace launcher

#include "game/GameDialog.h"

#include <algorithm>
#include <limits>

#include "base/Text.h"
#include "res/Templates.h"
#include "skin/SkinButton.h"
#include "ui/Canvas.h"

namespace launcher {
namespace {

// gameUrl's room, without the terminator.
constexpr std::size_t kGameUrlBytes = 255;

}  // namespace

CGameDialog::CGameDialog(ui::Window* parent, const LauncherConfig& config,
                         std::string executablePath)
    : ui::Dialog(res::GameWindowTemplate(), parent),
      config_(config),
      executablePath_(std::move(executablePath)),
      scriptObject(std::make_unique<GameDialogCallback>(this)) {}

CGameDialog::~CGameDialog() {
  // The window and its children go while every member their messages may touch is still here.
  DestroyWindow();
}

void CGameDialog::SetGameUrl(std::string_view url) {
  gameUrl.assign(url.substr(0, GbkPrefixLength(url, kGameUrlBytes)));
}

bool CGameDialog::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  const GlobalSettings& settings = config_.GetSettings();

  // The window covers the work area; the mouse may not size it below the configured minimum,
  // nor beyond the work area.
  const ui::Rect work = ui::GetWorkArea();
  MoveWindow(work, true);
  minTrackHeight = std::min(settings.minGameHeight, work.Height());
  minTrackWidth = std::min(settings.minGameWidth, work.Width());
  SetWindowText(settings.title);

  ui::Bitmap sheet;
  if (!config_.LoadImageFromArchive("config/style.png", &sheet)) {
    return false;
  }
  const auto& gamePics = config_.GetGamePics();
  const auto& edgeImages = config_.GetEdgeImages();
  pieces = FramePiecesFromConfig(edgeImages, gamePics);
  for (int n = 1; n <= kFramePieceCount; ++n) {
    auto& bitmap = pieceBitmaps[static_cast<std::size_t>(n - 1)];
    bitmap = {};
    if (auto entry = FramePieceEntry(edgeImages, gamePics, n)) {
      const GamePicInfo& pic = gamePics[*entry];
      bitmap = CopyBitmapPart(sheet, pic.x, pic.y, pic.width, pic.height);
    }
  }

  auto page = std::make_unique<CWebBrowserEx>();
  // Its first place: inside the frame of a window the size of the work area.
  const ui::Rect pageRect = GamePageRect({work.Width(), work.Height()}, pieces, false);
  if (!page->Create("", ui::kWsChild | ui::kWsVisible, pageRect, this, kGameBrowserId)) {
    return false;
  }
  browser = std::move(page);
  browser->Navigate("about:blank");
  browser->AttachDocHostHandler(0);
  // Documents created from here on see the bridge; the game page is the first of them.
  browser->SetExternal(scriptObject.get());
  browser->Navigate(gameUrl);
  browser->Silent(true);

  if (!CreateButtons(sheet)) {
    return false;
  }

  ui::Bitmap logoPicture;
  if (!config_.LoadImageFromArchive("config/logo.png", &logoPicture)) {
    return false;
  }
  const ui::Rect logoRect =
      ui::Rect::FromSize(settings.logx, settings.logy, logoPicture.width, logoPicture.height);
  if (logo.Create("", ui::kWsChild | ui::kWsVisible | ui::kSsBitmap, logoRect, this, kGameLogoId)) {
    logo.SendMessage(ui::kStmSetImage, 0, reinterpret_cast<ui::LParam>(&logoPicture));
  }

  titleX = settings.titlex;
  titleY = settings.titley;
  titleText = settings.title;  // 127 bytes at most, as configured
  titleLength = static_cast<int>(titleText.size());
  titleColor = static_cast<ui::ColorRef>(settings.titleColor);

  ModifyStyleEx(0, ui::kWsExAppWindow);
  RegisterShortcuts();
  initialized = true;
  Maximize();
  LayoutChildren();
  return true;
}

bool CGameDialog::CreateButtons(const ui::Bitmap& sheet) {
  const auto& gamePics = config_.GetGamePics();
  const auto& entries = config_.GetGameButtons();
  for (std::size_t j = 0; j < entries.size(); ++j) {
    const GameButtonInfo& entry = entries[j];
    const long long k = static_cast<long long>(entry.image) - 1;
    // An entry whose image names no picture makes no button, silently.
    if (k < 0 || k >= static_cast<long long>(gamePics.size())) {
      continue;
    }
    const GamePicInfo& pic = gamePics[static_cast<std::size_t>(k)];

    auto button = std::make_unique<CxSkinButton>();
    const int id = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(kGameButtonIdBase) + entry.type,
                              std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (!button->Create(entry.title, ui::kWsChild | ui::kWsVisible,
                        ui::Rect::FromSize(0, 0, pic.width, pic.height), this, id)) {
      return false;
    }
    std::optional<ui::Bitmap> normal, pressed, hover;
    if (auto faces = GameButtonFaces(pic)) {
      auto cut = [&sheet](const ui::Rect& r) {
        return CopyBitmapPart(sheet, r.left, r.top, r.Width(), r.Height());
      };
      normal = cut(faces->normal);
      pressed = cut(faces->pressed);
      hover = cut(faces->hover);
    }
    button->SetCommandType(static_cast<std::uint8_t>(entry.type));
    button->SetSkin(std::move(normal), std::move(pressed), std::move(hover), std::nullopt,
                    std::nullopt, std::nullopt, 0, 0, 0);
    if (entry.type == kGameButtonLink || entry.type == kGameButtonPageLink) {
      button->SetLinkUrl(entry.url);
    }
    if (!entry.tips.empty()) {
      button->SetToolTipText(entry.tips);
    }
    button->SetTextColor(static_cast<ui::ColorRef>(entry.color));
    button->SetTag(static_cast<int>(j));
    buttons.push_back(std::move(button));
  }
  return true;
}

CxSkinButton* CGameDialog::FindButtonByType(int type) const {
  for (const auto& button : buttons) {
    if (button->GetCommandType() == type) {
      return button.get();
    }
  }
  return nullptr;
}

void CGameDialog::LayoutChildren() {
  const ui::Rect window = GetWindowRect();
  const ui::Size size{window.Width(), window.Height()};
  const auto& entries = config_.GetGameButtons();
  const auto& gamePics = config_.GetGamePics();
  for (const auto& button : buttons) {
    const GameButtonInfo& entry = entries[static_cast<std::size_t>(button->GetTag())];
    const GamePicInfo& pic = gamePics[static_cast<std::size_t>(entry.image - 1)];
    button->MoveWindow(GameButtonRect(size, pieces, entry, pic, maximized), false);
  }
  if (browser) {
    browser->MoveWindow(GamePageRect(size, pieces, maximized), true);
  }
  Invalidate(true);
}

void CGameDialog::Maximize() {
  if (restoreRectKnown && !maximized) {
    GetWindowPlacement(&restorePlacement);
  }
  maximized = true;
  const ui::Rect work = ui::GetWorkArea();
  if (CxSkinButton* restoreButton = FindButtonByType(kGameButtonRestore)) {
    restoreButton->ShowWindow(ui::kSwShow);
  }
  if (CxSkinButton* maximizeButton = FindButtonByType(kGameButtonMaximize)) {
    maximizeButton->ShowWindow(ui::kSwHide);
  }
  ui::Placement placement;
  placement.flags = 0;
  placement.showCmd = ui::kSwShowNormal;
  placement.normal = work;
  const ui::Rect before = GetWindowRect();
  SetWindowPlacement(placement);
  LayoutIfSizeKept(before);
}

void CGameDialog::LayoutIfSizeKept(const ui::Rect& before) {
  // A state change normally lays out through the size change it makes. When the new state's
  // rectangle has the old size there is none, and the children would stay where the other
  // state put them.
  const ui::Rect now = GetWindowRect();
  if (initialized && !fullScreen && now.Width() == before.Width() &&
      now.Height() == before.Height()) {
    LayoutChildren();
  }
}

void CGameDialog::Restore() {
  maximized = false;
  if (!restoreRectKnown) {
    const GlobalSettings& settings = config_.GetSettings();
    restorePlacement.normal =
        FirstRestoreRect(ui::GetWorkArea(), settings.minGameWidth, settings.minGameHeight);
    restoreRectKnown = true;
  }
  if (CxSkinButton* restoreButton = FindButtonByType(kGameButtonRestore)) {
    restoreButton->ShowWindow(ui::kSwHide);
  }
  if (CxSkinButton* maximizeButton = FindButtonByType(kGameButtonMaximize)) {
    maximizeButton->ShowWindow(ui::kSwShow);
  }
  const ui::Rect before = GetWindowRect();
  MoveWindow(restorePlacement.normal, true);
  LayoutIfSizeKept(before);
}

void CGameDialog::Minimize() { ShowWindow(ui::kSwMinimize); }

void CGameDialog::OnPaint(ui::Canvas& canvas) {
  // Nothing of the frame shows while minimized or in full screen. The buttons and the logo are
  // painted after this, over the frame, in the same pass.
  if (IsIconic() || fullScreen) {
    return;
  }
  const ui::Rect client = GetClientRect();
  for (const PieceDraw& draw :
       FramePaintPlan(pieces, {client.Width(), client.Height()}, maximized)) {
    const ui::Bitmap& piece = GetPieceBitmap(draw.piece);
    if (piece.Empty()) {
      continue;
    }
    canvas.DrawBitmap(piece, {0, 0, piece.width, piece.height}, draw.dst);
  }
  canvas.TextOut(titleX, titleY,
                 std::string_view(titleText).substr(0, static_cast<std::size_t>(titleLength)),
                 titleColor, ui::FontKind::kGuiBold);
}

ui::LResult CGameDialog::OnMouseMove(ui::WParam wParam, ui::LParam lParam) {
  const ui::Point point{ui::XFromLParam(lParam), ui::YFromLParam(lParam)};
  // Only the left button, with no other button or modifier, drags by the strip. The window
  // moves under the pointer so that the pointer stays at the last point's place in it.
  if (wParam == ui::kMkLButton && !maximized && !fullScreen && point.y < pieces.StripHeight()) {
    if (point != dragLastPoint) {
      MoveWindow(GetWindowRect().Offset(point.x - dragLastPoint.x, point.y - dragLastPoint.y),
                 true);
    }
    return 0;
  }
  dragLastPoint = point;
  return ui::Dialog::WindowProc(ui::kWmMouseMove, wParam, lParam);
}

bool CGameDialog::OnTitleStripDoubleClick(const ui::Message& message) {
  ui::Placement placement;
  if (!GetWindowPlacement(&placement)) {
    return false;
  }
  if (!InTitleStrip(message.screenPoint.y, placement.normal.top, pieces.StripHeight())) {
    return false;
  }
  if (maximized) {
    Restore();
  } else {
    Maximize();
  }
  return true;
}

bool CGameDialog::PreTranslateMessage(ui::Message& message) {
  Window* top = message.window ? message.window->GetTopLevel() : nullptr;
  if (top == this && message.message == ui::kWmLButtonDblClk && !fullScreen &&
      OnTitleStripDoubleClick(message)) {
    return true;
  }
  if (top == this && message.message == ui::kWmKeyDown) {
    const auto key = static_cast<unsigned>(message.wParam);
    // Enter and Escape belong to the page: they skip the dialog manager, so neither closes
    // the window.
    if (key == ui::kVkReturn || key == ui::kVkEscape) {
      return false;
    }
    // Function keys are taken here whether or not their slot has an operation, so the page
    // never sees them (F5 does not reload it). F10, and any key with Alt held, arrive as
    // system keys instead and never run a slot.
    if (key >= ui::kVkF1 && key <= ui::kVkF12) {
      RunShortcut(shortcutSlots[key - ui::kVkF1]);
      return true;
    }
  }
  return ui::Dialog::PreTranslateMessage(message);
}

ui::LResult CGameDialog::WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
    case ui::kWmPaint:
      if (auto* canvas = reinterpret_cast<ui::Canvas*>(lParam)) {
        OnPaint(*canvas);
      }
      return ui::Dialog::WindowProc(message, wParam, lParam);
    case ui::kWmSize:
      if (!initialized) {
        return 0;
      }
      if (!fullScreen) {
        LayoutChildren();
      }
      if (browser) {
        browser->Invalidate(true);
        browser->UpdateWindow();
      }
      return 0;
    case ui::kWmSizing:
      if (auto* proposed = reinterpret_cast<ui::Rect*>(lParam)) {
        ApplySizingLimit(*proposed, minTrackWidth, minTrackHeight);
      }
      return 1;
    case ui::kWmNcHitTest:
      return FrameHitTest(pieces, GetWindowRect(),
                          {ui::XFromLParam(lParam), ui::YFromLParam(lParam)},
                          !fullScreen && !maximized);
    case ui::kWmNcLButtonDown:
      // Frame codes start the platform's sizing loop; nothing else happens here.
      if (unsigned command = SizeCommandForHit(static_cast<int>(wParam))) {
        SendMessage(ui::kWmSysCommand, command, lParam);
      }
      return 0;
    case ui::kWmSetCursor:
      ui::SetCursor(CursorForFrameHit(ui::LowWord(static_cast<std::uintptr_t>(lParam))));
      return 1;
    case ui::kWmMouseMove:
      return OnMouseMove(wParam, lParam);
    case ui::kWmLButtonDown:
      // A press is where a drag starts. Some window systems report no move before it when the
      // pointer arrives from elsewhere (a warped pointer, a touch); without this the window
      // would jump by the distance from wherever the pointer was last seen.
      dragLastPoint = {ui::XFromLParam(lParam), ui::YFromLParam(lParam)};
      return ui::Dialog::WindowProc(message, wParam, lParam);
    case kWmTrayNotify:
      return OnTrayNotify(wParam, lParam);
    default:
      return ui::Dialog::WindowProc(message, wParam, lParam);
  }
}

}  // namespace launcher

// Message numbers, codes and flags of the window framework. They keep the values of the platform
// the system's classes were first written for, so its rules read the same on every backend.
#pragma once

#include <cstdint>

namespace ui {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

constexpr LParam MakeLParam(int low, int high) {
  return static_cast<LParam>(static_cast<std::uint32_t>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
constexpr WParam MakeWParam(int low, int high) {
  return static_cast<WParam>(static_cast<std::uint32_t>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
constexpr int LowWord(std::uintptr_t v) { return static_cast<int>(v & 0xFFFF); }
constexpr int HighWord(std::uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }
// Signed 16-bit coordinates packed in an LParam.
constexpr int XFromLParam(LParam l) { return static_cast<std::int16_t>(l & 0xFFFF); }
constexpr int YFromLParam(LParam l) { return static_cast<std::int16_t>((l >> 16) & 0xFFFF); }

inline constexpr unsigned kWmCreate =
    0x0001;  // lParam: CreateParams*; answer -1 refuses the window
inline constexpr unsigned kWmDestroy = 0x0002;
inline constexpr unsigned kWmMove = 0x0003;  // lParam: client origin x, y (screen for top-levels)
inline constexpr unsigned kWmSize = 0x0005;  // wParam: kSize*; lParam: width, height
inline constexpr unsigned kWmSetFocus = 0x0007;
inline constexpr unsigned kWmKillFocus = 0x0008;
inline constexpr unsigned kWmSetText = 0x000C;
inline constexpr unsigned kWmPaint =
    0x000F;  // lParam: Canvas* of this paint, in client coordinates
inline constexpr unsigned kWmClose = 0x0010;
inline constexpr unsigned kWmEraseBkgnd = 0x0014;  // lParam: Canvas*; answer non-zero when erased
inline constexpr unsigned kWmSetCursor =
    0x0020;  // wParam: Window* under the pointer; lParam: hit code, message
inline constexpr unsigned kWmDrawItem = 0x002B;
inline constexpr unsigned kWmNcHitTest = 0x0084;      // lParam: screen x, y; answer a kHt* code
inline constexpr unsigned kWmNcLButtonDown = 0x00A1;  // wParam: hit code; lParam: screen x, y
inline constexpr unsigned kWmNcLButtonDblClk = 0x00A3;
inline constexpr unsigned kBmGetCheck = 0x00F0;
inline constexpr unsigned kBmSetCheck = 0x00F1;
inline constexpr unsigned kBmGetState = 0x00F2;
inline constexpr unsigned kBmSetState = 0x00F3;
inline constexpr unsigned kWmKeyDown = 0x0100;  // wParam: virtual key
inline constexpr unsigned kWmKeyUp = 0x0101;
inline constexpr unsigned kWmChar = 0x0102;
// Keys pressed with Alt held, Alt itself and F10: the system's keys. wParam: virtual key.
inline constexpr unsigned kWmSysKeyDown = 0x0104;
inline constexpr unsigned kWmSysKeyUp = 0x0105;
inline constexpr unsigned kWmInitDialog = 0x0110;
inline constexpr unsigned kWmCommand =
    0x0111;  // wParam: id, notification; lParam: Window* of the control
inline constexpr unsigned kWmSysCommand = 0x0112;  // wParam: kSc* | direction; lParam: screen x, y
inline constexpr unsigned kWmTimer = 0x0113;       // wParam: timer id
inline constexpr unsigned kWmCtlColorDlg =
    0x0136;  // answer: const Brush* for the dialog background, or 0
inline constexpr unsigned kStmSetImage = 0x0172;  // lParam: const launcher::Bitmap*
inline constexpr unsigned kWmMouseMove = 0x0200;  // wParam: kMk* flags; lParam: client x, y
inline constexpr unsigned kWmLButtonDown = 0x0201;
inline constexpr unsigned kWmLButtonUp = 0x0202;
inline constexpr unsigned kWmLButtonDblClk = 0x0203;
inline constexpr unsigned kWmRButtonDown = 0x0204;
inline constexpr unsigned kWmRButtonUp = 0x0205;
inline constexpr unsigned kWmSizing =
    0x0214;  // wParam: kWmsz* edge; lParam: Rect* proposed window rectangle
inline constexpr unsigned kWmCaptureChanged = 0x0215;
inline constexpr unsigned kWmMouseLeave = 0x02A3;
inline constexpr unsigned kWmUser = 0x0400;
inline constexpr unsigned kWmApp = 0x8000;

// Hit-test codes.
inline constexpr int kHtNowhere = 0;
inline constexpr int kHtClient = 1;
inline constexpr int kHtCaption = 2;
inline constexpr int kHtSysMenu = 3;
inline constexpr int kHtMenu = 5;
inline constexpr int kHtLeft = 10;
inline constexpr int kHtRight = 11;
inline constexpr int kHtTop = 12;
inline constexpr int kHtTopLeft = 13;
inline constexpr int kHtTopRight = 14;
inline constexpr int kHtBottom = 15;
inline constexpr int kHtBottomLeft = 16;
inline constexpr int kHtBottomRight = 17;

// System commands. Size loops add a direction 1..8 (left, right, top, top-left, top-right,
// bottom, bottom-left, bottom-right); a move started from a caption press adds 2 (0xF012).
inline constexpr unsigned kScSize = 0xF000;
inline constexpr unsigned kScMove = 0xF010;
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScMaximize = 0xF030;
inline constexpr unsigned kScClose = 0xF060;
inline constexpr unsigned kScRestore = 0xF120;

// WM_SIZING edges.
inline constexpr unsigned kWmszLeft = 1;
inline constexpr unsigned kWmszRight = 2;
inline constexpr unsigned kWmszTop = 3;
inline constexpr unsigned kWmszTopLeft = 4;
inline constexpr unsigned kWmszTopRight = 5;
inline constexpr unsigned kWmszBottom = 6;
inline constexpr unsigned kWmszBottomLeft = 7;
inline constexpr unsigned kWmszBottomRight = 8;

// WM_SIZE kinds.
inline constexpr unsigned kSizeRestored = 0;
inline constexpr unsigned kSizeMinimized = 1;
inline constexpr unsigned kSizeMaximized = 2;

// Mouse key flags.
inline constexpr unsigned kMkLButton = 0x1;
inline constexpr unsigned kMkRButton = 0x2;
inline constexpr unsigned kMkShift = 0x4;
inline constexpr unsigned kMkControl = 0x8;
inline constexpr unsigned kMkMButton = 0x10;
// The framework's own, in the flags of key events only: Alt is held.
inline constexpr unsigned kMkAlt = 0x1000;

// Virtual keys.
inline constexpr unsigned kVkBack = 0x08;
inline constexpr unsigned kVkTab = 0x09;
inline constexpr unsigned kVkReturn = 0x0D;
inline constexpr unsigned kVkShift = 0x10;
inline constexpr unsigned kVkControl = 0x11;
inline constexpr unsigned kVkMenu = 0x12;
inline constexpr unsigned kVkEscape = 0x1B;
inline constexpr unsigned kVkSpace = 0x20;
inline constexpr unsigned kVkLeft = 0x25;
inline constexpr unsigned kVkUp = 0x26;
inline constexpr unsigned kVkRight = 0x27;
inline constexpr unsigned kVkDown = 0x28;
inline constexpr unsigned kVkF1 = 0x70;
inline constexpr unsigned kVkF4 = 0x73;
inline constexpr unsigned kVkF10 = 0x79;
inline constexpr unsigned kVkF12 = 0x7B;

// Window styles.
inline constexpr unsigned kWsPopup = 0x80000000u;
inline constexpr unsigned kWsChild = 0x40000000u;
inline constexpr unsigned kWsMinimize = 0x20000000u;
inline constexpr unsigned kWsVisible = 0x10000000u;
inline constexpr unsigned kWsDisabled = 0x08000000u;
inline constexpr unsigned kWsClipSiblings = 0x04000000u;
inline constexpr unsigned kWsClipChildren = 0x02000000u;
inline constexpr unsigned kWsCaption = 0x00C00000u;
inline constexpr unsigned kWsSysMenu = 0x00080000u;
inline constexpr unsigned kWsGroup = 0x00020000u;
inline constexpr unsigned kWsTabStop = 0x00010000u;
inline constexpr unsigned kBsAutoCheckBox = 0x3;
inline constexpr unsigned kBsAutoRadioButton = 0x9;
inline constexpr unsigned kBsOwnerDraw = 0xB;
inline constexpr unsigned kSsBitmap = 0xE;

// Extended styles.
inline constexpr unsigned kWsExTopmost = 0x00000008u;
inline constexpr unsigned kWsExToolWindow = 0x00000080u;
inline constexpr unsigned kWsExAppWindow = 0x00040000u;
inline constexpr unsigned kWsExLayered = 0x00080000u;

// Show commands.
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShowMinimized = 2;
inline constexpr int kSwMaximize = 3;
inline constexpr int kSwShowNoActivate = 4;
inline constexpr int kSwShow = 5;
inline constexpr int kSwMinimize = 6;
inline constexpr int kSwRestore = 9;

// SetWindowPos flags.
inline constexpr unsigned kSwpNoSize = 0x1;
inline constexpr unsigned kSwpNoMove = 0x2;
inline constexpr unsigned kSwpNoZOrder = 0x4;
inline constexpr unsigned kSwpNoRedraw = 0x8;
inline constexpr unsigned kSwpNoActivate = 0x10;

// Button states and notifications, owner-draw states.
inline constexpr unsigned kBstUnchecked = 0;
inline constexpr unsigned kBstChecked = 1;
inline constexpr unsigned kBstPushed = 4;
inline constexpr unsigned kBstFocus = 8;
inline constexpr unsigned kBnClicked = 0;
inline constexpr unsigned kOdsSelected = 0x1;
inline constexpr unsigned kOdsDisabled = 0x4;
inline constexpr unsigned kOdsFocus = 0x10;

// Dialog command identifiers.
inline constexpr int kIdOkCommand = 1;
inline constexpr int kIdCancelCommand = 2;

}  // namespace ui

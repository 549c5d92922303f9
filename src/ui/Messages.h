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

enum : unsigned {
  kWmCreate = 0x0001,        // lParam: CreateParams*; answer -1 refuses the window
  kWmDestroy = 0x0002,
  kWmMove = 0x0003,          // lParam: client origin x, y (screen for top-levels)
  kWmSize = 0x0005,          // wParam: kSize*; lParam: width, height
  kWmSetFocus = 0x0007,
  kWmKillFocus = 0x0008,
  kWmSetText = 0x000C,
  kWmPaint = 0x000F,         // lParam: Canvas* of this paint, in client coordinates
  kWmClose = 0x0010,
  kWmEraseBkgnd = 0x0014,    // lParam: Canvas*; answer non-zero when erased
  kWmSetCursor = 0x0020,     // wParam: Window* under the pointer; lParam: hit code, message
  kWmDrawItem = 0x002B,
  kWmNcHitTest = 0x0084,     // lParam: screen x, y; answer a kHt* code
  kWmNcLButtonDown = 0x00A1, // wParam: hit code; lParam: screen x, y
  kWmNcLButtonDblClk = 0x00A3,
  kBmGetCheck = 0x00F0,
  kBmSetCheck = 0x00F1,
  kBmGetState = 0x00F2,
  kBmSetState = 0x00F3,
  kWmKeyDown = 0x0100,       // wParam: virtual key
  kWmKeyUp = 0x0101,
  kWmChar = 0x0102,
  kWmInitDialog = 0x0110,
  kWmCommand = 0x0111,       // wParam: id, notification; lParam: Window* of the control
  kWmSysCommand = 0x0112,    // wParam: kSc* | direction; lParam: screen x, y
  kWmTimer = 0x0113,         // wParam: timer id
  kStmSetImage = 0x0172,     // lParam: const launcher::Bitmap*
  kWmMouseMove = 0x0200,     // wParam: kMk* flags; lParam: client x, y
  kWmLButtonDown = 0x0201,
  kWmLButtonUp = 0x0202,
  kWmLButtonDblClk = 0x0203,
  kWmRButtonDown = 0x0204,
  kWmRButtonUp = 0x0205,
  kWmSizing = 0x0214,        // wParam: kWmsz* edge; lParam: Rect* proposed window rectangle
  kWmCaptureChanged = 0x0215,
  kWmMouseLeave = 0x02A3,
  kWmUser = 0x0400,
  kWmApp = 0x8000,
};

// Hit-test codes.
enum : int {
  kHtNowhere = 0,
  kHtClient = 1,
  kHtCaption = 2,
  kHtSysMenu = 3,
  kHtMenu = 5,
  kHtLeft = 10,
  kHtRight = 11,
  kHtTop = 12,
  kHtTopLeft = 13,
  kHtTopRight = 14,
  kHtBottom = 15,
  kHtBottomLeft = 16,
  kHtBottomRight = 17,
};

// System commands. Size loops add a direction 1..8 (left, right, top, top-left, top-right,
// bottom, bottom-left, bottom-right); a move started from a caption press adds 2 (0xF012).
enum : unsigned {
  kScSize = 0xF000,
  kScMove = 0xF010,
  kScMinimize = 0xF020,
  kScMaximize = 0xF030,
  kScClose = 0xF060,
  kScRestore = 0xF120,
};

// WM_SIZING edges.
enum : unsigned {
  kWmszLeft = 1,
  kWmszRight = 2,
  kWmszTop = 3,
  kWmszTopLeft = 4,
  kWmszTopRight = 5,
  kWmszBottom = 6,
  kWmszBottomLeft = 7,
  kWmszBottomRight = 8,
};

// WM_SIZE kinds.
enum : unsigned { kSizeRestored = 0, kSizeMinimized = 1, kSizeMaximized = 2 };

// Mouse key flags.
enum : unsigned { kMkLButton = 0x1, kMkRButton = 0x2, kMkShift = 0x4, kMkControl = 0x8,
                  kMkMButton = 0x10 };

// Virtual keys.
enum : unsigned {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkF1 = 0x70,
  kVkF12 = 0x7B,
};

// Window styles.
enum : unsigned {
  kWsPopup = 0x80000000u,
  kWsChild = 0x40000000u,
  kWsMinimize = 0x20000000u,
  kWsVisible = 0x10000000u,
  kWsDisabled = 0x08000000u,
  kWsClipSiblings = 0x04000000u,
  kWsClipChildren = 0x02000000u,
  kWsCaption = 0x00C00000u,
  kWsSysMenu = 0x00080000u,
  kWsGroup = 0x00020000u,
  kWsTabStop = 0x00010000u,
  kBsAutoCheckBox = 0x3,
  kBsAutoRadioButton = 0x9,
  kBsOwnerDraw = 0xB,
  kSsBitmap = 0xE,
};

// Extended styles.
enum : unsigned {
  kWsExTopmost = 0x00000008u,
  kWsExToolWindow = 0x00000080u,
  kWsExAppWindow = 0x00040000u,
  kWsExLayered = 0x00080000u,
};

// Show commands.
enum : int {
  kSwHide = 0,
  kSwShowNormal = 1,
  kSwShowMinimized = 2,
  kSwMaximize = 3,
  kSwShowNoActivate = 4,
  kSwShow = 5,
  kSwMinimize = 6,
  kSwRestore = 9,
};

// SetWindowPos flags.
enum : unsigned {
  kSwpNoSize = 0x1,
  kSwpNoMove = 0x2,
  kSwpNoZOrder = 0x4,
  kSwpNoRedraw = 0x8,
  kSwpNoActivate = 0x10,
};

// Button states and notifications, owner-draw states.
enum : unsigned {
  kBstUnchecked = 0,
  kBstChecked = 1,
  kBstPushed = 4,
  kBstFocus = 8,
  kBnClicked = 0,
  kOdsSelected = 0x1,
  kOdsDisabled = 0x4,
  kOdsFocus = 0x10,
};

// Dialog command identifiers.
enum : int { kIdOkCommand = 1, kIdCancelCommand = 2 };

}  // namespace ui

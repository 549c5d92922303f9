// Message boxes: modal questions with the system's own texts.
#pragma once

#include <string_view>

namespace ui {

class Window;

// Buttons, icon and default button, combined with |, in the values the system's classes use.
enum MessageBoxStyle : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbDefButton2 = 0x100,
  kMbSystemModal = 0x1000,
  kMbTaskModal = 0x2000,
};

// Answers.
enum MessageBoxAnswer : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Shows a modal box and returns the button the user chose; closing the box by its window
// control counts as Cancel (or No when there is no Cancel, OK for a plain OK box).
// text and caption are in the model's code page (GBK); owner may be null.
// A box with an owner on the screen belongs to the owner's top-level: it stays above it, takes
// the input from it while open and is centred over it. A box without one (or whose owner is
// hidden or minimised) is centred on the screen. Either way it stays on the screen.
// kMbSystemModal keeps it above every other window as well.
int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style);

}  // namespace ui

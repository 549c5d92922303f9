// What the window behaviour tests shared by both backends need around the windows under test:
// the UI let run, a user's pointer and keys, the desktop's own doings (a panel, a window
// manager, another application) and what the screen shows. One implementation per backend, linked
// with the same tests: FakeDesktop.cpp drives the fake backend without a display, GtkDesktop.cpp
// the GTK backend on a real X server with a window manager, Win32Desktop.cpp the Win32 backend
// (under Wine here). UI thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/Geometry.h"
#include "ui/Window.h"

namespace shared {

enum class Backend { kFake, kGtk, kWin32 };

// A colour as the screen shows it: 0xRRGGBB.
constexpr std::uint32_t Hex(ui::ColorRef c) {
  return (static_cast<std::uint32_t>(ui::RedOf(c)) << 16) |
         (static_cast<std::uint32_t>(ui::GreenOf(c)) << 8) | ui::BlueOf(c);
}
// What ColorAt answers for a point where it cannot tell.
inline constexpr std::uint32_t kNoColor = 0xFF000000u;

class Desktop {
 public:
  // Starts the backend for one test, from a clean state.
  Desktop();
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  static Backend Which();
  // Empty when the tests can run here; otherwise why not (they skip).
  static std::string Unavailable();

  // Lets the UI run (posted messages, timers, the toolkit's events) until done holds; false when
  // it did not within the time-out. The fake has no clock: each round fires every running timer
  // once.
  bool WaitFor(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  // Lets the UI run for a while, for checks that something does not happen.
  void Idle(std::chrono::milliseconds duration = std::chrono::milliseconds(150));

  // A user: a press and release of a button (1 left, 3 right) at a screen point, a key pressed
  // and released on the window with the keyboard.
  void Click(ui::Point screen, int button = 1);
  void TapKey(unsigned virtualKey);

  // The desktop: a taskbar button minimises or restores a top-level; another application's
  // window (null) or a top-level of ours is activated; a window manager moves and sizes a
  // top-level or asks it to close.
  void Minimize(ui::Window& topLevel, bool minimized);
  void Activate(ui::Window* topLevel);
  void MoveResize(ui::Window& topLevel, const ui::Rect& screen);
  void RequestClose(ui::Window& topLevel);

  // The screen: whether a top-level is seen, where it is, the colour at a point of its client
  // area (kNoColor where nothing was filled) and the box of what text drew in a part of it
  // (empty when none).
  bool OnScreen(const ui::Window& topLevel);
  ui::Rect Bounds(const ui::Window& topLevel);
  std::uint32_t ColorAt(ui::Window& topLevel, ui::Point client);
  ui::Rect TextInk(ui::Window& topLevel, const ui::Rect& client, ui::ColorRef background);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace shared

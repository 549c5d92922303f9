// What the GTK backend's tests need of the X display: a user's pointer and keyboard (XTest, on
// a connection of the test's own), the screen's pixels as a person would see them, the UI loop
// run until something happened, and a compositing manager started and stopped on demand.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Geometry.h"
#include "ui/Window.h"

namespace uitest {

// True when a display is there and the toolkit started on it (tests skip otherwise).
bool DisplayReady();

// Runs the UI loop for a while, or until done() holds (false on time-out).
void Pump(std::chrono::milliseconds duration);
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

class XScreen {
 public:
  XScreen();
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  // Pointer and keys as a user gives them; each waits until the server has them.
  void MoveTo(ui::Point screen);
  void Button(int button, bool down);
  void Click(ui::Point screen, int button = 1);
  // keysym names as in X ("a", "Return", "F5", "Escape").
  void Key(const char* keysym, bool down);
  void TapKey(const char* keysym);

  // Moves and sizes a top-level behind the toolkit's back, as a window manager would.
  void MoveResize(const ui::Window& topLevel, const ui::Rect& screen);

  // Asks a top-level to close, as a window manager's close button does.
  void RequestClose(const ui::Window& topLevel);

  // 0xRRGGBB of a screen pixel, once everything the UI asked for has reached the server.
  std::uint32_t Pixel(ui::Point screen);
  // Pumps until the pixel satisfies test (a compositor paints a little later); the last value
  // read either way.
  std::uint32_t WaitForPixel(ui::Point screen, const std::function<bool(std::uint32_t)>& test,
                             std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
  // Writes the whole screen to a PNG when LAUNCHER_UI_SHOTS names a folder (to look at).
  void Shot(const std::string& name);

 private:
  struct Impl;
  Impl* impl_;
};

// Colour distance: largest difference of one channel.
int ColorDelta(std::uint32_t a, std::uint32_t b);
constexpr std::uint32_t Hex(ui::ColorRef c) {
  return (static_cast<std::uint32_t>(ui::RedOf(c)) << 16) |
         (static_cast<std::uint32_t>(ui::GreenOf(c)) << 8) | ui::BlueOf(c);
}

// A compositing manager for the length of a test; stopped (the process we started, by its id)
// when the object goes.
class Compositor {
 public:
  Compositor();
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;
  // True once the toolkit sees a composited screen.
  bool Running() const { return running_; }

 private:
  pid_t pid_ = -1;
  bool running_ = false;
};

// A window of the framework that paints itself in one colour and records what reached it.
class Probe : public ui::Window {
 public:
  struct Event {
    unsigned message;
    ui::WParam wParam;
    ui::Point point;  // client coordinates for mouse messages
  };
  explicit Probe(ui::ColorRef color) : color_(color) {}

  // Runs first for every message; true when it handled it.
  std::function<bool(unsigned, ui::WParam, ui::LParam)> hook;
  std::vector<Event> events;
  int paints = 0;
  ui::ColorRef color_;

  // Messages recorded among those listed, in order.
  std::vector<unsigned> Messages(const std::vector<unsigned>& only) const;
  int Count(unsigned message) const;
  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;
};

}  // namespace uitest

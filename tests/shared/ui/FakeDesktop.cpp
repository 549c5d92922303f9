// The shared window tests' surroundings on the fake backend: events handed in as the GTK
// backend reports them, the screen read from what the fake recorded.
#include <algorithm>

#include "Desktop.h"
#include "ui/Dialog.h"
#include "ui/fake/FakeUi.h"

namespace shared {

using ui::Point;
using ui::Rect;
using ui::Window;
using ui::fake::MouseKind;

namespace {

// Rounds of a wait: far more timer firings than any test waits for.
constexpr int kRounds = 200;

// Where an op shows: inside its clip and every shape in force.
bool Shows(const ui::fake::DrawOp& op, Point p) {
  if (!op.dst.Intersect(op.clip).Contains(p)) {
    return false;
  }
  return std::all_of(op.shapes.begin(), op.shapes.end(),
                     [p](const ui::Region& shape) { return shape.Contains(p); });
}

}  // namespace

struct Desktop::Impl {};

Desktop::Desktop() : impl_(std::make_unique<Impl>()) {
  ui::fake::Reset();
  // The fake hands a modal dialog to its test; here the UI runs until the dialog ends, as the
  // real loop does.
  ui::fake::SetModalHandler([this](ui::Dialog& dialog) {
    WaitFor([&dialog] { return dialog.IsEnded() || !dialog.IsCreated(); });
  });
}

Desktop::~Desktop() { ui::fake::Reset(); }

Backend Desktop::Which() { return Backend::kFake; }

std::string Desktop::Unavailable() { return {}; }

bool Desktop::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds) {
  for (int round = 0; round < kRounds; ++round) {
    ui::fake::RunPostedWork();
    if (done()) {
      return true;
    }
    ui::fake::FireTimers();
  }
  ui::fake::RunPostedWork();
  return done();
}

void Desktop::Idle(std::chrono::milliseconds) {
  for (int round = 0; round < 3; ++round) {
    ui::fake::RunPostedWork();
    ui::fake::FireTimers();
  }
  ui::fake::RunPostedWork();
}

void Desktop::Click(Point screen, int button) {
  // The pointer's top-level reports it: the capture's, else the one under it.
  Window* target = Window::GetCapture();
  if (!target) {
    target = Window::WindowFromPoint(screen);
  }
  if (!target) {
    return;
  }
  Window& top = *target->GetTopLevel();
  const unsigned held = button == 3 ? ui::kMkRButton : ui::kMkLButton;
  ui::fake::Mouse(top, MouseKind::kMove, 0, screen);
  if (!top.IsCreated()) {
    return;
  }
  ui::fake::Mouse(top, MouseKind::kDown, button, screen, held);
  if (!top.IsCreated()) {
    return;
  }
  ui::fake::Mouse(top, MouseKind::kUp, button, screen);
}

void Desktop::TapKey(unsigned virtualKey) {
  // The top-level with the keyboard hears it: the framework's focus stands for the desktop's.
  for (bool down : {true, false}) {
    Window* focus = Window::GetFocus();
    if (!focus) {
      return;
    }
    ui::fake::Key(*focus->GetTopLevel(), down, virtualKey);
  }
}

void Desktop::Minimize(Window& topLevel, bool minimized) {
  ui::fake::DesktopMinimize(topLevel, minimized);
}

void Desktop::Activate(Window* topLevel) {
  Window* focus = Window::GetFocus();
  Window* before = focus ? focus->GetTopLevel() : nullptr;
  if (before && before != topLevel) {
    ui::fake::FocusChange(*before, false);
  }
  if (topLevel) {
    ui::fake::FocusChange(*topLevel, true);
  }
}

void Desktop::MoveResize(Window& topLevel, const Rect& screen) {
  ui::fake::Configure(topLevel, screen);
}

void Desktop::RequestClose(Window& topLevel) { ui::fake::RequestClose(topLevel); }

bool Desktop::OnScreen(const Window& topLevel) {
  const ui::fake::NativeState& native = ui::fake::Native(topLevel);
  return topLevel.IsCreated() && native.shown && !native.minimized;
}

Rect Desktop::Bounds(const Window& topLevel) { return ui::fake::Native(topLevel).bounds; }

std::uint32_t Desktop::ColorAt(Window& topLevel, Point client) {
  std::uint32_t color = kNoColor;
  for (const auto& op : ui::fake::Paint(topLevel)) {
    if (op.kind == ui::fake::DrawOp::Kind::kFill && Shows(op, client)) {
      color = Hex(op.color);
    }
  }
  return color;
}

Rect Desktop::TextInk(Window& topLevel, const Rect& client, ui::ColorRef) {
  // The fake draws no glyphs: the box it was asked to draw text in stands for the ink.
  Rect ink;
  for (const auto& op : ui::fake::Paint(topLevel)) {
    if (op.kind != ui::fake::DrawOp::Kind::kText) {
      continue;
    }
    const Rect box = op.dst.Intersect(op.clip).Intersect(client);
    if (box.Empty()) {
      continue;
    }
    ink = ink.Empty() ? box
                      : Rect{std::min(ink.left, box.left), std::min(ink.top, box.top),
                             std::max(ink.right, box.right), std::max(ink.bottom, box.bottom)};
  }
  return ink;
}

}  // namespace shared

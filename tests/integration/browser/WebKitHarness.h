// What the browser host's tests on a real X server need: the UI loop run until something
// happened, a user's pointer and keys (XTest, on a connection of our own), the screen's pixels,
// script run in a control's page, and a window that records the control's events.
#pragma once

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "XScreen.h"
#include "browser/ScriptExternal.h"
#include "ui/Browser.h"
#include "ui/Window.h"

namespace browsertest {

using namespace std::chrono_literals;

using uitest::DisplayReady;
using uitest::Pump;

// Page loads take longer than the window tests' default wait.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
  return uitest::PumpUntil(done, timeout);
}

// The user's pointer and keys, each followed by a moment of the UI loop so that the page has
// them before the test looks.
class XInput : public uitest::XScreen {
 public:
  void MoveTo(ui::Point screen) {
    XScreen::MoveTo(screen);
    Pump(30ms);
  }
  void Click(ui::Point screen, int button = 1) {
    MoveTo(screen);
    Button(button, true);
    Pump(20ms);
    Button(button, false);
    Pump(30ms);
  }
  // One notch of the wheel, downwards.
  void WheelDown(ui::Point screen) { Click(screen, 5); }
  // keysym names as X knows them ("a", "Return").
  void Tap(const char* keysym) {
    TapKey(keysym);
    Pump(20ms);
  }
};

// 0xRRGGBB of a screen pixel, once the UI's requests reached the server.
std::uint32_t ScreenPixel(ui::Point screen);

// The web view of a created control.
WebKitWebView* ViewOf(const ui::BrowserControl& control);

// Runs body as the body of an async function in the control's page (await allowed) and gives
// its result as JSON, or "error: " and the exception's text.
std::string Script(const ui::BrowserControl& control, const std::string& body);

// Whether one of the engine's menus is on screen now.
bool MenuShown();
void CloseMenus();

// A top-level painted in one colour that records the browser events it is sent.
class Host : public ui::Window {
 public:
  explicit Host(ui::ColorRef color) : color_(color) {}
  std::vector<ui::BrowserEvent> events;
  std::function<void(ui::BrowserEvent&)> onEvent;
  std::vector<ui::Point> clicks;  // framework clicks, client coordinates

  // Whether an event of that kind with that address arrived (any address when url is empty),
  // from that control (any when 0).
  bool Saw(int dispid, const std::string& url = "", int controlId = 0) const;
  std::vector<std::string> Urls(int dispid) const;

  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override;

 private:
  ui::ColorRef color_;
};

// Knows "JsCallClient" as 100, answers with result and records each call.
class Bridge : public launcher::IScriptExternal {
 public:
  std::vector<std::vector<ui::ScriptValue>> calls;
  ui::ScriptValue result;
  std::optional<int> GetIDsOfNames(std::string_view name) override {
    return name == "JsCallClient" ? std::optional<int>(100) : std::nullopt;
  }
  ui::ScriptValue Invoke(int, const std::vector<ui::ScriptValue>& args) override {
    calls.push_back(args);
    return result;
  }
  std::vector<std::string> MemberNames() const override { return {"JsCallClient"}; }
};

}  // namespace browsertest

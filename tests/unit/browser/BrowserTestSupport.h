// What the browser host's tests share: a window that records the browser events it is sent, and
// an external object that records what the page asked of it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/ScriptExternal.h"
#include "ui/Browser.h"
#include "ui/Window.h"

namespace launcher::testing {

// A top-level that keeps a copy of every kWmBrowserEvent; onEvent runs first and may change the
// event (cancel) or destroy the control.
class EventSink : public ui::Window {
 public:
  std::vector<ui::BrowserEvent> events;
  std::function<void(ui::BrowserEvent&)> onEvent;

  ui::LResult WindowProc(unsigned message, ui::WParam wParam, ui::LParam lParam) override {
    if (message == ui::kWmBrowserEvent) {
      auto* event = reinterpret_cast<ui::BrowserEvent*>(lParam);
      EXPECT_EQ(static_cast<int>(wParam), event->controlId);
      if (onEvent) {
        onEvent(*event);
      }
      events.push_back(*event);
      return 0;
    }
    return ui::Window::WindowProc(message, wParam, lParam);
  }
};

// Knows one member, "JsCallClient", as 100 (and declares any extra names a test adds).
class RecordingExternal : public IScriptExternal {
 public:
  std::vector<std::string> declared{"JsCallClient"};
  std::vector<std::string> lookups;
  std::vector<std::pair<int, std::vector<ui::ScriptValue>>> calls;
  ui::ScriptValue result;

  std::optional<int> GetIDsOfNames(std::string_view name) override {
    lookups.emplace_back(name);
    if (name == "JsCallClient") {
      return 100;
    }
    return std::nullopt;
  }
  ui::ScriptValue Invoke(int dispid, const std::vector<ui::ScriptValue>& args) override {
    calls.emplace_back(dispid, args);
    return result;
  }
  std::vector<std::string> MemberNames() const override { return declared; }
};

}  // namespace launcher::testing

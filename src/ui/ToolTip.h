// A tooltip: a small top-level that shows a text near the pointer while it rests over a tool
// window. The tool relays its mouse messages.
#pragma once

#include <memory>
#include <string>

#include "ui/Window.h"

namespace ui {

class ToolTip {
 public:
  ToolTip();
  ~ToolTip();
  ToolTip(const ToolTip&) = delete;
  ToolTip& operator=(const ToolTip&) = delete;

  bool Create(Window* owner);
  bool IsCreated() const;
  // Registers the whole tool window with its text (GBK). One tool per tooltip.
  bool AddTool(Window* tool, std::string_view text);
  void UpdateTipText(std::string_view text);
  void Activate(bool active);
  // Mouse messages of the tool: a rest over it shows the tip, a press or leaving hides it.
  void RelayEvent(const Message& message);

  bool IsShown() const;
  const std::string& GetText() const { return text_; }

  // How long the pointer rests before the tip shows.
  static constexpr unsigned kInitialDelayMs = 500;

 private:
  class Popup;
  void Show();
  void Hide();

  std::unique_ptr<Popup> popup_;
  Window* tool_ = nullptr;
  std::string text_;
  bool active_ = false;
  bool created_ = false;
};

}  // namespace ui

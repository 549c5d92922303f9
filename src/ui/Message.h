// Posted messages: the one way another thread reaches a window.
#pragma once

#include <cstdint>

namespace ui {

// Identifies a message target for as long as it is registered; 0 names nothing.
using WindowId = std::uint64_t;

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Runs on the UI thread for each message posted to this target while it is registered.
  virtual void OnPostedMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// UI thread. The target must stay alive until UnregisterTarget.
WindowId RegisterTarget(MessageTarget* target);
void UnregisterTarget(WindowId id);

// Any thread. Queues the message for the UI thread; false when no target has this id (the
// message is dropped, as for a window that no longer exists). A target unregistered before the
// message is delivered never sees it.
bool PostMessage(WindowId target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace ui

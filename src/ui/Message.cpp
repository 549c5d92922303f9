#include "ui/Message.h"

#include <mutex>
#include <unordered_map>

#include "ui/backend/Backend.h"

namespace ui {
namespace {

// Registered targets, reached from any thread by PostMessage.
struct Registry {
  std::mutex mutex;
  std::unordered_map<WindowId, MessageTarget*> targets;
  WindowId next = 1;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

WindowId RegisterTarget(MessageTarget* target) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  WindowId id = r.next++;
  r.targets[id] = target;
  return id;
}

void UnregisterTarget(WindowId id) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.targets.erase(id);
}

bool PostMessage(WindowId target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (r.targets.find(target) == r.targets.end()) {
      return false;
    }
  }
  backend::QueueOnUiThread([target, message, wParam, lParam] {
    MessageTarget* receiver = nullptr;
    {
      Registry& r = TheRegistry();
      std::lock_guard lock(r.mutex);
      auto it = r.targets.find(target);
      if (it != r.targets.end()) {
        receiver = it->second;
      }
    }
    // Delivered outside the lock: the receiver may register or unregister targets.
    if (receiver) {
      receiver->OnPostedMessage(message, wParam, lParam);
    }
  });
  return true;
}

}  // namespace ui

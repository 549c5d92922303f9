#include "app/DisplayChoice.h"

namespace launcher {
namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

DisplayChoice ChooseDisplay(const std::function<const char*(const char*)>& lookup) {
  if (IsSet(lookup("GDK_BACKEND"))) {
    return {DisplayChoice::Kind::kAsSet, {}};
  }
  if (IsSet(lookup("DISPLAY"))) {
    return {DisplayChoice::Kind::kX11, {}};
  }
  if (IsSet(lookup("WAYLAND_DISPLAY"))) {
    return {DisplayChoice::Kind::kNoDisplay,
            "this Wayland session offers no X display (XWayland, DISPLAY is not set); the "
            "launcher's windows need one"};
  }
  return {DisplayChoice::Kind::kNoDisplay,
          "no X display to show the windows on (DISPLAY is not set)"};
}

}  // namespace launcher

// Which display the program runs on, decided before the toolkit starts. The windows need X:
// absolute positions, the launcher pair's shared place, window shapes, pointer grabs and the
// program's own move loop are X features. In a Wayland session X comes from XWayland, and the
// toolkit is told to use it rather than Wayland. Pure: environment in, choice out.
#pragma once

#include <functional>
#include <string>

namespace launcher {

struct DisplayChoice {
  enum class Kind {
    kAsSet,      // the user chose the toolkit's backend (GDK_BACKEND): left alone
    kX11,        // the toolkit is to use X (GDK_BACKEND=x11)
    kNoDisplay,  // no X display: the program cannot run; message says why
  };
  Kind kind = Kind::kX11;
  std::string message;
};

// lookup returns a variable's value, or null when it is not set.
DisplayChoice ChooseDisplay(const std::function<const char*(const char*)>& lookup);

}  // namespace launcher

#include "base/Paths.h"

namespace launcher {

std::string CloseCaptionFromPath(std::string_view executablePath) {
  // Either separator ends the folder part, so the rule reads the same on every platform. The
  // path is UTF-8, where neither separator nor "." occurs inside a multi-byte character.
  const std::size_t slash = executablePath.find_last_of("/\\");
  std::string_view name =
      slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
  // A name without an extension keeps all of it (a leading "." starts a name, not an
  // extension): captions are never empty because the executable has no ".exe".
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  return std::string(name);
}

}  // namespace launcher

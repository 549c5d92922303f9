// Names taken from file paths, the same on every platform.
#pragma once

#include <string>
#include <string_view>

namespace launcher {

// The caption of the close and restart questions: the executable's file name (UTF-8) without its
// folder ("/" or "\\") and without its extension, the part from its last "." on; a name without
// an extension is kept whole.
std::string CloseCaptionFromPath(std::string_view executablePath);

}  // namespace launcher

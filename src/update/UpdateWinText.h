// UTF-8 paths and texts of the update as the UTF-16 the Windows calls take, and back. For the
// Windows sibling files of the update only; implemented in UpdatePlatformWin.cpp.
#pragma once

#include <string>
#include <string_view>

namespace launcher::updatewin {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring Widen(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view wide);

}  // namespace launcher::updatewin

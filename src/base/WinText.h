// The program's strings (paths included) are UTF-8 on every platform; the Windows system calls
// take UTF-16. For the Windows sibling files (*Win.cpp) and the Win32 backend only. Implemented
// in TextWin.cpp.
#pragma once

#include <string>
#include <string_view>

namespace launcher {

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring Utf8ToWide(std::string_view utf8);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

}  // namespace launcher

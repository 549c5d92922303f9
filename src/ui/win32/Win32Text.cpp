#include "ui/win32/Win32.h"

#include "base/WinText.h"

namespace ui::win32 {

std::wstring Widen(std::string_view utf8) { return launcher::Utf8ToWide(utf8); }

std::string Narrow(std::wstring_view utf16) { return launcher::WideToUtf8(utf16); }

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

}  // namespace ui::win32

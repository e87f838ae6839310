#pragma once

// UTF-8 names and texts at the wide Win32 calls; only built for Windows.
#ifdef _WIN32

#include <string>
#include <string_view>

namespace tarnwick {

/// UTF-8 to UTF-16 for the wide Win32 calls.
std::wstring Utf8ToWide(std::string_view Text);
/// UTF-16 to UTF-8; stops at the first NUL character.
std::string WideToUtf8(std::wstring_view Text);
/// The system's text for a GetLastError code, without the trailing line break; "system error
/// N" when it has none.
std::string WindowsErrorText(unsigned long Code);

} // namespace tarnwick

#endif

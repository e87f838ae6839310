#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tarnwick {

std::wstring Utf8ToWide(std::string_view Text) {
  if (Text.empty()) {
    return {};
  }
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), w.data(), n);
  return w;
}

std::string WideToUtf8(std::wstring_view Text) {
  const auto nul = Text.find(L'\0');
  if (nul != std::wstring_view::npos) {
    Text = Text.substr(0, nul);
  }
  if (Text.empty()) {
    return {};
  }
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), s.data(), n,
                        nullptr, nullptr);
  return s;
}

std::string WindowsErrorText(unsigned long Code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, Code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string reason = n > 0 ? WideToUtf8(std::wstring_view(text, n)) : std::string();
  if (text != nullptr) {
    ::LocalFree(text);
  }
  // The system's texts end with a line break.
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  if (reason.empty()) {
    reason = "system error " + std::to_string(Code);
  }
  return reason;
}

} // namespace tarnwick

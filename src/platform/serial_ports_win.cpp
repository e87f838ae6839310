#include "platform/serial_ports.hpp"

#include "platform/setupapi_device_source.hpp"
#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tarnwick {

std::vector<std::string> GetComPorts() {
  std::vector<std::string> ports;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  struct KeyGuard {
    HKEY Key;
    ~KeyGuard() { ::RegCloseKey(Key); }
  } guard{key};

  DWORD count = 0;
  DWORD maxName = 0;
  DWORD maxData = 0;
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS) {
    return ports;
  }
  // The value names identify the port devices; their data are the port names.
  std::vector<std::wstring> names;
  for (DWORD i = 0; i < count; ++i) {
    std::wstring name(maxName + 1, L'\0');
    DWORD length = maxName + 1;
    if (::RegEnumValueW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      name.resize(length);
      names.push_back(std::move(name));
    }
  }
  for (const auto& name : names) {
    std::wstring data(maxData / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                           &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
      ports.push_back(WideToUtf8(data));
    }
  }
  return ports;
}

std::shared_ptr<DevicePropertySource> CreateSystemDeviceSource() {
  return std::make_shared<SetupApiDeviceSource>();
}

} // namespace tarnwick

#include "platform/setupapi_device_source.hpp"

#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// setupapi.h needs the types of windows.h.
#include <setupapi.h>

#include <mutex>

namespace tarnwick {

namespace {

using GetClassDevsWFn = HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD);
using EnumDeviceInfoFn = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using GetDeviceRegistryPropertyWFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                                   DWORD, PDWORD);
using DestroyDeviceInfoListFn = BOOL(WINAPI*)(HDEVINFO);

// The library binding, shared by all live sources and released with the last one.
struct SetupApi {
  std::mutex Lock;
  int Users = 0;
  HMODULE Module = nullptr;
  GetClassDevsWFn GetClassDevsW = nullptr;
  EnumDeviceInfoFn EnumDeviceInfo = nullptr;
  GetDeviceRegistryPropertyWFn GetDeviceRegistryPropertyW = nullptr;
  DestroyDeviceInfoListFn DestroyDeviceInfoList = nullptr;

  bool Bound() const {
    return GetClassDevsW != nullptr && EnumDeviceInfo != nullptr &&
           GetDeviceRegistryPropertyW != nullptr && DestroyDeviceInfoList != nullptr;
  }
};

SetupApi& Api() {
  static SetupApi api;
  return api;
}

template <class T>
T Bind(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: the USB device interface class.
const GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

constexpr DWORD kPresentInterfaces = 0x12; // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE

// One string property (the first entry of a list); empty when it cannot be read.
std::optional<std::string> ReadDeviceProperty(SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device,
                                              DWORD property) {
  DWORD size = 0;
  api.GetDeviceRegistryPropertyW(set, &device, property, nullptr, nullptr, 0, &size);
  if (size == 0) {
    return std::nullopt;
  }
  std::wstring buffer((size + sizeof(wchar_t) - 1) / sizeof(wchar_t) + 1, L'\0');
  if (!api.GetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                      reinterpret_cast<PBYTE>(buffer.data()), size, &size)) {
    return std::nullopt;
  }
  return WideToUtf8(buffer);
}

} // namespace

SetupApiDeviceSource::SetupApiDeviceSource() {
  SetupApi& api = Api();
  std::lock_guard<std::mutex> guard(api.Lock);
  if (api.Users++ == 0) {
    api.Module = ::LoadLibraryW(L"SetupApi.dll");
    if (api.Module != nullptr) {
      api.GetClassDevsW = Bind<GetClassDevsWFn>(api.Module, "SetupDiGetClassDevsW");
      api.EnumDeviceInfo = Bind<EnumDeviceInfoFn>(api.Module, "SetupDiEnumDeviceInfo");
      api.GetDeviceRegistryPropertyW =
          Bind<GetDeviceRegistryPropertyWFn>(api.Module, "SetupDiGetDeviceRegistryPropertyW");
      api.DestroyDeviceInfoList =
          Bind<DestroyDeviceInfoListFn>(api.Module, "SetupDiDestroyDeviceInfoList");
    }
  }
}

SetupApiDeviceSource::~SetupApiDeviceSource() {
  SetupApi& api = Api();
  std::lock_guard<std::mutex> guard(api.Lock);
  if (--api.Users == 0 && api.Module != nullptr) {
    ::FreeLibrary(api.Module);
    api.Module = nullptr;
    api.GetClassDevsW = nullptr;
    api.EnumDeviceInfo = nullptr;
    api.GetDeviceRegistryPropertyW = nullptr;
    api.DestroyDeviceInfoList = nullptr;
  }
}

std::optional<std::vector<DeviceProperties>> SetupApiDeviceSource::PresentDevices() {
  SetupApi& api = Api();
  if (!api.Bound()) {
    return std::nullopt;
  }
  HDEVINFO set = api.GetClassDevsW(&kUsbDeviceInterface, nullptr, nullptr, kPresentInterfaces);
  if (set == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  struct SetGuard {
    SetupApi& Api;
    HDEVINFO Set;
    ~SetGuard() { Api.DestroyDeviceInfoList(Set); }
  } guard{api, set};

  std::vector<DeviceProperties> devices;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!api.EnumDeviceInfo(set, index, &device)) {
      break;
    }
    DeviceProperties p;
    p.HardwareID = ReadDeviceProperty(api, set, device, SPDRP_HARDWAREID);
    p.Description = ReadDeviceProperty(api, set, device, SPDRP_DEVICEDESC);
    p.ClassGUID = ReadDeviceProperty(api, set, device, SPDRP_CLASSGUID);
    p.DriverKey = ReadDeviceProperty(api, set, device, SPDRP_DRIVER);
    devices.push_back(std::move(p));
  }
  return devices;
}

} // namespace tarnwick

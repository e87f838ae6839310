#include "device/hardware_id.hpp"

#include "support/str_util.hpp"

#include <fmt/format.h>

namespace tarnwick {

bool StripPrefix(std::string& S, std::string_view Prefix) {
  if (!S.starts_with(Prefix)) {
    return false;
  }
  S.erase(0, Prefix.size());
  return true;
}

void SplitAtAmpersand(std::string& S, std::string& Part) {
  Part.clear();
  const auto p = S.find('&');
  if (p == std::string::npos) {
    return;
  }
  Part = S.substr(0, p);
  S.erase(0, p + 1);
}

namespace {

// "$" + Text read the way the settings read hexadecimal numbers; the low 16 bits are kept.
bool ReadHexID(const std::string& Text, uint16_t& Value) {
  const auto v = TryStrToInt("$" + Text);
  if (!v) {
    return false;
  }
  Value = static_cast<uint16_t>(static_cast<uint32_t>(*v) & 0xFFFF);
  return true;
}

} // namespace

bool ParseHardwareID(std::string_view HWID, uint16_t& VendorID, uint16_t& ProductID,
                     std::string& Revision) {
  std::string s(HWID);
  std::string part;
  if (!StripPrefix(s, "USB\\")) {
    return false;
  }
  SplitAtAmpersand(s, part);
  if (!StripPrefix(part, "VID_") || !ReadHexID(part, VendorID)) {
    return false;
  }
  SplitAtAmpersand(s, part);
  if (!StripPrefix(part, "PID_") || !ReadHexID(part, ProductID)) {
    return false;
  }
  if (!StripPrefix(s, "REV_")) {
    return false;
  }
  Revision = s;
  return true;
}

std::string FormatHardwareID(uint16_t VendorID, uint16_t ProductID, std::string_view Revision) {
  return fmt::format("USB\\VID_{:04X}&PID_{:04X}&REV_{}", VendorID, ProductID, Revision);
}

std::string ComPortNameFromDriverKey(std::string_view ClassGUID, std::string_view DriverKey) {
  std::string key(DriverKey);
  if (!StripPrefix(key, std::string(ClassGUID) + "\\")) {
    return {};
  }
  // A key that is not hexadecimal costs this one device its port name, not the whole scan.
  const auto number = TryStrToInt("$" + key);
  if (!number || *number < 0) {
    return {};
  }
  return "COM" + std::to_string(*number);
}

} // namespace tarnwick

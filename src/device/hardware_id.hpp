#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

/// Removes Prefix from the start of S when S begins with it exactly (case-sensitive).
bool StripPrefix(std::string& S, std::string_view Prefix);

/// Part := the text of S before its first "&" and S := the text after it; without an "&"
/// Part is empty and S stays.
void SplitAtAmpersand(std::string& S, std::string& Part);

/// Reads a USB hardware ID of the form USB\VID_xxxx&PID_xxxx&REV_rrrr (hexadecimal IDs, only
/// their low 16 bits kept; the revision is everything after "REV_"). False, with the outputs
/// in an unspecified state, when the text does not have that form.
bool ParseHardwareID(std::string_view HWID, uint16_t& VendorID, uint16_t& ProductID,
                     std::string& Revision);

/// The hardware-ID text of a USB device, upper-case hexadecimal:
/// USB\VID_0DF7&PID_0900&REV_0200.
std::string FormatHardwareID(uint16_t VendorID, uint16_t ProductID, std::string_view Revision);

/// The serial port name of a device from its class GUID and driver key: a key of the form
/// GUID\NNNN gives "COM" and NNNN read as hexadecimal, in decimal (0010 gives COM16).
/// Empty when the key does not begin with the GUID and a backslash, or NNNN is not a
/// hexadecimal number.
std::string ComPortNameFromDriverKey(std::string_view ClassGUID, std::string_view DriverKey);

} // namespace tarnwick

#pragma once

#include "support/date_time.hpp"
#include "support/str_util.hpp"
#include "support/time_zone.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// Two upper-case hexadecimal digits and one blank per byte: "0A FF ". Empty for N <= 0.
std::string BytesToHex(const uint8_t* Data, int N);

/// 32 characters "0"/"1", the most significant bit first.
std::string IntToBinStr(uint32_t Value);

/// A point's Time as "yyyy-mm-dd hh:nn:ss", on the wall clock of Zone (UTC, the logger's own
/// clock, by default). Raises what the point's Time raises.
template <class PointType>
std::string PointTimeText(const PointType& Point, const TimeZone& Zone = {}) {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", Zone.FromUtc(Point.Time()));
}

/// The point's flags byte as "%2.2x", one blank, and PointTimeText: "1F 2013-11-24 06:21:52".
template <class PointType>
std::string PointHeaderText(const PointType& Point, const TimeZone& Zone = {}) {
  return HexStr(Point.Flags(), 2) + ' ' + PointTimeText(Point, Zone);
}

} // namespace tarnwick

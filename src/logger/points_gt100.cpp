#include "logger/points_gt100.hpp"

#include "support/number_format.hpp"
#include "support/str_util.hpp"

#include <bit>

namespace tarnwick {

int TIGotUTrackPoint100::SatelliteCount() const {
  return std::popcount(GetSatelliteMap());
}

std::string TIGotUTrackPoint100::DebugString(char DecimalSeparator) const {
  std::string s = TIGotUTrackPoint::DebugString(DecimalSeparator);
  s += " Spd=";
  AppendFixed(s, Speed(), 2, DecimalSeparator);
  s += " Crs=";
  AppendFixed(s, Course(), 2, DecimalSeparator);
  s += " TO=" + std::to_string(Timeout());
  s += " SC=$" + HexStr(SC(), 2);
  s += " Weight=" + std::to_string(Weight());
  s += " QSN=" + std::to_string(Qsn());
  return s;
}

} // namespace tarnwick

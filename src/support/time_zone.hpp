#pragma once

#include "support/date_time.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace date {
class time_zone;
} // namespace date

namespace tarnwick {

/// The zone in which times are shown: UTC (the logger's own clock), the computer's zone, or a
/// zone of the time-zone database by its IANA name. Daylight saving is looked up per moment.
/// A small value; copying it is cheap.
class TimeZone {
 public:
  /// UTC.
  TimeZone() = default;

  static TimeZone Utc() { return {}; }
  /// The computer's zone: $TZ when it names a zone of the database, else the system's setting;
  /// UTC when neither names one the database knows.
  static TimeZone Local();
  /// The zone Name of the database ("Europe/Helsinki"); raises ConvertError "unknown time zone
  /// "Name"" otherwise, and one that says why when the database cannot be read (on Windows it
  /// is the folder tzdata beside the program).
  static TimeZone Named(std::string_view Name);
  /// "utc", "local" (either case) or a zone name, as the --tz option and the viewer's
  /// preference hold it; raises as Named.
  static TimeZone FromSetting(std::string_view Setting);
  /// The names of the database's zones, sorted: what Named takes besides "UTC".
  static std::vector<std::string> Names();

  bool IsUtc() const { return zone_ == nullptr; }
  /// What FromSetting takes back: "utc", "local" or the zone's name.
  const std::string& Setting() const { return setting_; }
  /// "UTC" or the zone's name ("Europe/Helsinki"); for "local", the name of the zone it is.
  std::string Name() const;

  /// The wall-clock time in this zone at the moment Utc.
  DateTime FromUtc(DateTime Utc) const;
  /// The moment at which the wall clock of this zone shows Local. A time that the clocks skip
  /// when summer time starts is read with the offset before the change; one that they show
  /// twice when it ends, as the first of the two.
  DateTime ToUtc(DateTime Local) const;
  /// Minutes east of UTC at the moment Utc (120 for Helsinki in winter, 180 in summer).
  int OffsetMinutes(DateTime Utc) const;
  /// The zone's abbreviation at the moment Utc ("EET", "EEST"; "UTC").
  std::string Abbreviation(DateTime Utc) const;

  /// Time zone texts are compared by the zone they name.
  friend bool operator==(const TimeZone& A, const TimeZone& B) {
    return A.zone_ == B.zone_ && A.setting_ == B.setting_;
  }

 private:
  const date::time_zone* zone_ = nullptr; // null: UTC
  std::string setting_ = "utc";
};

/// "+02:00", "-05:30", "+00:00" for an offset in minutes east of UTC.
std::string UtcOffsetText(int Minutes);

} // namespace tarnwick

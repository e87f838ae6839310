#pragma once

// The capture time of a photo from its EXIF texts. Pure parsing of what a file carries: every
// text is outside input, so each parser takes exactly its form and nothing it cannot bound.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// Milliseconds since 1970-01-01 of "YYYY:MM:DD HH:MM:SS" (DateTimeOriginal) read as if it
/// were UTC: the camera's wall clock, zone unknown. Trailing NULs and blanks (cameras pad the
/// field) are ignored; anything else must match the form exactly, with a date that exists
/// (years 1..9999) and a time of day up to 23:59:59. Empty for any other text, and for the
/// "no time" forms EXIF allows: all blanks, or "0000:00:00 00:00:00".
std::optional<int64_t> ParseExifDateTime(std::string_view Text);

/// Milliseconds of SubSecTimeOriginal, the digits of a decimal fraction of a second: "12" is
/// 120 ms, "5" 500, "123456" 123 (cut, not rounded). Blanks and NULs around the digits are
/// ignored; empty for no digits, any other character, or more than 9 digits.
std::optional<int> ParseExifSubSec(std::string_view Text);

/// Minutes east of UTC of OffsetTimeOriginal, "+HH:MM" or "-HH:MM": "+02:00" is 120, "-03:30"
/// -210. Trailing NULs and blanks are ignored; empty for any other text (the blank "   :  " too)
/// and for offsets beyond 14 hours.
std::optional<int> ParseExifOffset(std::string_view Text);

/// When a photo was taken, as its EXIF texts say.
struct CaptureTime {
  /// The camera's wall clock in milliseconds since 1970 as if it were UTC, sub-seconds
  /// included.
  int64_t LocalMs = 0;
  /// The camera's offset from UTC (OffsetTimeOriginal), when the photo carries it.
  std::optional<int> OffsetMinutes;
  /// Whether SubSecTimeOriginal added milliseconds.
  bool HasSubSec = false;
  /// "YYYY-MM-DD HH:MM:SS", with ".mmm" when sub-seconds were given and " +HH:MM" when the
  /// offset was: the camera's time as a report prints it.
  std::string Text;

  /// UTC milliseconds since 1970 when the offset is known.
  std::optional<int64_t> UtcMs() const {
    if (!OffsetMinutes) {
      return std::nullopt;
    }
    return LocalMs - int64_t{*OffsetMinutes} * 60000;
  }
};

/// The capture time from DateTimeOriginal, SubSecTimeOriginal and OffsetTimeOriginal (either
/// of the last two may be empty or unreadable, and is then left out). Empty when DateTime is no
/// time (see ParseExifDateTime).
std::optional<CaptureTime> MakeCaptureTime(std::string_view DateTime, std::string_view SubSec,
                                           std::string_view Offset);

/// "YYYY-MM-DD HH:MM:SS.mmm" of milliseconds since 1970 (no zone implied); the milliseconds only
/// when WithMs.
std::string FormatPhotoTime(int64_t Ms, bool WithMs);

} // namespace tarnwick

#include "photos/photo_time.hpp"

#include <array>
#include <cstdio>

namespace tarnwick {

namespace {

// Without the NULs and blanks that cameras pad fixed-size fields with.
std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string_view Trim(std::string_view text) {
  text = TrimEnd(text);
  while (!text.empty() && (text.front() == '\0' || text.front() == ' ')) {
    text.remove_prefix(1);
  }
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number of Count digits at Pos of Text, or -1 when any is not a digit.
int Digits(std::string_view text, size_t pos, size_t count) {
  int value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (!IsDigit(text[i])) {
      return -1;
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int64_t Year;
  int Month;
  int Day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace

std::optional<int64_t> ParseExifDateTime(std::string_view Text) {
  // "YYYY:MM:DD HH:MM:SS": 19 characters, separators at fixed places.
  const std::string_view text = TrimEnd(Text);
  if (text.size() != 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  // A field of blanks or zeros is how EXIF says "unknown"; so is any part out of range.
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  const int64_t days = DaysFromCivil(year, month, day);
  return ((days * 24 + hour) * 60 + minute) * 60000 + int64_t{second} * 1000;
}

std::optional<int> ParseExifSubSec(std::string_view Text) {
  const std::string_view digits = Trim(Text);
  if (digits.empty() || digits.size() > 9) {
    return std::nullopt;
  }
  int ms = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (!IsDigit(digits[i])) {
      return std::nullopt;
    }
    if (i < 3) {
      ms = ms * 10 + (digits[i] - '0');
    }
  }
  for (size_t i = digits.size(); i < 3; ++i) {
    ms *= 10; // "5" is five tenths
  }
  return ms;
}

std::optional<int> ParseExifOffset(std::string_view Text) {
  const std::string_view text = TrimEnd(Text);
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') {
    return std::nullopt;
  }
  const int hours = Digits(text, 1, 2);
  const int minutes = Digits(text, 4, 2);
  if (hours < 0 || minutes < 0 || minutes > 59 || hours * 60 + minutes > 14 * 60) {
    return std::nullopt;
  }
  const int offset = hours * 60 + minutes;
  return text[0] == '-' ? -offset : offset;
}

std::string FormatPhotoTime(int64_t Ms, bool WithMs) {
  const int64_t days = FloorDiv(Ms, 86'400'000);
  const int64_t ofDay = Ms - days * 86'400'000;
  const Civil date = CivilFromDays(days);
  const auto seconds = static_cast<int>(ofDay / 1000);
  char text[48];
  if (WithMs) {
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d.%03d",
                  static_cast<long long>(date.Year), date.Month, date.Day, seconds / 3600,
                  seconds / 60 % 60, seconds % 60, static_cast<int>(ofDay % 1000));
  } else {
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d",
                  static_cast<long long>(date.Year), date.Month, date.Day, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
  }
  return text;
}

std::optional<CaptureTime> MakeCaptureTime(std::string_view DateTime, std::string_view SubSec,
                                           std::string_view Offset) {
  const std::optional<int64_t> local = ParseExifDateTime(DateTime);
  if (!local) {
    return std::nullopt;
  }
  CaptureTime t;
  t.LocalMs = *local;
  if (const auto ms = ParseExifSubSec(SubSec)) {
    t.LocalMs += *ms;
    t.HasSubSec = true;
  }
  t.OffsetMinutes = ParseExifOffset(Offset);
  t.Text = FormatPhotoTime(t.LocalMs, t.HasSubSec);
  if (t.OffsetMinutes) {
    const int offset = *t.OffsetMinutes;
    const int size = offset < 0 ? -offset : offset;
    char zone[16];
    std::snprintf(zone, sizeof zone, " %c%02d:%02d", offset < 0 ? '-' : '+', size / 60, size % 60);
    t.Text += zone;
  }
  return t;
}

} // namespace tarnwick

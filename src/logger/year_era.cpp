#include "logger/year_era.hpp"

#include "logger/point_records.hpp"
#include "support/errors.hpp"

#include <charconv>
#include <fmt/format.h>

namespace tarnwick {

namespace {

constexpr int kRecordedFirst = 2000;
// The latest first year whose window still ends in a year the date-time values can hold.
constexpr int kLastFirstYear = 9984;

// The place of a moment inside its year, from the header fields as recorded (out-of-range
// values included, so that a damaged record still gets a year): larger is later.
int64_t KeyInYear(int Month, int Day, int Hour, int Minute, int SMS) {
  return ((((int64_t{Month} * 32 + Day) * 32 + Hour) * 64 + Minute) * 65536) + SMS;
}

std::string DayText(DateTime Value) {
  return FormatDateTime("yyyy-mm-dd", Value);
}

} // namespace

YearEra YearEra::FromFirstYear(int FirstYear) {
  if (FirstYear < kRecordedFirst || FirstYear > kLastFirstYear) {
    throw ConvertError(fmt::format("the first year of an era must lie between {} and {}, not {}",
                                   kRecordedFirst, kLastFirstYear, FirstYear));
  }
  YearEra era;
  era.kind_ = Kind::Fixed;
  era.first_ = FirstYear;
  return era;
}

YearEra YearEra::Automatic(std::optional<DateTime> Downloaded) {
  YearEra era;
  era.kind_ = Kind::Auto;
  if (!Downloaded) {
    return era;
  }
  const DateTimeParts limit = DecodeDateTime(*Downloaded + 1.0);
  if (limit.Year < kRecordedFirst || limit.Year > 9999) {
    return era; // a download before the logger's first year: nothing to count from
  }
  era.reference_ = Downloaded;
  era.downloadYear_ = DecodeDateTime(*Downloaded).Year;
  era.limitYear_ = limit.Year;
  era.limitKey_ = KeyInYear(limit.Month, limit.Day, limit.Hour, limit.Minute,
                            limit.Second * 1000 + limit.MilliSecond);
  return era;
}

void YearEra::CheckSetting(std::string_view Setting) {
  (void)FromSetting(Setting, std::nullopt);
}

YearEra YearEra::FromSetting(std::string_view Setting, std::optional<DateTime> Downloaded) {
  if (Setting == "auto") {
    return Automatic(Downloaded);
  }
  if (Setting == "recorded") {
    return Recorded();
  }
  int year = 0;
  const auto* end = Setting.data() + Setting.size();
  const auto [ptr, ec] = std::from_chars(Setting.data(), end, year);
  if (Setting.size() != 4 || ec != std::errc() || ptr != end) {
    throw ConvertError(fmt::format(
        "\"{}\" is not a year era: give auto, recorded or a first year such as 2016", Setting));
  }
  return FromFirstYear(year);
}

int YearEra::YearBase(const TIGotUPointBase& Record) const {
  return YearBase(Record.YM(), Record.DHM(), Record.SMS());
}

int YearEra::YearBase(uint8_t YM, uint16_t DHM, uint16_t SMS) const {
  const int bits = YM >> 4;
  switch (kind_) {
  case Kind::Recorded:
    break;
  case Kind::Fixed: {
    const int firstBits = (first_ - kRecordedFirst) % 16;
    const int year = first_ + (bits - firstBits + 16) % 16;
    return year - bits;
  }
  case Kind::Auto: {
    if (!reference_) {
      break;
    }
    const int span = limitYear_ - kRecordedFirst - bits;
    if (span < 0) {
      break;
    }
    int k = span / 16;
    if (kRecordedFirst + bits + 16 * k == limitYear_ &&
        KeyInYear(YM & 0x0F, DHM >> 11, (DHM >> 6) & 0x1F, DHM & 0x3F, SMS) > limitKey_) {
      --k; // later in the download's own year than the download: a year of the era before
    }
    return kRecordedFirst + 16 * (k < 0 ? 0 : k);
  }
  }
  return kRecordedFirst;
}

int YearEra::FirstYear() const {
  switch (kind_) {
  case Kind::Recorded:
    break;
  case Kind::Fixed:
    return first_;
  case Kind::Auto:
    // The years up to the download's; the day of slack can reach into the next only on
    // the last day of a year.
    if (reference_ && downloadYear_ - 15 > kRecordedFirst) {
      return downloadYear_ - 15;
    }
    break;
  }
  return kRecordedFirst;
}

std::string YearEra::Description() const {
  const std::string years = fmt::format("years read as {}\u2013{}", FirstYear(), LastYear());
  switch (kind_) {
  case Kind::Recorded:
    return years + ": as recorded";
  case Kind::Fixed:
    return years + ": as chosen";
  case Kind::Auto:
    break;
  }
  if (!reference_) {
    return years + ": as recorded, the image has no download time";
  }
  return years + ": downloaded " + DayText(*reference_);
}

} // namespace tarnwick

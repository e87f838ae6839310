#include "gpx/gpx_time.hpp"

#include "gpx/gpx_number.hpp"

#include <cstdint>

namespace tarnwick {

namespace {

constexpr int64_t kMSecsPerDay = 86'400'000;

// The value of the Count digits at Text[Pos], or -1 when they are not all digits.
int Digits(std::string_view Text, size_t Pos, size_t Count) {
  if (Pos + Count > Text.size()) {
    return -1;
  }
  int value = 0;
  for (size_t i = Pos; i < Pos + Count; ++i) {
    if (Text[i] < '0' || Text[i] > '9') {
      return -1;
    }
    value = value * 10 + (Text[i] - '0');
  }
  return value;
}

bool Is(std::string_view Text, size_t Pos, char C) {
  return Pos < Text.size() && Text[Pos] == C;
}

} // namespace

// Kept beside StrToDateTime for its results, not its speed (gpx_bench's read gains only 8%):
// that parser drops offsets and reads "06:21:52z" or "06:21:52,5Z" as 06:21.
std::optional<DateTime> TryGPXTime(std::string_view Text) {
  Text = TrimXmlBlanks(Text);
  // yyyy-mm-ddThh:mm:ss, every field with exactly its digits.
  const int year = Digits(Text, 0, 4), month = Digits(Text, 5, 2), day = Digits(Text, 8, 2);
  const int hour = Digits(Text, 11, 2), minute = Digits(Text, 14, 2), second = Digits(Text, 17, 2);
  if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 ||
      !Is(Text, 4, '-') || !Is(Text, 7, '-') || !(Is(Text, 10, 'T') || Is(Text, 10, 't')) ||
      !Is(Text, 13, ':') || !Is(Text, 16, ':') || !IsValidDate(year, month, day) || hour > 23 ||
      minute > 59 || second > 60) {
    return std::nullopt;
  }
  size_t pos = 19;
  int64_t ms = 0;
  if (Is(Text, pos, '.') || Is(Text, pos, ',')) {
    const size_t first = ++pos;
    while (pos < Text.size() && Text[pos] >= '0' && Text[pos] <= '9') {
      const int64_t digit = Text[pos] - '0';
      const size_t place = pos - first;
      if (place < 3) {
        ms += digit * (place == 0 ? 100 : place == 1 ? 10 : 1);
      } else if (place == 3 && digit >= 5) {
        ++ms; // rounded to the millisecond, halves up; later digits cannot change that
      }
      ++pos;
    }
    if (pos == first) {
      return std::nullopt;
    }
  }
  int64_t offset = 0;
  if (Is(Text, pos, 'Z') || Is(Text, pos, 'z')) {
    ++pos;
  } else if (Is(Text, pos, '+') || Is(Text, pos, '-')) {
    const int oh = Digits(Text, pos + 1, 2), om = Digits(Text, pos + 4, 2);
    if (oh < 0 || om < 0 || !Is(Text, pos + 3, ':') || oh > 23 || om > 59) {
      return std::nullopt;
    }
    offset = (oh * 60LL + om) * 60'000 * (Text[pos] == '-' ? -1 : 1);
    pos += 6;
  }
  if (pos != Text.size()) {
    return std::nullopt;
  }
  // Whole milliseconds from the date's midnight, in UTC; the leap second, the rounding and the
  // offset may carry into a neighbouring day.
  const auto date = static_cast<int64_t>(EncodeDate(year, month, day));
  const int64_t total =
      date * kMSecsPerDay + ((hour * 60LL + minute) * 60 + second) * 1000 + ms - offset;
  int64_t days = total / kMSecsPerDay;
  int64_t rest = total % kMSecsPerDay;
  if (rest < 0) {
    rest += kMSecsPerDay;
    --days;
  }
  static const auto first = static_cast<int64_t>(EncodeDate(1, 1, 1));
  static const auto last = static_cast<int64_t>(EncodeDate(9999, 12, 31));
  if (days < first || days > last) {
    return std::nullopt;
  }
  return static_cast<double>(days) + static_cast<double>(rest) / kMSecsPerDay;
}

} // namespace tarnwick

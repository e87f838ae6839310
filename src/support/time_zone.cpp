#include "support/time_zone.hpp"

#include "support/errors.hpp"
#include "support/os_process.hpp"

#include <date/tz.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fmt/format.h>

namespace tarnwick {

namespace {

using Milliseconds = std::chrono::milliseconds;
using SysMs = date::sys_time<Milliseconds>;
using LocalMs = date::local_time<Milliseconds>;

// Milliseconds from 1899-12-30 (the date-time values' origin) to 1970-01-01.
constexpr int64_t kEpochShiftMs = 25'569LL * 86'400'000;
// The database's rules are extrapolated outside this span; a value outside it is no real time
// (a corrupt record), so it is left as it is rather than pushed through the calendar.
const int64_t kFirstMs = DateTimeToMilliseconds(EncodeDate(1, 1, 1));
const int64_t kLastMs = DateTimeToMilliseconds(EncodeDate(9999, 12, 31));

bool InRange(int64_t Ms) {
  return Ms >= kFirstMs && Ms <= kLastMs;
}

SysMs ToSys(int64_t Ms) {
  return SysMs(Milliseconds(Ms - kEpochShiftMs));
}

DateTime FromMs(int64_t Ms) {
  return static_cast<double>(Ms) / 86'400'000.0;
}

// The database, read at its first use; null, with Why telling why, when it cannot be read.
const date::tzdb* Database(std::string* Why = nullptr) {
#if !USE_OS_TZDB
  // A system without a database of its own (Windows): the package puts the text database in
  // the folder tzdata beside the program.
  static const bool placed = [] {
    std::string folder = ExecutablePath();
    folder.erase(folder.find_last_of("\\/") + 1);
    date::set_install(folder + "tzdata");
    return true;
  }();
  (void)placed;
#endif
  try {
    return &date::get_tzdb();
  } catch (const std::exception& e) {
    if (Why != nullptr) {
      *Why = e.what();
    }
    return nullptr;
  }
}

const date::time_zone* Locate(std::string_view Name) {
  if (Database() == nullptr) {
    return nullptr;
  }
  try {
    return date::locate_zone(Name);
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool IsUtcName(std::string_view Name) {
  return Name.size() == 3 && (Name[0] | 0x20) == 'u' && (Name[1] | 0x20) == 't' &&
         (Name[2] | 0x20) == 'c';
}

} // namespace

TimeZone TimeZone::Local() {
  TimeZone zone;
  zone.setting_ = "local";
  // Read once at start-up by the thread that builds the options, never while others run.
  // NOLINTNEXTLINE(concurrency-mt-unsafe)
  if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
    std::string_view name(tz);
    if (name.front() == ':') {
      name.remove_prefix(1);
    }
    if (const auto* found = Locate(name)) {
      zone.zone_ = found;
      return zone;
    }
  }
  try {
    zone.zone_ = Database() != nullptr ? date::current_zone() : nullptr;
  } catch (const std::exception&) {
    zone.zone_ = nullptr; // no zone configured: the system runs on UTC
  }
  return zone;
}

std::vector<std::string> TimeZone::Names() {
  std::vector<std::string> names;
  try {
    const auto& db = date::get_tzdb();
    for (const auto& zone : db.zones) {
      names.emplace_back(zone.name());
    }
  } catch (const std::exception&) {
    return {}; // no database: only UTC and the computer's zone can be chosen
  }
  std::sort(names.begin(), names.end());
  return names;
}

TimeZone TimeZone::Named(std::string_view Name) {
  if (IsUtcName(Name)) {
    return Utc();
  }
  std::string why;
  if (Database(&why) == nullptr) {
    throw ConvertError(
        fmt::format("time zone \"{}\": the time-zone database cannot be read: {}", Name, why));
  }
  const auto* found = Locate(Name);
  if (found == nullptr) {
    throw ConvertError(fmt::format("unknown time zone \"{}\" (give utc, local or a name of the "
                                   "time-zone database such as Europe/Helsinki)",
                                   Name));
  }
  TimeZone zone;
  zone.zone_ = found;
  zone.setting_ = std::string(found->name());
  return zone;
}

TimeZone TimeZone::FromSetting(std::string_view Setting) {
  if (Setting.size() == 5) {
    std::string lower(Setting);
    for (char& c : lower) {
      c = static_cast<char>(c | 0x20);
    }
    if (lower == "local") {
      return Local();
    }
  }
  return Named(Setting);
}

std::string TimeZone::Name() const {
  return zone_ == nullptr ? std::string("UTC") : std::string(zone_->name());
}

int TimeZone::OffsetMinutes(DateTime Utc) const {
  const int64_t ms = DateTimeToMilliseconds(Utc);
  if (zone_ == nullptr || !InRange(ms)) {
    return 0;
  }
  const date::sys_info info = zone_->get_info(ToSys(ms));
  return static_cast<int>(std::chrono::duration_cast<std::chrono::minutes>(info.offset).count());
}

std::string TimeZone::Abbreviation(DateTime Utc) const {
  const int64_t ms = DateTimeToMilliseconds(Utc);
  if (zone_ == nullptr || !InRange(ms)) {
    return "UTC";
  }
  return zone_->get_info(ToSys(ms)).abbrev;
}

DateTime TimeZone::FromUtc(DateTime Utc) const {
  const int64_t ms = DateTimeToMilliseconds(Utc);
  if (zone_ == nullptr || !InRange(ms)) {
    return Utc;
  }
  const date::sys_info info = zone_->get_info(ToSys(ms));
  return FromMs(ms + std::chrono::duration_cast<Milliseconds>(info.offset).count());
}

DateTime TimeZone::ToUtc(DateTime Local) const {
  const int64_t ms = DateTimeToMilliseconds(Local);
  if (zone_ == nullptr || !InRange(ms)) {
    return Local;
  }
  const LocalMs local{Milliseconds(ms - kEpochShiftMs)};
  const date::local_info info = zone_->get_info(date::floor<std::chrono::seconds>(local));
  // Skipped times take the offset before the change, repeated ones the first (earlier) offset.
  const auto offset = info.first.offset;
  return FromMs(ms - std::chrono::duration_cast<Milliseconds>(offset).count());
}

std::string UtcOffsetText(int Minutes) {
  const int magnitude = Minutes < 0 ? -Minutes : Minutes;
  return fmt::format("{}{:02}:{:02}", Minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

} // namespace tarnwick

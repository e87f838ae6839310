#pragma once

#include <cstdint>
#include <ctime>

namespace tarnwick {

/// A moment of the wall clock.
struct WallClockTime {
  int64_t Seconds = 0; // since 1970 UTC
  int Nanoseconds = 0; // 0 to 999 999 999
};

WallClockTime WallClockNow();

/// Seconds as a local date and time of the system's time zone.
std::tm LocalTimeOf(int64_t Seconds);

} // namespace tarnwick

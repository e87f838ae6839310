#include "support/os_clock.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tarnwick {

WallClockTime WallClockNow() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  // 100 ns steps since 1601.
  const uint64_t ticks = uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime;
  const uint64_t sinceUnix = ticks - uint64_t{116'444'736'000'000'000};
  return {static_cast<int64_t>(sinceUnix / 10'000'000),
          static_cast<int>(sinceUnix % 10'000'000) * 100};
}

std::tm LocalTimeOf(int64_t Seconds) {
  const auto t = static_cast<__time64_t>(Seconds);
  std::tm local{};
  ::_localtime64_s(&local, &t);
  return local;
}

} // namespace tarnwick

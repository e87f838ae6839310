#include "support/os_clock.hpp"

#include <time.h>

namespace tarnwick {

WallClockTime WallClockNow() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return {static_cast<int64_t>(ts.tv_sec), static_cast<int>(ts.tv_nsec)};
}

std::tm LocalTimeOf(int64_t Seconds) {
  const auto t = static_cast<time_t>(Seconds);
  std::tm local{};
  ::localtime_r(&t, &local);
  return local;
}

} // namespace tarnwick

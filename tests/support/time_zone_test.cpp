// Time zones: wall-clock times of named zones with summer time, the computer's zone, and the
// times that the clocks skip or show twice.
#include "support/date_time.hpp"
#include "support/errors.hpp"
#include "support/time_zone.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace tarnwick {
namespace {

DateTime Utc(int Y, int M, int D, int H = 0, int Mi = 0, int S = 0) {
  return EncodeDate(Y, M, D) + EncodeTime(H, Mi, S, 0);
}

std::string Text(DateTime Value) {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", Value);
}

TEST(TimeZone, NamedZonesFollowSummerTimePerMoment) {
  const TimeZone helsinki = TimeZone::Named("Europe/Helsinki");
  EXPECT_EQ(helsinki.Name(), "Europe/Helsinki");
  EXPECT_EQ(helsinki.Setting(), "Europe/Helsinki");
  EXPECT_FALSE(helsinki.IsUtc());
  const DateTime winter = Utc(2026, 1, 15, 10, 0, 0);
  const DateTime summer = Utc(2026, 7, 1, 10, 0, 0);
  EXPECT_EQ(Text(helsinki.FromUtc(winter)), "2026-01-15 12:00:00");
  EXPECT_EQ(Text(helsinki.FromUtc(summer)), "2026-07-01 13:00:00");
  EXPECT_EQ(helsinki.OffsetMinutes(winter), 120);
  EXPECT_EQ(helsinki.Abbreviation(summer), "EEST");
  // West of Greenwich and across midnight.
  const TimeZone newYork = TimeZone::FromSetting("America/New_York");
  EXPECT_EQ(Text(newYork.FromUtc(Utc(2026, 1, 1, 3, 30, 0))), "2025-12-31 22:30:00");
  EXPECT_EQ(UtcOffsetText(newYork.OffsetMinutes(winter)), "-05:00");
  EXPECT_EQ(UtcOffsetText(TimeZone::Named("Asia/Kolkata").OffsetMinutes(winter)), "+05:30");

  // Back again, also on the days the clocks change (2026-03-29 and 2026-10-25 in Helsinki).
  for (const DateTime t : {winter, summer, Utc(2026, 3, 29, 0, 59, 59), Utc(2026, 3, 29, 1, 0, 0),
                           Utc(2026, 10, 25, 2, 0, 0)}) {
    EXPECT_EQ(Text(helsinki.ToUtc(helsinki.FromUtc(t))), Text(t));
  }
  // 03:30 is skipped in spring: read with the winter offset. It is shown twice in autumn: the
  // first of the two.
  EXPECT_EQ(Text(helsinki.ToUtc(Utc(2026, 3, 29, 3, 30, 0))), "2026-03-29 01:30:00");
  EXPECT_EQ(Text(helsinki.ToUtc(Utc(2026, 10, 25, 3, 30, 0))), "2026-10-25 00:30:00");
}

TEST(TimeZone, UtcAndTimesOutsideTheCalendarStayAsTheyAre) {
  for (const char* name : {"utc", "UTC", "Utc"}) {
    const TimeZone utc = TimeZone::FromSetting(name);
    EXPECT_TRUE(utc.IsUtc());
    EXPECT_EQ(utc.Setting(), "utc");
  }
  const TimeZone helsinki = TimeZone::Named("Europe/Helsinki");
  EXPECT_EQ(TimeZone().FromUtc(Utc(2026, 7, 1, 10)), Utc(2026, 7, 1, 10));
  EXPECT_EQ(helsinki.FromUtc(-1e9), -1e9);
  EXPECT_EQ(helsinki.FromUtc(1e12), 1e12);
  EXPECT_EQ(helsinki.Abbreviation(-1e9), "UTC");
}

TEST(TimeZone, UnknownNamesAreRefusedNamingThem) {
  for (const char* bad : {"Nowhere/Zone", "", "Europe/Helsinki ", "../../etc/passwd", "loca"}) {
    try {
      (void)TimeZone::FromSetting(bad);
      ADD_FAILURE() << "accepted \"" << bad << "\"";
    } catch (const ConvertError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + bad + "\""), std::string::npos)
          << e.what();
    }
  }
}

#ifndef _WIN32
TEST(TimeZone, TheComputersZoneComesFromTzWhenItNamesOne) {
  const char* old = std::getenv("TZ");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("TZ", ":Europe/Helsinki", 1);
  const TimeZone local = TimeZone::FromSetting("Local");
  EXPECT_EQ(local.Setting(), "local");
  EXPECT_EQ(local.Name(), "Europe/Helsinki");
  EXPECT_EQ(local.OffsetMinutes(Utc(2026, 7, 1)), 180);
  if (saved) {
    setenv("TZ", saved->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
}
#endif

} // namespace
} // namespace tarnwick

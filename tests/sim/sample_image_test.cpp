#include "logger/tracks.hpp"
#include "sim/sample_image.hpp"
#include "support/dump_text.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace tarnwick::sim {
namespace {

std::vector<uint8_t> Bytes(const TIGotUWholeData& image) {
  const auto* b = image.Blocks();
  return {b->DataBuffer(), b->DataBuffer() + b->NumberOfBytes()};
}

double Metres(const TIGotUTrackPoint& a, const TIGotUTrackPoint& b) {
  const double dLat = (b.Latitude() - a.Latitude()) * 111320.0;
  const double dLon =
      (b.Longitude() - a.Longitude()) * 111320.0 * std::cos(a.Latitude() * std::numbers::pi / 180);
  return std::hypot(dLat, dLon);
}

class SampleImage : public ::testing::TestWithParam<std::tuple<SampleFamily, int>> {};

TEST_P(SampleImage, DecodesCleanlyWithPlausibleTracks) {
  const auto [family, n] = GetParam();
  const TIGotUWholeData image = GenerateSampleImage({family, n, 42});
  EXPECT_EQ(image.Status.NumberOfPoints(), n);
  EXPECT_EQ(image.Status.FModel.ModelType(), family == SampleFamily::GT900 ? 0x17 : 0x15);
  EXPECT_EQ(image.ConfigLength(), 4096);
  ASSERT_NE(image.Blocks(), nullptr);
  EXPECT_EQ(image.Blocks()->NumberOfSlots(), n);

  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  EXPECT_EQ(points.Points().Count(), n);
  if (n > 0) {
    EXPECT_GE(points.Tracks().Count(), 1);
  }
  for (const auto& r : points.Points()) {
    ASSERT_TRUE(r->IsValidRecord());
    ASSERT_NO_THROW(r->Time());
    // The generator's clock steps in whole seconds; a drifting clock shows up as x.999 s.
    ASSERT_EQ(r->MilliSecond(), 0) << PointTimeText(*r);
    EXPECT_LE(r->Year(), 2015);
    if (family == SampleFamily::GT120) {
      EXPECT_TRUE(r->AsExtPoint() == nullptr);
    }
  }
  int hr = 0;
  int cadence = 0;
  int speed = 0;
  DateTime previousEnd = 0;
  for (int t = 0; t < points.Tracks().Count(); ++t) {
    const TIGotUTrack& track = points.Tracks()[t];
    EXPECT_GT(track.StartTime(), previousEnd) << "tracks follow each other in time";
    previousEnd = track.LastTime();
    for (size_t i = 1; i < track.Points().size(); ++i) {
      const auto& a = *track.Points()[i - 1];
      const auto& b = *track.Points()[i];
      const double seconds = (b.Time() - a.Time()) * 86400;
      ASSERT_GT(seconds, 0.5);
      EXPECT_LT(Metres(a, b) / seconds, 60.0) << "no jumps";
      EXPECT_LT(std::fabs(b.Elevation() - a.Elevation()), 10 * seconds);
    }
    for (const auto* p : track.Points()) {
      EXPECT_GT(p->EHPE(), 0);
      if (family == SampleFamily::GT120) {
        EXPECT_GE(p->SatelliteCount(), 4);
      } else {
        EXPECT_LT(std::fabs(p->PressureElevation() - p->Elevation()), 10);
      }
    }
    // Sensor records lie within the track's time (a window ends at most 24 s after a point).
    auto within = [&](const TIGotUExtPoint* e) {
      return e->Time() >= track.StartTime() - 1e-9 && e->Time() <= track.LastTime() + 25.0 / 86400;
    };
    for (const auto* e : track.HR()) {
      EXPECT_TRUE(within(e));
      EXPECT_GE(e->getIntValues(0), 50);
    }
    for (const auto* e : track.Cadence()) {
      EXPECT_TRUE(within(e));
    }
    for (const auto* e : track.Speed()) {
      EXPECT_TRUE(within(e));
      EXPECT_LT(e->getDoubleValues(11), 30);
    }
    hr += static_cast<int>(track.HR().size());
    cadence += static_cast<int>(track.Cadence().size());
    speed += static_cast<int>(track.Speed().size());
  }
  if (family == SampleFamily::GT900 && n >= 20000) {
    EXPECT_GT(hr, 100);
    EXPECT_GT(cadence, 10);
    EXPECT_GT(speed, 10);
  }
  if (n >= 20000) {
    EXPECT_GT(points.Tracks().Count(), 3);
    EXPECT_GT(points.DebugPoints().Count(), 0);
    int ways = 0;
    for (int t = 0; t < points.Tracks().Count(); ++t) {
      ways += points.Tracks()[t].CountWayPoints();
    }
    EXPECT_GT(ways, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SampleImage,
                         ::testing::Combine(::testing::Values(SampleFamily::GT120,
                                                              SampleFamily::GT900),
                                            ::testing::Values(0, 1, 128, 129, 20000, 65535)));

TEST(SampleImageSeed, SameSeedSameBytesOtherSeedOtherBytes) {
  const auto a = GenerateSampleImage({SampleFamily::GT900, 3000, 7});
  const auto b = GenerateSampleImage({SampleFamily::GT900, 3000, 7});
  const auto c = GenerateSampleImage({SampleFamily::GT900, 3000, 8});
  EXPECT_EQ(Bytes(a), Bytes(b));
  EXPECT_EQ(a.Status.FIdent.Data, b.Status.FIdent.Data);
  EXPECT_NE(Bytes(a), Bytes(c));
}

TEST(SampleImageSeed, FamiliesCutTheirOwnWay) {
  const auto gt120 = GenerateSampleImage({SampleFamily::GT120, 20000, 3});
  const TIGotUPoints p120(gt120.Status.FModel, gt120.Blocks());
  for (int t = 0; t < p120.Tracks().Count(); ++t) {
    EXPECT_TRUE(p120.Tracks()[t].Points().front()->IsTrackStart());
  }
  const auto gt900 = GenerateSampleImage({SampleFamily::GT900, 20000, 3});
  const TIGotUPoints p900(gt900.Status.FModel, gt900.Blocks());
  int resets = 0;
  for (const auto* m : p900.DebugPoints()) {
    resets += m->IsTrackStart() ? 1 : 0;
  }
  EXPECT_EQ(resets, p900.Tracks().Count() - 1);
}

TEST(SampleImageSeed, FamilyNames) {
  EXPECT_EQ(ParseSampleFamily("gt120"), SampleFamily::GT120);
  EXPECT_EQ(ParseSampleFamily("gt900"), SampleFamily::GT900);
  EXPECT_FALSE(ParseSampleFamily("GT900").has_value());
}

} // namespace
} // namespace tarnwick::sim

namespace tarnwick::sim {
namespace {

SampleSpec RideSpec(SampleFamily Family, int Records, double Hours) {
  SampleSpec spec(Family, Records, 3);
  spec.RideHours = Hours;
  return spec;
}

// A ride is one track of the hours asked for, a fix a second while the memory holds them with
// the sensor records, and sparser fixes (never a shorter ride) when it does not.
TEST(SampleImageRide, OneTrackOfTheHoursWithItsSamples) {
  for (const auto& [hours, interval] :
       {std::pair{2.0, 1}, std::pair{15.0, 1}, std::pair{20.0, 2}}) {
    SCOPED_TRACE(hours);
    const TIGotUWholeData image = GenerateSampleImage(RideSpec(SampleFamily::GT900, 65535, hours));
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    ASSERT_EQ(points.Tracks().Count(), 1);
    const TIGotUTrack& ride = points.Tracks()[0];
    EXPECT_EQ(ride.TimeLength(), static_cast<int64_t>(hours * 3600));
    const auto& p = ride.Points();
    ASSERT_GE(p.size(), 2U);
    EXPECT_EQ(static_cast<size_t>(hours * 3600 / interval) + 1, p.size());
    EXPECT_NEAR((p[1]->Time() - p[0]->Time()) * 86400, interval, 1e-3);
    // A sample record per 24 s of heart rate and cadence, per 12 s of wheel speed.
    EXPECT_NEAR(static_cast<double>(ride.HR().size()), hours * 3600 / 24, 1);
    EXPECT_NEAR(static_cast<double>(ride.Cadence().size()), hours * 3600 / 24, 1);
    EXPECT_NEAR(static_cast<double>(ride.Speed().size()), hours * 3600 / 12, 1);
  }
}

TEST(SampleImageRide, ALongerRideThanTheMemoryHoldsFillsIt) {
  const TIGotUWholeData image = GenerateSampleImage(RideSpec(SampleFamily::GT120, 3000, 400));
  EXPECT_EQ(image.Status.NumberOfPoints(), 3000);
  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  EXPECT_EQ(points.Tracks().Count(), 1);
  EXPECT_TRUE(points.Tracks()[0].HR().empty());
}

} // namespace
} // namespace tarnwick::sim

#include "analysis/track_series.hpp"
#include "analysis/track_stats.hpp"
#include "gpx/gpx_file.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "gpx/track_point_extension.hpp"
#include "logger/tracks.hpp"
#include "sim/sample_image.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace tarnwick {
namespace {

// A generated GT-900 memory (pressure elevation, heart rate, cadence and wheel speed) with its
// tracks decoded, and each track as our GPX export writes it and reads it back.
class ImageAndGpx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The reader keeps the samples of the extension classes registered for the program.
    static const bool registered = [] {
      TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class());
      return true;
    }();
    (void)registered;
  }

  void SetUp() override {
    image_ = sim::GenerateSampleImage(sim::SampleSpec(sim::SampleFamily::GT900, 6000, 7));
    points_ = std::make_unique<TIGotUPoints>(image_.Status.FModel, image_.Blocks());
    ASSERT_GE(points_->Tracks().Count(), 2);
  }

  static TrackSeries ViaGpx(const TIGotUTrack& Track) {
    const std::string text = TIGotUDataToGPX(Track, "track.gpx").CreateDocument()->SaveToString();
    TGPXFile file;
    file.LoadFromString(text, "track.gpx");
    std::vector<TrackSeries> series = SeriesOfGpxFile(file);
    EXPECT_EQ(series.size(), 1u);
    return series.empty() ? TrackSeries{} : std::move(series.front());
  }

  TIGotUWholeData image_;
  std::unique_ptr<TIGotUPoints> points_;
};

// Both NaN (no sample covers the point) or equal within Tolerance.
void ExpectSameColumn(const std::vector<double>& Image, const std::vector<double>& Gpx,
                      double Tolerance, const char* What) {
  SCOPED_TRACE(What);
  ASSERT_EQ(Image.size(), Gpx.size());
  for (size_t i = 0; i < Image.size(); ++i) {
    if (std::isnan(Image[i]) || std::isnan(Gpx[i])) {
      EXPECT_EQ(std::isnan(Image[i]), std::isnan(Gpx[i])) << "point " << i;
    } else {
      EXPECT_NEAR(Image[i], Gpx[i], Tolerance) << "point " << i;
    }
  }
}

TEST_F(ImageAndGpx, SamplesMatchThePointsAsTheExportMatchesThem) {
  bool sawSamples = false;
  for (int t = 0; t < points_->Tracks().Count(); ++t) {
    SCOPED_TRACE(t);
    const TIGotUTrack& track = points_->Tracks()[t];
    const TrackSeries image = SeriesOfTrack(track);
    const TrackSeries gpx = ViaGpx(track);
    ASSERT_EQ(image.Size(), track.Points().size());
    ASSERT_EQ(image.Size(), gpx.Size());
    EXPECT_EQ(image.Name, gpx.Name);
    EXPECT_TRUE(image.ElevationIsPressure());
    ExpectSameColumn(image.HeartRate, gpx.HeartRate, 0, "heart rate");
    ExpectSameColumn(image.Cadence, gpx.Cadence, 0, "cadence");
    ExpectSameColumn(image.SensorSpeed, gpx.SensorSpeed, 1e-3, "sensor speed");
    ExpectSameColumn(image.Elevation(), gpx.Elevation(), 0.01, "elevation");
    sawSamples = sawSamples || !image.HeartRate.empty();
  }
  EXPECT_TRUE(sawSamples);
}

TEST_F(ImageAndGpx, TheSameTrackGivesTheSameStatistics) {
  for (int t = 0; t < points_->Tracks().Count(); ++t) {
    SCOPED_TRACE(t);
    const TIGotUTrack& track = points_->Tracks()[t];
    const TrackStats a = ComputeTrackStats(SeriesOfTrack(track));
    const TrackStats b = ComputeTrackStats(ViaGpx(track));
    ASSERT_GT(a.DistanceM, 100);
    // The file rounds positions to about a centimetre and elevations to a centimetre.
    EXPECT_NEAR(a.DistanceM, b.DistanceM, a.DistanceM * 1e-4);
    EXPECT_DOUBLE_EQ(a.DurationS, b.DurationS);
    EXPECT_NEAR(a.MovingTimeS, b.MovingTimeS, a.MovingTimeS * 0.01);
    EXPECT_NEAR(a.MovingSpeedAvgMs, b.MovingSpeedAvgMs, 0.01);
    EXPECT_NEAR(a.SpeedMaxMs, b.SpeedMaxMs, 0.01);
    // (The GPS speed is not compared: the GPX reader keeps no point's speed element.)
    EXPECT_NEAR(a.ElevationMinM, b.ElevationMinM, 0.01);
    EXPECT_NEAR(a.ElevationMaxM, b.ElevationMaxM, 0.01);
    EXPECT_NEAR(a.AscentM, b.AscentM, 0.5);
    EXPECT_NEAR(a.DescentM, b.DescentM, 0.5);
    EXPECT_EQ(a.HasHeartRate, b.HasHeartRate);
    EXPECT_DOUBLE_EQ(a.HeartRateAvg, b.HeartRateAvg);
    EXPECT_DOUBLE_EQ(a.HeartRateMax, b.HeartRateMax);
    EXPECT_EQ(a.HeartRateZoneS, b.HeartRateZoneS);
    EXPECT_EQ(a.HasCadence, b.HasCadence);
    EXPECT_DOUBLE_EQ(a.CadenceAvg, b.CadenceAvg);
    EXPECT_EQ(a.HasSensorSpeed, b.HasSensorSpeed);
    EXPECT_NEAR(a.SensorSpeedAvgMs, b.SensorSpeedAvgMs, 1e-3);
    ASSERT_EQ(a.Splits.size(), b.Splits.size());
    for (size_t k = 0; k < a.Splits.size(); ++k) {
      EXPECT_NEAR(a.Splits[k].TimeS, b.Splits[k].TimeS, 1) << "km " << k + 1;
    }
  }
}

} // namespace
} // namespace tarnwick

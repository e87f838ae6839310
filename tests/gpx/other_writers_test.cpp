// Files of other programs, in the shapes they publish: gpsbabel (written by gpsbabel 1.8 itself),
// Garmin Connect, Strava and a Garmin device, under tests/data/gpx/other.
#include "gpx/gpx_file.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/number_format.hpp"

#include "gpx/gpx_test_util.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

struct WriterFile {
  const char* File;
  /// Each track as "name: point point ...", a point as "hh:nn:ss hr/cad/speed" with "-" for an
  /// absent value; tracks separated by " | ".
  const char* Expected;
};

void PrintTo(const WriterFile& F, std::ostream* Out) {
  *Out << F.File;
}

std::string Summary(const TGPXFile& Doc) {
  std::string s;
  for (int t = 0; t < Doc.Tracks().Count(); ++t) {
    const TGPXTrkType& track = Doc.Tracks()[t];
    s += (t > 0 ? " | " : "") + track.Name + ":";
    for (int i = 0; i < track.Count(); ++i) {
      s += " " + FormatDateTime("hh:nn:ss", track.Points(i)._time) + " ";
      if (!track.HasExtension(TGPXTrkTypeTpx2::Class())) {
        s += "none";
        continue;
      }
      const auto& r = track.Extension<TGPXTrkTypeTpx2>().TrkSegExt[static_cast<size_t>(i)];
      s += (r.Have(TTpxTypeDataFlag::tpxHR) ? std::to_string(r.HR) : "-") + "/" +
           (r.Have(TTpxTypeDataFlag::tpxCad) ? std::to_string(r.Cad) : "-") + "/" +
           (r.Have(TTpxTypeDataFlag::tpxSpeed) ? FormatFixed(r.Speed, 2) : "-");
    }
  }
  return s;
}

class OtherWriters : public ::testing::TestWithParam<WriterFile> {
 protected:
  static void SetUpTestSuite() { TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class()); }
};

TEST_P(OtherWriters, ReadEveryPointWithHeartRateAndCadence) {
  TGPXFile doc;
  doc.Load(std::string(TARNWICK_TEST_DATA_DIR) + "/gpx/other/" + GetParam().File);
  EXPECT_EQ(Summary(doc), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OtherWriters,
    ::testing::Values(
        // TrackPointExtension v1 under "gpxtpx", two segments in one track.
        WriterFile{"gpsbabel-tpx1.gpx", "Ride: 06:21:52 120/85/- 06:21:53 121/-/- 06:30:00 -/90/-"},
        // v1 under "ns3", declared before the prefix "xsi" it uses; temperature passed over.
        WriterFile{"garmin-connect.gpx", "Morning Run: 07:04:42 91/0/- 07:04:43 93/78/-"},
        WriterFile{"strava.gpx", "Morning Ride: 06:00:00 98/72/- 06:00:01 99/-/-"},
        // v2 with speed and course, "extensions" in "trk" and in "trkseg", two segments.
        WriterFile{"garmin-device-tpx2.gpx", "2021-08-14 11:12:30: 09:12:30 104/61/5.25 "
                                             "09:12:31 -/-/- 09:20:00 -/-/4.00"}),
    [](const ::testing::TestParamInfo<WriterFile>& Info) {
      std::string name = Info.param.File;
      name = name.substr(0, name.find('.'));
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

} // namespace
} // namespace tarnwick

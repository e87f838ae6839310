#include "analysis/track_series.hpp"

#include "gpx/ext_point_iterator.hpp"
#include "gpx/gpx_file.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "gpx/track_point_extension.hpp"
#include "logger/tracks.hpp"
#include "support/date_time.hpp"

#include <cmath>
#include <limits>

namespace tarnwick {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The series count time from 1970 (UTC), as the documentation of TrackSeries says; a DateTime
// counts days from 1899-12-30.
int64_t UnixMs(DateTime Value) {
  static const int64_t epoch = DateTimeToMilliseconds(EncodeDate(1970, 1, 1));
  return DateTimeToMilliseconds(Value) - epoch;
}

// Each point's value from the sample covering its time, as the GPX export matches them; an
// empty column when the track has no such samples.
template <class RecordType, class ValueFn>
std::vector<double> MatchedColumn(const std::vector<const TIGotUTrackPoint*>& Points,
                                  const std::vector<const RecordType*>& Samples, ValueFn Value) {
  std::vector<double> column;
  if (Samples.empty()) {
    return column;
  }
  column.assign(Points.size(), kNone);
  TIGotUExtPointIterator<RecordType> it(Samples);
  for (size_t i = 0; i < Points.size(); ++i) {
    if (it.Seek(Points[i]->Time()) >= 0) {
      column[i] = Value(it);
    }
  }
  return column;
}

// Drops a column in which no point has a value, so "the track has it" is a test for empty.
void DropIfAllMissing(std::vector<double>& Column) {
  for (const double v : Column) {
    if (!std::isnan(v)) {
      return;
    }
  }
  Column.clear();
}

} // namespace

TrackSeries SeriesOfTrack(const TIGotUTrack& Track) {
  TrackSeries s;
  const auto& points = Track.Points();
  if (!points.empty()) {
    s.Name = TIGotUDataToGPX::TrackName(Track);
  }
  const size_t n = points.size();
  s.TimeMs.reserve(n);
  s.Latitude.reserve(n);
  s.Longitude.reserve(n);
  s.GpsElevation.reserve(n);
  s.GpsSpeed.reserve(n);
  const bool pressure = !points.empty() && points.front()->HasPressureElevation();
  if (pressure) {
    s.PressureElevation.reserve(n);
  }
  for (const TIGotUTrackPoint* p : points) {
    s.TimeMs.push_back(UnixMs(p->Time()));
    s.Latitude.push_back(p->Latitude());
    s.Longitude.push_back(p->Longitude());
    s.GpsElevation.push_back(p->Elevation());
    s.GpsSpeed.push_back(p->Speed());
    if (pressure) {
      s.PressureElevation.push_back(p->PressureElevation());
    }
  }
  s.HeartRate = MatchedColumn(points, Track.HR(),
                              [](const auto& it) { return static_cast<double>(it.GetIntValue()); });
  s.Cadence = MatchedColumn(points, Track.Cadence(),
                            [](const auto& it) { return static_cast<double>(it.GetIntValue()); });
  s.SensorSpeed =
      MatchedColumn(points, Track.Speed(), [](const auto& it) { return it.GetDoubleValue(); });
  DropIfAllMissing(s.HeartRate);
  DropIfAllMissing(s.Cadence);
  DropIfAllMissing(s.SensorSpeed);
  for (const TIGotUTrackPoint* wp : Track.WayPoints()) {
    s.WayPoints.push_back({wp->Latitude(), wp->Longitude(), UnixMs(wp->Time()), std::string()});
  }
  return s;
}

TrackSeries SeriesOfGpxTrack(const TGPXTrkType& Track) {
  TrackSeries s;
  s.Name = Track.Name;
  const auto& seg = Track.TrkSeg();
  const size_t n = seg.size();
  s.TimeMs.reserve(n);
  s.Latitude.reserve(n);
  s.Longitude.reserve(n);
  s.GpsElevation.assign(n, kNone);
  s.GpsSpeed.assign(n, kNone);
  for (size_t i = 0; i < n; ++i) {
    const TGPXWptType& p = seg[i].trkpt;
    s.TimeMs.push_back(p.Have(TWptTypeDataFlag::wdfTime) ? UnixMs(p._time) : 0);
    s.Latitude.push_back(p._lat);
    s.Longitude.push_back(p._lng);
    if (p.Have(TWptTypeDataFlag::wdfEle)) {
      s.GpsElevation[i] = p._ele;
    }
    if (p.Have(TWptTypeDataFlag::wdfSpeed)) {
      s.GpsSpeed[i] = p._speed;
    }
  }
  if (Track.HasExtension(TGPXTrkTypeTpx2::Class())) {
    const auto& ext = Track.Extension<TGPXTrkTypeTpx2>().TrkSegExt;
    s.HeartRate.assign(n, kNone);
    s.Cadence.assign(n, kNone);
    s.SensorSpeed.assign(n, kNone);
    for (size_t i = 0; i < n && i < ext.size(); ++i) {
      const TGPXTrackPointExtension2& e = ext[i];
      if (e.Have(TTpxTypeDataFlag::tpxHR)) {
        s.HeartRate[i] = e.HR;
      }
      if (e.Have(TTpxTypeDataFlag::tpxCad)) {
        s.Cadence[i] = e.Cad;
      }
      if (e.Have(TTpxTypeDataFlag::tpxSpeed)) {
        s.SensorSpeed[i] = e.Speed;
      }
    }
  }
  DropIfAllMissing(s.GpsElevation);
  DropIfAllMissing(s.GpsSpeed);
  DropIfAllMissing(s.HeartRate);
  DropIfAllMissing(s.Cadence);
  DropIfAllMissing(s.SensorSpeed);
  return s;
}

std::vector<TrackSeries> SeriesOfGpxFile(const TGPXFile& File) {
  std::vector<TrackSeries> result;
  const TGPXTrkList& tracks = File.Tracks();
  result.reserve(static_cast<size_t>(tracks.Count()));
  for (int i = 0; i < tracks.Count(); ++i) {
    result.push_back(SeriesOfGpxTrack(tracks.Items(i)));
  }
  if (result.empty()) {
    return result;
  }
  const TGPXWptList& wpts = File.WayPoints();
  for (int i = 0; i < wpts.Count(); ++i) {
    const TGPXWptType& w = wpts.Points(i);
    SeriesWayPoint mark{w._lat, w._lng, 0, std::string()};
    TrackSeries* owner = &result.front();
    if (w.Have(TWptTypeDataFlag::wdfTime)) {
      mark.TimeMs = UnixMs(w._time);
      for (TrackSeries& s : result) {
        if (!s.Empty() && s.TimeMs.front() <= mark.TimeMs && mark.TimeMs <= s.TimeMs.back()) {
          owner = &s;
          break;
        }
      }
    }
    owner->WayPoints.push_back(std::move(mark));
  }
  return result;
}

} // namespace tarnwick

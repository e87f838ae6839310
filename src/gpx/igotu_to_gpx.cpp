#include "gpx/igotu_to_gpx.hpp"

#include "gpx/ext_point_iterator.hpp"
#include "gpx/track_point_extension.hpp"

namespace tarnwick {

namespace {

// The GPX schemas bound a course to 0..360 degrees.
bool IsSchemaCourse(double Course) {
  return Course >= 0 && Course <= 360;
}

// Hands each point the sample of List that covers its time, through Store(record, iterator).
template <class RecordType, class StoreFn>
void MatchSamples(const TGPXTrkType& Track, TGPXTrkTypeTpx2& Ext,
                  const std::vector<const RecordType*>& List, StoreFn Store) {
  if (List.empty()) {
    return;
  }
  TIGotUExtPointIterator<RecordType> it(List);
  for (int i = 0; i < Track.Count(); ++i) {
    if (it.Seek(Track.TrkSeg()[static_cast<size_t>(i)].trkpt._time) >= 0) {
      Store(Ext.DataPtr(i), it);
    }
  }
}

} // namespace

TIGotUDataToGPX::TIGotUDataToGPX(const TIGotUTrack& Track, std::string AFileName,
                                 GPXPreferences Preferences)
    : FTracks{&Track}, FFileName(std::move(AFileName)), preferences_(std::move(Preferences)) {}

TIGotUDataToGPX::TIGotUDataToGPX(std::vector<const TIGotUTrack*> Tracks, std::string AFileName,
                                 GPXPreferences Preferences)
    : FTracks(std::move(Tracks)), FFileName(std::move(AFileName)),
      preferences_(std::move(Preferences)) {}

TGPXWptType TIGotUDataToGPX::MakePoint(const TIGotUTrackPoint& Point, bool UtcDesignator) {
  TGPXWptType p;
  p.Create(Point.Latitude(), Point.Longitude());
  if (UtcDesignator) {
    p.SetUtcTime(Point.Time());
  } else {
    p.SetTime(Point.Time());
  }
  p.SetEle(Point.HasPressureElevation() ? Point.PressureElevation() : Point.Elevation());
  if (Point.HasSatelliteMap()) {
    p.SetSat(Point.SatelliteCount());
  }
  return p;
}

std::string TIGotUDataToGPX::TrackName(const TIGotUTrack& Track) {
  return FormatDateTime("yyyymmdd-hhnn", Track.StartTime());
}

void TIGotUDataToGPX::AddTrack(TGPXFile& Doc, const TIGotUTrack& Track) const {
  std::string name = TrackName(Track);
  TGPXTrkType& gpxTrack = Doc.Tracks().AddNewTrack();
  gpxTrack.Name = std::move(name);
  const bool strict = preferences_.Strict;
  // GPX 1.1 has no element for a point's speed and course; the strict layout moves them.
  const bool motionInExtension = strict && Doc.Version() == "1.1";
  const auto& points = Track.Points();
  gpxTrack.SetCount(static_cast<int>(points.size()));
  for (size_t i = 0; i < points.size(); ++i) {
    TGPXWptType p = MakePoint(*points[i], preferences_.UtcDesignator);
    if (!motionInExtension) {
      if (!strict || IsSchemaCourse(points[i]->Course())) {
        p.SetCourse(points[i]->Course());
      }
      p.SetSpeed(points[i]->Speed());
    }
    gpxTrack.SetPoints(static_cast<int>(i), p);
  }

  if (gpxTrack.HasExtension(TGPXTrkTypeTpx2::Class())) {
    auto& ext = gpxTrack.Extension<TGPXTrkTypeTpx2>();
    // The schema wants a heart rate from 1 and a cadence up to 254.
    MatchSamples(gpxTrack, ext, Track.HR(), [strict](auto& rec, const auto& it) {
      const int v = it.GetIntValue();
      if (!strict || v >= 1) {
        rec.SetHR(v);
      }
    });
    MatchSamples(gpxTrack, ext, Track.Cadence(), [strict](auto& rec, const auto& it) {
      const int v = it.GetIntValue();
      if (!strict || v <= 254) {
        rec.SetCad(v);
      }
    });
    MatchSamples(gpxTrack, ext, Track.Speed(), [](auto& rec, const auto& it) {
      rec.SetSpeed(static_cast<float>(it.GetDoubleValue()));
    });
    if (motionInExtension) {
      for (size_t i = 0; i < points.size(); ++i) {
        TGPXTrackPointExtension2& rec = ext.DataPtr(static_cast<int>(i));
        // The sensor's speed wins; the GPS speed fills the points no sample covers.
        if (!rec.Have(TTpxTypeDataFlag::tpxSpeed)) {
          rec.SetSpeed(static_cast<float>(points[i]->Speed()));
        }
        if (IsSchemaCourse(points[i]->Course())) {
          rec.SetCourse(static_cast<float>(points[i]->Course()));
        }
      }
    }
  }

  for (const TIGotUTrackPoint* wp : Track.WayPoints()) {
    Doc.WayPoints().Add(MakePoint(*wp, preferences_.UtcDesignator));
  }
}

std::unique_ptr<TGPXFile> TIGotUDataToGPX::CreateDocument() const {
  auto doc = std::make_unique<TGPXFile>();
  doc->SetVersion(preferences_.Version);
  doc->SetStrict(preferences_.Strict);
  if (preferences_.OutputExtensions) {
    doc->Tracks().AddExtensionClass(TGPXTrkTypeTpx2::Class());
  }
  for (const TIGotUTrack* track : FTracks) {
    AddTrack(*doc, *track);
  }
  doc->SetCreator("Tarnwick. Vanterel.");
  return doc;
}

bool TIGotUDataToGPX::Execute(const std::shared_ptr<IProgressInterface>& ProgressInterface) {
  const std::unique_ptr<TGPXFile> doc = CreateDocument();
  leftOut_ = doc->LeftOut();
  doc->SetProgress(ProgressInterface);
  // A cancelled export leaves no shortened file behind in place of the user's file.
  const bool complete = doc->Save(FFileName, GPXAbortAction::Discard);
  doc->SetProgress(nullptr);
  return complete;
}

} // namespace tarnwick

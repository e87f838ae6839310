#pragma once

// Walks every accessor a viewer or the command line would call on decoded data.

#include "logger/points_gt100.hpp"
#include "logger/points_gt800.hpp"
#include "logger/tracks.hpp"
#include "present/grid_helpers.hpp"
#include "present/image_texts.hpp"
#include "support/errors.hpp"

#include <cstddef>

namespace tarnwick::fuzz {

inline size_t Touch(const std::string& s) {
  return s.size();
}

template <class F>
size_t Guard(F&& f) {
  try {
    return f();
  } catch (const Error& e) {
    return Touch(e.what());
  }
}

inline size_t WalkTable(const TStringGridHelper& g) {
  size_t n = 0;
  for (int row = 0; row < g.RowCount(); ++row) {
    for (int col = 0; col < g.GetColCount(); ++col) {
      n += g.GetCellText(col, row).size();
    }
  }
  return n;
}

inline size_t WalkRecord(const TIGotUPointBase& r) {
  size_t n = Guard([&] { return static_cast<size_t>(r.Time() > 0); });
  n += r.DebugString('.').size() + r.DebugString(',').size();
  n += r.IsValidRecord() + r.IsTrackPoint() + r.IsWayPoint() + r.IsTrackStart();
  n += static_cast<size_t>(r.Year() + r.MilliSecond());
  if (const auto* t = r.AsTrackPoint()) {
    const double sum = t->Latitude() + t->Longitude() + t->Elevation() + t->EHPE() + t->Speed() +
                       t->Course() + t->PressureElevation() + t->SatelliteCount() +
                       t->HasSatelliteMap();
    n += sum > 0 ? 1 : 0;
    if (const auto* p = dynamic_cast<const TIGotUTrackPoint100*>(t)) {
      n += p->FlagIsDebugMode() + p->FlagIsRTCCalibration() + p->FlagIsTimeOut() +
           p->FlagIsTrackStop();
    }
  }
  if (const auto* m = r.AsLogMsgPoint()) {
    n += LogMessageEntry(*m).size();
  }
  if (const auto* e = r.AsExtPoint()) {
    n += Guard([&] { return static_cast<size_t>(e->EptType()); });
    for (int i = -1; i <= e->DataCount(); ++i) {
      if (const auto* ip = dynamic_cast<const TIGotUExtIntPoint*>(e)) {
        n += Guard([&] { return static_cast<size_t>(ip->getIntValues(i)); });
      }
      if (const auto* dp = dynamic_cast<const TIGotUExtDoublePoint*>(e)) {
        n += Guard([&] { return static_cast<size_t>(dp->getDoubleValues(i) > 1.0); });
      }
    }
  }
  return n;
}

inline size_t WalkPoints(const TIGotUPoints& points) {
  size_t n = 0;
  for (const auto& r : points.Points()) {
    n += WalkRecord(*r);
  }
  TTracksGridHelper tracks;
  tracks.SetTracks(&points.Tracks());
  n += WalkTable(tracks);
  TPointsDumpGridHelper dump;
  dump.SetPoints(&points);
  n += WalkTable(dump);
  for (int i = 0; i < points.Tracks().Count(); ++i) {
    const TIGotUTrack& t = points.Tracks()[i];
    n += Guard([&] { return static_cast<size_t>(t.TimeLength()); });
    TTrackPointGridHelper tp;
    tp.SetTrack(&t);
    n += WalkTable(tp);
    TWayPointGridHelper wp;
    wp.SetTrack(&t);
    n += WalkTable(wp);
    TExtIntPointGridHelper hr;
    hr.SetPoints(&t.HR());
    n += WalkTable(hr);
    TExtIntPointGridHelper cad;
    cad.SetPoints(&t.Cadence());
    n += WalkTable(cad);
    TExtDoublePointGridHelper sp;
    sp.SetPoints(&t.Speed());
    n += WalkTable(sp);
  }
  return n;
}

} // namespace tarnwick::fuzz

#pragma once

#include "logger/point_list.hpp"
#include "logger/point_records.hpp"
#include "logger/slot_blocks.hpp"
#include "logger/status_data.hpp"

#include <memory>
#include <vector>

namespace tarnwick {

/// One track: its valid track points, way points and extension records, in memory order.
/// Refers to records owned by the container's point list and never frees them.
class TIGotUTrack {
 public:
  const std::vector<const TIGotUTrackPoint*>& Points() const { return FPoints; }
  const std::vector<const TIGotUExtIntPoint*>& HR() const { return FHR; }
  const std::vector<const TIGotUExtIntPoint*>& Cadence() const { return FCadence; }
  const std::vector<const TIGotUExtDoublePoint*>& Speed() const { return FSpeed; }
  const std::vector<const TIGotUTrackPoint*>& WayPoints() const { return FWayPoints; }

  /// Appends a track point, and to the way points as well when it is one.
  void AddTrackPoint(const TIGotUTrackPoint* Point);
  /// Appends an extension record to the list its kind calls for.
  void AddExtPoint(const TIGotUExtPoint* Point);

  /// No track points.
  bool IsVoid() const { return FPoints.empty(); }
  /// Time of the first point; ListError for a void track, the date errors for a bad date.
  DateTime StartTime() const;
  /// Time of the last point; as StartTime.
  DateTime LastTime() const;
  /// Whole seconds between the first and the last point, never negative.
  int64_t TimeLength() const;
  int CountWayPoints() const { return static_cast<int>(FWayPoints.size()); }

 private:
  std::vector<const TIGotUTrackPoint*> FPoints;
  std::vector<const TIGotUExtIntPoint*> FHR;
  std::vector<const TIGotUExtIntPoint*> FCadence;
  std::vector<const TIGotUExtDoublePoint*> FSpeed;
  std::vector<const TIGotUTrackPoint*> FWayPoints;
};

/// An ordered list of tracks that owns them.
class TIGotUTracks {
 public:
  /// Appends an empty track and returns it; the list keeps it.
  TIGotUTrack& AddNewTrack();
  /// Cuts the records of Points into tracks appended to this list. A track starts at a
  /// record whose IsTrackStart is true when the current track has points already.
  void AddTracksFromPoints(const TIGotUPointList& Points);
  /// Removes and frees track Index; ListError when out of range.
  void Delete(int Index);

  int Count() const { return static_cast<int>(FTracks.size()); }
  /// Track Index; ListError when out of range.
  const TIGotUTrack& Items(int Index) const;
  const TIGotUTrack& operator[](int Index) const { return *FTracks[static_cast<size_t>(Index)]; }

 private:
  std::vector<std::unique_ptr<TIGotUTrack>> FTracks;
};

/// The log-message records of a point list, in order; does not own them.
class TIGotULogMsgPoints {
 public:
  /// Appends every log message of Points, valid or not.
  void AddPoints(const TIGotUPointList& Points);

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  const TIGotULogMsgPoint& operator[](int Index) const {
    return *items_[static_cast<size_t>(Index)];
  }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<const TIGotULogMsgPoint*> items_;
};

/// The decoded form of a memory image: every slot as a record, the tracks, the log messages.
class TIGotUPoints {
 public:
  /// Decodes every slot of Data with the family of Model, the years read by Era; an image
  /// without blocks (null) gives an empty container. Data is not kept.
  TIGotUPoints(const RModelResult& Model, const TIGotUSlotBlocks* Data, const YearEra& Era = {});

  /// Reads the years of every record by Era from now on. Tracks are cut by the records' kinds
  /// alone, never by their times, so they stay as they are; every record and track keeps its
  /// address.
  void SetYearEra(const YearEra& Era);
  const YearEra& Era() const { return era_; }

  const TIGotUPointList& Points() const { return *FPoints; }
  const TIGotUTracks& Tracks() const { return FTracks; }
  const TIGotULogMsgPoints& DebugPoints() const { return FDebugPoints; }

 private:
  // Members go in reverse order: the lists that refer to records before the records.
  std::unique_ptr<TIGotUPointList> FPoints;
  TIGotUTracks FTracks;
  TIGotULogMsgPoints FDebugPoints;
  YearEra era_;
  bool recordsAsRecorded_ = true;
};

} // namespace tarnwick

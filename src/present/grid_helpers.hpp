#pragma once

#include "logger/tracks.hpp"
#include "present/string_grid_helper.hpp"

#include <vector>

namespace tarnwick {

/// The ten columns of a list of track points of one track.
class TBasePointGridHelper : public TStringGridHelper {
 public:
  explicit TBasePointGridHelper(char DecimalSeparator = '.');

  void GetDataText(int ACol, int Index, std::string& Text) const override;
  CellSortKey GetSortKey(int ACol, int Index) const override;

  const TIGotUTrack* Track() const { return FTrack; }
  /// Shows Track (or nothing); the track must stay alive while it is shown.
  void SetTrack(const TIGotUTrack* Track);

  virtual const TIGotUTrackPoint* GetPoint(int Index) const = 0;
  virtual int GetPointCount() const = 0;

 protected:
  const TIGotUTrack* FTrack = nullptr;
};

/// The track points of the current track.
class TTrackPointGridHelper : public TBasePointGridHelper {
 public:
  using TBasePointGridHelper::TBasePointGridHelper;
  const TIGotUTrackPoint* GetPoint(int Index) const override;
  int GetPointCount() const override;
};

/// The way points of the current track.
class TWayPointGridHelper : public TBasePointGridHelper {
 public:
  using TBasePointGridHelper::TBasePointGridHelper;
  const TIGotUTrackPoint* GetPoint(int Index) const override;
  int GetPointCount() const override;
};

/// One row per track: start, duration and the sizes of its lists.
class TTracksGridHelper : public TStringGridHelper {
 public:
  explicit TTracksGridHelper(char DecimalSeparator = '.');

  void GetDataText(int ACol, int Index, std::string& Text) const override;
  CellSortKey GetSortKey(int ACol, int Index) const override;

  const TIGotUTracks* Tracks() const { return FTracks; }
  void SetTracks(const TIGotUTracks* Tracks);

 private:
  const TIGotUTracks* FTracks = nullptr;
};

/// Every record of the memory: flag, time and the 32 raw bytes.
class TPointsDumpGridHelper : public TStringGridHelper {
 public:
  explicit TPointsDumpGridHelper(char DecimalSeparator = '.');

  void GetDataText(int ACol, int Index, std::string& Text) const override;
  CellSortKey GetSortKey(int ACol, int Index) const override;

  const TIGotUPoints* Points() const { return FPoints; }
  void SetPoints(const TIGotUPoints* Points);

 private:
  const TIGotUPoints* FPoints = nullptr;
};

/// Extension records: time, all samples, and the SMS fields.
class TExtPointGridHelper : public TStringGridHelper {
 public:
  /// Columns: the column table of the kind of samples.
  TExtPointGridHelper(std::span<const TDataViewFormHeader> Columns, char DecimalSeparator);

  void GetDataText(int ACol, int Index, std::string& Text) const override;
  CellSortKey GetSortKey(int ACol, int Index) const override;

  /// The record of item Index, or null when there is none.
  virtual const TIGotUExtPoint* GetPoint(int Index) const = 0;
  /// All samples of item Index, each followed by a blank.
  virtual void GetValuesText(int Index, std::string& Text) const = 0;
  /// The samples of item Index as numbers (what the "Data" column sorts by); none when there
  /// is no record.
  virtual std::vector<double> GetValues(int Index) const = 0;
};

/// Extension records of one kind, as a track lists them.
template <class RecordType>
class ExtListGridHelper : public TExtPointGridHelper {
 public:
  using TExtPointGridHelper::TExtPointGridHelper;

  const TIGotUExtPoint* GetPoint(int Index) const override { return Record(Index); }

  const std::vector<const RecordType*>* Points() const { return points_; }
  /// Shows the list (or nothing); the list must stay alive while it is shown.
  void SetPoints(const std::vector<const RecordType*>* Points) {
    points_ = Points;
    SetDataCount(Points != nullptr ? static_cast<int>(Points->size()) : 0);
  }

 protected:
  /// Record Index of the list, or null when there is none.
  const RecordType* Record(int Index) const {
    if (points_ == nullptr || Index < 0 || Index >= static_cast<int>(points_->size())) {
      return nullptr;
    }
    return (*points_)[static_cast<size_t>(Index)];
  }

 private:
  const std::vector<const RecordType*>* points_ = nullptr;
};

/// Heart-rate or cadence records: 24 values "%3d ".
class TExtIntPointGridHelper : public ExtListGridHelper<TIGotUExtIntPoint> {
 public:
  explicit TExtIntPointGridHelper(char DecimalSeparator = '.');
  void GetValuesText(int Index, std::string& Text) const override;
  std::vector<double> GetValues(int Index) const override;
};

/// Speed records: 12 values "%.2f ".
class TExtDoublePointGridHelper : public ExtListGridHelper<TIGotUExtDoublePoint> {
 public:
  explicit TExtDoublePointGridHelper(char DecimalSeparator = '.');
  void GetValuesText(int Index, std::string& Text) const override;
  std::vector<double> GetValues(int Index) const override;
};

} // namespace tarnwick

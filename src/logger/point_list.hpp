#pragma once

#include "logger/point_records.hpp"
#include "logger/record_arena.hpp"
#include "logger/status_data.hpp"
#include "logger/year_era.hpp"

#include <memory>
#include <vector>

namespace tarnwick {

/// An ordered list of record objects that owns them, in memory order. Its factories decide
/// which class each slot becomes; this one decodes the GT-100 family (log messages and track
/// points only).
class TIGotUPointList {
 public:
  TIGotUPointList() = default;
  virtual ~TIGotUPointList() = default;
  TIGotUPointList(const TIGotUPointList&) = delete;
  TIGotUPointList& operator=(const TIGotUPointList&) = delete;

  /// A new, empty list of the family of Model: GT-800/GT-900 for code 0x17, else GT-100.
  static std::unique_ptr<TIGotUPointList> CreatePoints(const RModelResult& Model);

  /// A new track point of the family from the slot. Made in the list's own memory: it must
  /// not outlive the list (the list takes it at once in AddPointsFromData).
  virtual PointPtr CreateTrackPoint(PRIGotUPointSlot Ptr);
  /// A new record of the class the slot's flag byte calls for; never refuses a slot. As
  /// CreateTrackPoint, it must not outlive the list.
  virtual PointPtr CreateSlotPoint(PRIGotUPointSlot Ptr);

  /// Appends one record per complete 32-byte slot of Count bytes at Buffer.
  void AddPointsFromData(const uint8_t* Buffer, int Count);

  /// Reads the year of every record by Era (its year base); the bytes do not change.
  void ApplyYearEra(const YearEra& Era);

  /// Appends Point; the list owns it from now on.
  void Add(PointPtr Point);
  /// Removes and frees item Index; raises ListError when out of range.
  void Delete(int Index);

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  /// Item Index (0-based); raises ListError when out of range.
  const TIGotUPointBase& Items(int Index) const;
  /// Item Index without a range check.
  const TIGotUPointBase& operator[](int Index) const { return *items_[static_cast<size_t>(Index)]; }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 protected:
  /// A T from the slot, in the list's memory.
  template <class T>
  PointPtr MakePoint(PRIGotUPointSlot Ptr) {
    return arena_.Make<T>(Ptr);
  }

 private:
  // The arena is declared first so that it outlives the records made in it.
  RecordArena arena_;
  std::vector<PointPtr> items_;
};

/// Raises ListError "List index out of bounds (Index)".
[[noreturn]] void ListIndexError(int Index);

} // namespace tarnwick

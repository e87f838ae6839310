#pragma once

#include "logger/point_records.hpp"
#include "support/date_time.hpp"

#include <cstdint>
#include <type_traits>
#include <vector>

namespace tarnwick {

/// A forward-only cursor over a track's time-ordered extension records (one sample per second
/// from each record's Time), finding the sample that covers a time. Visiting times in order
/// makes one pass a merge: the cursor never moves back.
template <class RecordType>
class TIGotUExtPointIterator {
 public:
  /// A cursor over AList (not owned; it must outlive the cursor), at the first record.
  explicit TIGotUExtPointIterator(const std::vector<const RecordType*>& AList) : FList(&AList) {
    Rewind();
  }

  /// Index of the record found by the last successful Seek; 0 at the start.
  int32_t Idx = 0;
  /// After a successful Seek: the sample index inside record Idx.
  int32_t Ofs = 0;

  /// Back to the first record.
  void Rewind() {
    Idx = 0;
    Ofs = 0;
  }

  /// The index of the record whose samples cover Time, searching from the record found last,
  /// or -1. The offset is the whole seconds from the record's start to Time, truncated
  /// toward zero, so a time less than a second before a record's start takes its sample 0.
  /// Raises what a record's Time raises for an impossible date.
  int Seek(DateTime Time) {
    const int64_t time = DateTimeToMilliseconds(Time);
    const auto count = static_cast<int32_t>(FList->size());
    for (int32_t index = Idx; index < count; ++index) {
      const RecordType& record = *(*FList)[static_cast<size_t>(index)];
      const int64_t ofs = (time - DateTimeToMilliseconds(record.Time())) / 1000;
      // Later records start later still, so nothing can cover a time before this one.
      if (ofs < 0) {
        Ofs = ofs < INT32_MIN ? INT32_MIN : static_cast<int32_t>(ofs);
        return -1;
      }
      if (ofs < record.DataCount()) {
        Ofs = static_cast<int32_t>(ofs);
        Idx = index;
        return index;
      }
      Ofs = ofs > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ofs);
    }
    return -1;
  }

  /// Sample Ofs of record Idx, right after a successful Seek over integer records.
  int GetIntValue() const requires std::is_same_v<RecordType, TIGotUExtIntPoint> {
    return (*FList)[static_cast<size_t>(Idx)]->getIntValues(Ofs);
  }

  /// Sample Ofs of record Idx, right after a successful Seek over real records.
  double GetDoubleValue() const requires std::is_same_v<RecordType, TIGotUExtDoublePoint> {
    return (*FList)[static_cast<size_t>(Idx)]->getDoubleValues(Ofs);
  }

 private:
  const std::vector<const RecordType*>* FList;
};

} // namespace tarnwick

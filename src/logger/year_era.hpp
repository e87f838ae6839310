#pragma once

#include "support/date_time.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

class TIGotUPointBase;

/// How the four year bits of a record are read. The logger counts years from 2000 in four
/// bits, so it writes 2016 as it wrote 2000; an era picks which of the years 16 apart a record
/// means. It is a way of reading the bytes: a saved image never changes with it.
class YearEra {
 public:
  enum class Kind {
    Recorded, ///< 2000 + the bits, as the logger wrote them
    Fixed,    ///< the 16 years from a first year: FirstYear .. FirstYear + 15
    Auto,     ///< per record, the latest year not after the download (with a day's slack)
  };

  /// As recorded: 2000 .. 2015.
  YearEra() = default;
  static YearEra Recorded() { return {}; }
  /// The bits read as the years FirstYear .. FirstYear + 15; raises ConvertError before 2000
  /// or after 9984.
  static YearEra FromFirstYear(int FirstYear);
  /// Each record's year is 2000 + bits + 16k for the largest k >= 0 that does not put the
  /// record after Downloaded (UTC) plus one day; k = 0 when none fits. Without a download
  /// moment (images saved before it was recorded, other programs' images) there is nothing to
  /// count from, and the era reads as recorded.
  static YearEra Automatic(std::optional<DateTime> Downloaded);
  /// "auto", "recorded" or a first year ("2016"), as the --year-era option and the viewer's
  /// preference hold it, with the image's download moment for "auto". Raises ConvertError for
  /// any other text.
  static YearEra FromSetting(std::string_view Setting, std::optional<DateTime> Downloaded);
  /// Raises ConvertError unless Setting is a text FromSetting takes.
  static void CheckSetting(std::string_view Setting);

  Kind Type() const { return kind_; }
  /// Whether every record reads as the logger wrote it.
  bool IsRecorded() const {
    return kind_ == Kind::Recorded || (kind_ == Kind::Auto && !reference_);
  }

  /// 2000 + 16k: what is added to a record's four year bits.
  int YearBase(const TIGotUPointBase& Record) const;
  /// The same from the header fields themselves: YM, DHM and SMS as the record holds them.
  int YearBase(uint8_t YM, uint16_t DHM, uint16_t SMS) const;

  /// The first and last year records can be read as.
  int FirstYear() const;
  int LastYear() const { return FirstYear() + 15; }
  /// What the era does and why, for a person: "years read as 2011–2026: downloaded
  /// 2026-12-10", "years read as 2000–2015: as recorded, the image has no download time".
  std::string Description() const;

 private:
  Kind kind_ = Kind::Recorded;
  int first_ = 2000;
  std::optional<DateTime> reference_; // the download moment, Auto only
  // The reference plus the slack, as comparable header fields: year, month, day, hour,
  // minute, second x 1000 + millisecond.
  int64_t limitKey_ = 0;
  int limitYear_ = 2000;
  int downloadYear_ = 2000;
};

} // namespace tarnwick

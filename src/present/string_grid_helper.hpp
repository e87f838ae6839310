#pragma once

#include "present/cell_sort_key.hpp"
#include "support/errors.hpp"
#include "support/time_zone.hpp"

#include <functional>
#include <span>
#include <string>

namespace tarnwick {

/// Horizontal alignment of a column's header and data cells.
enum class CellAlignment { Left, Right, Center };

/// One column: header caption, alignment and initial width in pixels; for a window, what the
/// column means (with its unit) and a typical cell text, from which it sizes the column in the
/// font it uses. The command line prints neither.
struct TDataViewFormHeader {
  std::string Caption;
  CellAlignment Alignment = CellAlignment::Left;
  int Width = 64;
  std::string Hint;
  std::string Typical;
};

/// Drives one table: tells it its columns and rows and computes each cell's text only when it
/// is asked for (when the cell is painted or printed). Knows nothing of the logger.
class TStringGridHelper {
 public:
  /// Columns is the presenter's table of columns, one entry per column in order; it must
  /// outlive the presenter (a constant table). DecimalSeparator is used by every number with
  /// decimals ("." for the command line, the locale's in the viewer).
  explicit TStringGridHelper(std::span<const TDataViewFormHeader> Columns,
                             char DecimalSeparator = '.')
      : columns_(Columns), decimalSeparator_(DecimalSeparator) {}
  virtual ~TStringGridHelper() = default;
  TStringGridHelper(const TStringGridHelper&) = delete;
  TStringGridHelper& operator=(const TStringGridHelper&) = delete;

  /// The number of entries of the column table.
  virtual int GetColCount() const { return static_cast<int>(columns_.size()); }
  /// Entry Index of the column table; an empty header for an index outside it, so that a
  /// stray index cannot read past the table.
  virtual TDataViewFormHeader GetHeader(int Index) const;
  /// The text of column ACol for data item Index (0-based); left untouched when there is
  /// nothing to show.
  virtual void GetDataText(int ACol, int Index, std::string& Text) const = 0;
  /// What the cell of column ACol for data item Index sorts by: its value where the text
  /// would sort wrongly (numbers, times, positions); by default the cell's text.
  virtual CellSortKey GetSortKey(int ACol, int Index) const;

  /// Row 0 is the header row; data item i is row i + 1. A cell without data reads "?"; a cell
  /// whose value cannot be decoded (a bad date) reads the error's message.
  std::string GetCellText(int ACol, int ARow) const;

  /// Header row plus the data rows; an empty table keeps one data row.
  int RowCount() const { return dataCount_ + 1 + (dataCount_ == 0 ? 1 : 0); }
  /// Number of data items.
  int DataCount() const { return dataCount_; }
  char DecimalSeparator() const { return decimalSeparator_; }
  /// The zone whose wall clock the time cells show; UTC (the logger's clock) at first.
  const TimeZone& Zone() const { return zone_; }
  /// Shows the times on the clock of Zone from now on (and repaints).
  void SetZone(const TimeZone& Zone);

  /// Called after the data changed (rows must be re-counted and repainted).
  void SetOnDataChanged(std::function<void()> Handler) { onDataChanged_ = std::move(Handler); }

 protected:
  /// Stores the number of data items and tells the table.
  void SetDataCount(int N);
  /// A time as "yyyy-mm-dd hh:nn:ss" on the clock of Zone.
  std::string TimeText(DateTime Utc) const;
  /// The sort key of a time: the moment itself, whatever clock shows it; no value when
  /// Time (a record's decoder) raises.
  template <class TimeGetter>
  static CellSortKey TimeKey(const TimeGetter& Time) {
    try {
      return TimeSortKey(Time());
    } catch (const Error&) {
      return {};
    }
  }

 private:
  static CellSortKey TimeSortKey(DateTime Utc);

  std::span<const TDataViewFormHeader> columns_;
  char decimalSeparator_;
  TimeZone zone_;
  int dataCount_ = 0;
  std::function<void()> onDataChanged_;
};

} // namespace tarnwick

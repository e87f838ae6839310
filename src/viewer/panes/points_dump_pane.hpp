#pragma once

#include "present/grid_helpers.hpp"

#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLabel;

namespace tarnwick::viewer {

class FlagFilterModel;
class GridView;
class SessionModel;

/// The "PointsDump" page: every record of the image in written order with its flag byte, time
/// and raw bytes, filtered to one flag byte on request; the selected record decoded under the
/// grid; "SkipTo" moves to the next record after a gap among those shown.
class PointsDumpPane : public QWidget {
  Q_OBJECT

 public:
  /// SkipTo is the action the page's button triggers.
  PointsDumpPane(SessionModel& Session, QAction* SkipTo, char DecimalSeparator,
                 QWidget* Parent = nullptr);
  ~PointsDumpPane() override;

  GridView* Grid() const { return grdPointsDump_; }
  /// Selects the first record after the selected one (among those the filter shows, in
  /// written order) that follows the shown record before it by five minutes or more.
  void SkipToInterval();

 private:
  void LetGo();
  void ShowImage();
  void FillFlagFilter();
  void ShowRecord(int Record);
  void FlagChosen(int Index);
  /// Whether the filter shows Record.
  bool Shown(int Record) const;

  SessionModel& session_;
  char decimalSeparator_;
  std::unique_ptr<TPointsDumpGridHelper> FPointsDumpGridHelper;
  std::optional<int> flag_;
  GridView* grdPointsDump_;
  FlagFilterModel* filter_;
  QComboBox* cboPointsDumpFlagFilter_;
  QLabel* lblPointsDumpStr_;
};

} // namespace tarnwick::viewer

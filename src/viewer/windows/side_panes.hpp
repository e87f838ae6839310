#pragma once

class QStatusBar;
class QWidget;

namespace tarnwick::viewer {

class Selection;
class SessionModel;

/// Pages with the panes that follow the selection beside them: a splitter ("splitMain") with
/// Pages on the left and on the right a vertical splitter ("splitRight") whose first pane is
/// the map ("mapPane") and whose second holds the graphs and figures ("tabsAnalysis"). Whether map tiles can be had shows as one label in Status.
QWidget* WithSidePanes(QWidget* Pages, SessionModel& Session, Selection& Selection,
                       QStatusBar* Status);

} // namespace tarnwick::viewer

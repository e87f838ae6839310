#include "viewer/windows/side_panes.hpp"

#include "viewer/map/tile_source.hpp"
#include "viewer/panes/graphs_pane.hpp"
#include "viewer/panes/map_pane.hpp"
#include "viewer/panes/stats_pane.hpp"

#include <QFontMetrics>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>

namespace tarnwick::viewer {

QWidget* WithSidePanes(QWidget* Pages, SessionModel& Session, Selection& Selection,
                       QStatusBar* Status) {
  auto* main = new QSplitter(Qt::Horizontal, Pages->parentWidget());
  main->setObjectName("splitMain");
  main->setChildrenCollapsible(true);
  main->addWidget(Pages);
  auto* right = new QSplitter(Qt::Vertical, main);
  right->setObjectName("splitRight");
  auto* map = new MapPane(Session, Selection, right);
  right->addWidget(map);
  // Below the map, what the selected track's figures look like.
  auto* analysis = new QTabWidget(right);
  analysis->setObjectName("tabsAnalysis");
  analysis->addTab(new GraphsPane(Session, Selection), "Graphs");
  analysis->addTab(new StatsPane(Session, Selection), "Statistics");
  right->addWidget(analysis);
  main->addWidget(right);
  main->setStretchFactor(0, 3);
  main->setStretchFactor(1, 2);
  // The pages' own wish for width would leave the map a strip.
  main->setSizes({600, 400});

  auto* tiles = new QLabel(Status);
  tiles->setObjectName("lblTiles");
  tiles->hide();
  Status->addPermanentWidget(tiles);
  const auto show = [tiles](const QString& Problem) {
    const QString text = "Map tiles unavailable: " + Problem;
    tiles->setText(tiles->fontMetrics().elidedText(text, Qt::ElideRight, 360));
    tiles->setToolTip(text);
    tiles->setVisible(!Problem.isEmpty());
  };
  QObject::connect(map, &MapPane::TileProblem, tiles, show);
  show(map->Tiles()->Problem());
  return main;
}

} // namespace tarnwick::viewer

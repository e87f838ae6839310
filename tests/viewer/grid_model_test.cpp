// The table model over the presenters.
#include "logger/tracks.hpp"
#include "present/grid_helpers.hpp"
#include "sim/sample_image.hpp"
#include "viewer/models/grid_model.hpp"

#include <QLocale>
#include <QTest>

namespace tarnwick::viewer {

class GridModelTest : public QObject {
  Q_OBJECT

 private slots:
  void EmptyTableShowsOneRowOfQuestionMarks() {
    TTrackPointGridHelper helper;
    const GridModel model(helper);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 10);
    for (int col = 0; col < model.columnCount(); ++col) {
      QCOMPARE(model.data(model.index(0, col)).toString(), QString("?"));
    }
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QString("Time"));
    QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(),
             QString::fromStdString(helper.GetHeader(2).Hint));
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString("?"));
  }

  void FollowsThePresenterAndItsAlignment() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 500, 2});
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    TTracksGridHelper helper;
    GridModel model(helper);
    int resets = 0;
    connect(&model, &QAbstractItemModel::modelReset, this, [&resets] { ++resets; });
    helper.SetTracks(&points.Tracks());
    QCOMPARE(resets, 1);
    QCOMPARE(model.rowCount(), points.Tracks().Count());
    // The same cells the command line prints; the first column doubles as the row header.
    QCOMPARE(model.data(model.index(1, 1)).toString(),
             QString::fromStdString(helper.GetCellText(1, 2)));
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QString("2"));
    QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignHCenter | Qt::AlignVCenter);
  }

  void NumbersUseTheLocaleSeparator() {
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char separator = LocaleDecimalSeparator();
    QLocale::setDefault(old);
    QCOMPARE(separator, ',');

    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 50, 2});
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    TTrackPointGridHelper helper(separator);
    const GridModel model(helper);
    helper.SetTrack(&points.Tracks()[0]);
    QVERIFY(model.data(model.index(0, 4)).toString().contains(','));
  }
};

} // namespace tarnwick::viewer

QObject* CreateGridModelTest() {
  return new tarnwick::viewer::GridModelTest;
}

#include "grid_model_test.moc"

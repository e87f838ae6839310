// The grid view: sorting by value and back to the written order, selecting and copying rows,
// the item API through sorting and the flag filter, skip-to-gap over items, column widths and
// header tooltips.
#include "common/slots.hpp"
#include "logger/tracks.hpp"
#include "present/grid_helpers.hpp"
#include "support/date_time.hpp"
#include "viewer/models/flag_filter_model.hpp"
#include "viewer/models/gap_search.hpp"
#include "viewer/models/grid_model.hpp"
#include "viewer/windows/grid_view.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace tarnwick::viewer {

namespace {

using test::Decoded;
using test::Fix;
using test::Reset;
using test::Slot;

// The raw records' grid as the window builds it: the presenter's model under the flag filter.
struct DumpGrid {
  explicit DumpGrid(const TIGotUPoints& Points)
      : Filter([&Points](int Row) -> std::optional<int> {
          if (Row >= Points.Points().Count()) {
            return std::nullopt;
          }
          return Points.Points()[Row].Flags();
        }) {
    Helper.SetPoints(&Points);
    Filter.setSourceModel(&Model);
    View.SetGridModel(&Model, &Filter);
    View.resize(700, 400);
    View.show();
  }
  TPointsDumpGridHelper Helper;
  GridModel Model{Helper};
  FlagFilterModel Filter;
  GridView View{"grdPointsDump"};
};

// The data items in the order the view shows them, read from its "#" header.
QList<int> ShownItems(const GridView& View) {
  QList<int> items;
  for (int row = 0; row < View.model()->rowCount(); ++row) {
    items.append(View.model()->headerData(row, Qt::Vertical).toInt() - 1);
  }
  return items;
}

void ClickHeader(GridView& View, int Col) {
  QHeaderView* header = View.horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(Col) + 4, header->height() / 2));
}

void ClickRow(GridView& View, int Row, Qt::KeyboardModifiers Modifiers = {}) {
  QTest::mouseClick(View.viewport(), Qt::LeftButton, Modifiers,
                    View.visualRect(View.model()->index(Row, 1)).center());
}

// Records, written in this order, of two kinds (flags 00 and F5) whose times are in neither
// the written order nor that of the flags.
std::vector<RIGotUPointSlot> MixedRecords() {
  return {Fix(0, 10, 0, 0),
          Slot{}.Flags(0xF5).At(10, 1, 0),
          Fix(0, 10, 2, 0),
          Slot{}.Flags(0xF5).At(10, 9, 0),
          Fix(0, 10, 10, 0),
          Fix(0, 10, 16, 0),
          Slot{}.Flags(0xF5).At(10, 16, 30)};
}

std::optional<int64_t> TimeOf(const TIGotUPoints& Points, int Item) {
  try {
    return DateTimeToMilliseconds(Points.Points()[Item].Time());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

} // namespace

class GridViewTest : public QObject {
  Q_OBJECT

 private slots:
  void HeaderClicksSortByValueThenReverseThenRestore() {
    // Elevations 30, -5, 100 and -12.5 m: their texts would sort -12.50, -5.00, 100.00, 30.00.
    const Decoded d(0x15, {Fix(0, 6, 0, 0).DWord(20, 3000),
                           Fix(0, 6, 0, 1).DWord(20, static_cast<uint32_t>(-500)),
                           Fix(0, 6, 0, 2).DWord(20, 10000),
                           Fix(0, 6, 0, 3).DWord(20, static_cast<uint32_t>(-1250))});
    TTrackPointGridHelper helper;
    GridModel model(helper);
    helper.SetTrack(&d.Points.Tracks()[0]);
    GridView view("grdTrackPoints");
    view.SetGridModel(&model);
    view.resize(900, 300);
    view.show();
    QCOMPARE(ShownItems(view), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(view.SortColumn(), -1);

    ClickHeader(view, 4);
    QCOMPARE(ShownItems(view), (QList<int>{3, 1, 0, 2}));
    QCOMPARE(view.horizontalHeader()->sortIndicatorSection(), 4);
    QCOMPARE(view.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(view.model()->data(view.model()->index(0, 4)).toString(), QString("-12.50"));
    ClickHeader(view, 4);
    QCOMPARE(ShownItems(view), (QList<int>{2, 0, 1, 3}));
    QCOMPARE(view.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeader(view, 4);
    QCOMPARE(ShownItems(view), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(view.horizontalHeader()->sortIndicatorSection(), -1);

    // Another column starts ascending again; the corner ("#") restores the written order.
    ClickHeader(view, 4);
    ClickHeader(view, 2);
    QCOMPARE(view.SortColumn(), 2);
    QCOMPARE(view.SortOrder(), Qt::AscendingOrder);
    view.SortByColumn(4, Qt::DescendingOrder);
    auto* corner = view.findChild<QAbstractButton*>();
    QVERIFY(corner->isEnabled());
    QVERIFY(corner->toolTip().contains("order"));
    QTest::mouseClick(corner, Qt::LeftButton);
    QCOMPARE(ShownItems(view), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(view.SortColumn(), -1);
    QVERIFY(view.selectionModel()->selectedRows().isEmpty()); // the corner selects nothing
  }

  void TheSortArrowSitsAboveTheCaption() {
    TTracksGridHelper helper;
    GridModel model(helper);
    GridView view("grdTracks");
    view.SetGridModel(&model);
    view.resize(view.sizeHint().width(), 200);
    view.show();
    QHeaderView* header = view.horizontalHeader();
    // Dark pixels in the strip above the caption of column Col.
    const auto marked = [&](int Col) {
      const QImage image = header->grab().toImage();
      const int left = header->sectionViewportPosition(Col);
      const QColor ground = image.pixelColor(left + 2, 2);
      for (int x = left + 2; x < left + header->sectionSize(Col) - 2; ++x) {
        for (int y = 0; y < 5; ++y) {
          if (image.pixelColor(x, y).lightness() < ground.lightness() - 60) {
            return true;
          }
        }
      }
      return false;
    };
    QVERIFY(!marked(5));
    view.SortByColumn(5, Qt::DescendingOrder);
    QVERIFY(marked(5));
    QVERIFY(!marked(4));
    // The caption needs no room beside it: "HR" is as wide as its numbers want.
    QVERIFY(view.columnWidth(5) < header->fontMetrics().horizontalAdvance("HR") + 30);
  }

  void SortingFollowsNewData() {
    const Decoded a(0x15, {Fix(0, 6, 0, 0).DWord(20, 100), Fix(0, 6, 0, 1).DWord(20, 300),
                           Fix(0, 6, 0, 2).DWord(20, 200)});
    const Decoded b(0x15, {Fix(0, 6, 0, 0).DWord(20, 900), Fix(0, 6, 0, 1).DWord(20, 100)});
    TTrackPointGridHelper helper;
    GridModel model(helper);
    GridView view("grdTrackPoints");
    view.SetGridModel(&model);
    helper.SetTrack(&a.Points.Tracks()[0]);
    view.SortByColumn(4, Qt::DescendingOrder);
    QCOMPARE(ShownItems(view), (QList<int>{1, 2, 0}));
    helper.SetTrack(&b.Points.Tracks()[0]);
    QCOMPARE(ShownItems(view), (QList<int>{0, 1}));
    helper.SetTrack(nullptr);
    QCOMPARE(view.model()->rowCount(), 1); // the row of "?"
    QCOMPARE(view.CurrentItem(), -1);
  }

  void CopiesTheSelectedRowsAsShownWithTheHeader() {
    const Decoded d(0x15, {Fix(0, 6, 0, 0), Fix(0x04, 7, 2, 3), Reset(8, 0, 0), Fix(0, 8, 0, 0),
                           Reset(9, 0, 0), Fix(0, 9, 0, 0), Fix(0, 9, 0, 5)});
    TTracksGridHelper helper;
    GridModel model(helper);
    helper.SetTracks(&d.Points.Tracks());
    GridView view("grdTracks");
    view.SetGridModel(&model);
    view.resize(700, 300);
    view.show();
    view.SortByColumn(2, Qt::AscendingOrder); // TimeLen: tracks 2, 3, 1
    QCOMPARE(ShownItems(view), (QList<int>{1, 2, 0}));

    ClickRow(view, 0);
    ClickRow(view, 2, Qt::ControlModifier);
    QCOMPARE(view.SelectedItems(), (QList<int>{0, 1}));
    QCOMPARE(view.SelectedItemsAsShown(), (QList<int>{1, 0}));
    QCOMPARE(view.CurrentItem(), 0);
    QApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    const QString header = "#\tTime\tTimeLen\tCount\tWayPoints\tHR\tCadence\tSpeed\n";
    const QString expected = header + "2\t2013-11-24 08:00:00\t00:00:00.000\t1\t0\t0\t0\t0\n" +
                             "1\t2013-11-24 06:00:00\t01:02:03.000\t2\t1\t0\t0\t0\n";
    QCOMPARE(QApplication::clipboard()->text(), expected);

    // Shift extends from the current row; Ctrl+A takes every row, in the order shown.
    ClickRow(view, 0);
    ClickRow(view, 1, Qt::ShiftModifier);
    QCOMPARE(view.SelectedItemsAsShown(), (QList<int>{1, 2}));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.SelectedItemsAsShown(), (QList<int>{1, 2, 0}));
    QVERIFY(view.SelectedText().startsWith(header + "2\t"));
    QCOMPARE(view.SelectedText().count('\n'), 4);

    // The context menu: Copy first, then what the window adds.
    auto* extra = new QAction("Show on map", &view);
    view.AddContextAction(extra);
    QCOMPARE(view.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(view.actions().size(), 2);
    QCOMPARE(view.actions()[0]->text(), QString("Copy"));
    QCOMPARE(view.actions()[1], extra);
    view.clearSelection();
    QApplication::clipboard()->setText("kept");
    view.actions()[0]->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("kept")); // nothing selected
  }

  void ItemsThroughSortingAndTheFlagFilter() {
    const Decoded d(0x17, MixedRecords());
    DumpGrid grid(d.Points);
    GridView& view = grid.View;
    QSignalSpy changed(&view, &GridView::CurrentItemChanged);
    view.SortByColumn(2, Qt::DescendingOrder);
    QCOMPARE(ShownItems(view), (QList<int>{6, 5, 4, 3, 2, 1, 0}));
    view.SelectItem(2);
    QCOMPARE(view.CurrentItem(), 2);
    QCOMPARE(view.SelectedItems(), QList<int>{2});
    QCOMPARE(view.currentIndex().row(), 4);
    QCOMPARE(changed.last().first().toInt(), 2);
    // The row shown keeps its item's number and texts.
    QCOMPARE(view.model()->headerData(4, Qt::Vertical).toString(), QString("3"));
    QCOMPARE(view.model()->data(view.model()->index(4, 2)).toString(),
             QString("2013-11-24 10:02:00"));

    grid.Filter.SetFlag(0x00);
    QCOMPARE(ShownItems(view), (QList<int>{5, 4, 2, 0}));
    QCOMPARE(view.CurrentItem(), 2); // the selected record is still shown
    QCOMPARE(view.SelectedItems(), QList<int>{2});
    QVERIFY(view.IsItemShown(0));
    QVERIFY(!view.IsItemShown(1));
    QVERIFY(!view.IsItemShown(7));
    view.SelectItem(3); // filtered out
    QVERIFY(view.SelectedItems().isEmpty());
    view.SelectItem(5);
    QCOMPARE(view.SelectedItems(), QList<int>{5});
    QCOMPARE(view.currentIndex().row(), 0);
    // Rows of the filter (the written order of what it shows) are what SelectRow speaks of.
    QCOMPARE(view.SelectedRow(), 3);
    view.SelectRow(1);
    QCOMPARE(view.CurrentItem(), 2);

    grid.Filter.SetFlag(std::nullopt);
    view.SortByColumn(-1, Qt::AscendingOrder);
    QCOMPARE(ShownItems(view), (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    QCOMPARE(view.CurrentItem(), 2);
  }

  void SkipToGapKeepsTheWrittenOrderOfWhatIsShown() {
    const Decoded d(0x17, MixedRecords());
    DumpGrid grid(d.Points);
    GridView& view = grid.View;
    const auto time = [&d](int Item) { return TimeOf(d.Points, Item); };
    const auto skip = [&] {
      const int item = NextGapItem(
          d.Points.Points().Count(), view.CurrentItem(),
          [&view](int Item) { return view.IsItemShown(Item); }, time);
      if (item >= 0) {
        view.SelectItem(item);
      }
      return item;
    };
    // Newest first: in the rows shown nothing follows the oldest record, in the written
    // order everything does.
    view.SortByColumn(2, Qt::DescendingOrder);
    view.SelectItem(0);
    QCOMPARE(skip(), 3); // 10:02 -> 10:09
    QCOMPARE(skip(), 5); // 10:10 -> 10:16; the gap 10:09 -> 10:10 before it is not examined
    QCOMPARE(skip(), -1);
    QCOMPARE(view.CurrentItem(), 5); // no gap: the selection stays

    // Among the records of flag 00 alone (10:00, 10:02, 10:10, 10:16) the first gap ends at
    // 10:10.
    grid.Filter.SetFlag(0x00);
    view.SelectItem(0);
    QCOMPARE(skip(), 4);

    // The same search over the filter's rows, as SelectedRow and SelectRow give them.
    view.SelectItem(0);
    const int row = NextGapRow(grid.Filter.rowCount(), view.SelectedRow(), [&](int Row) {
      return time(grid.Filter.mapToSource(grid.Filter.index(Row, 0)).row());
    });
    view.SelectRow(row);
    QCOMPARE(view.CurrentItem(), 4);
  }

  void GapThresholdIsFiveWholeMinutes() {
    const auto all = [](int) { return true; };
    const auto search = [&](std::vector<int64_t> Times, int Selected,
                            const std::function<bool(int)>& Shown) {
      return NextGapItem(static_cast<int>(Times.size()), Selected, Shown,
                         [&Times](int Item) -> std::optional<int64_t> {
                           if (Times[Item] < 0) {
                             return std::nullopt;
                           }
                           return Times[Item];
                         });
    };
    const int64_t minute = 60'000;
    // The gap between the selected record and the next one is not examined.
    QCOMPARE(search({0, 5 * minute, 5 * minute}, 0, all), -1);
    // Exactly 5:00 is a gap, 4:59.999 is not; backwards in time counts as well.
    QCOMPARE(search({0, 0, 5 * minute}, -1, all), 2);
    QCOMPARE(search({0, 0, 5 * minute - 1}, -1, all), -1);
    QCOMPARE(search({0, 10 * minute, 5 * minute - 1}, 0, all), 2);
    QCOMPARE(search({0, 10 * minute, 5 * minute + 1}, 0, all), -1);
    // A record whose time cannot be decoded is passed over.
    QCOMPARE(search({0, 0, -1, 5 * minute}, 0, all), 3);
    // A hidden record between two shown ones does not break the gap between them.
    QCOMPARE(search({0, 0, 3 * minute, 6 * minute}, 0, [](int I) { return I != 2; }), 3);
    QCOMPARE(search({0, 0, 3 * minute, 6 * minute}, 0, all), -1);
    QCOMPARE(search({}, -1, all), -1);
  }

  void ColumnsFitTheirCaptionsAndTypicalCellsAndFillTheWidth() {
    for (int kind = 0; kind < 3; ++kind) {
      TTracksGridHelper tracks;
      TTrackPointGridHelper points;
      TExtIntPointGridHelper samples;
      TStringGridHelper* helper = kind == 0   ? static_cast<TStringGridHelper*>(&tracks)
                                  : kind == 1 ? static_cast<TStringGridHelper*>(&points)
                                              : &samples;
      GridModel model(*helper);
      GridView view("grid");
      view.SetGridModel(&model);
      const QFontMetrics& fm = view.fontMetrics();
      const QFontMetrics& hfm = view.horizontalHeader()->fontMetrics();
      for (int col = 1; col < model.columnCount(); ++col) {
        const TDataViewFormHeader header = helper->GetHeader(col);
        const int width = view.columnWidth(col);
        QVERIFY2(width > fm.horizontalAdvance(QString::fromStdString(header.Typical)),
                 header.Caption.c_str());
        QVERIFY2(width > hfm.horizontalAdvance(QString::fromStdString(header.Caption)),
                 header.Caption.c_str());
        QCOMPARE(view.model()->headerData(col, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QString::fromStdString(header.Hint));
      }
      QVERIFY(view.isColumnHidden(0));
      QVERIFY(view.verticalHeader()->minimumWidth() >
              view.verticalHeader()->fontMetrics().horizontalAdvance(
                  QString::fromStdString(helper->GetHeader(0).Typical)));

      // At its size hint every column is in view; wider, the columns share the room in
      // proportion to their widths.
      view.resize(view.sizeHint().width(), 300);
      view.show();
      QVERIFY(QTest::qWaitForWindowExposed(&view));
      QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
      const int last = model.columnCount() - 1;
      const QList<int> before = view.ColumnWidths();
      view.resize(view.sizeHint().width() + 400, 300);
      QApplication::processEvents();
      int sum = 0;
      for (int col = 1; col <= last; ++col) {
        QVERIFY(view.columnWidth(col) >= before[col]);
        sum += view.columnWidth(col);
      }
      QCOMPARE(sum, view.viewport()->width());
      QVERIFY(view.columnWidth(1) > before[1]);
      QVERIFY2(view.columnWidth(last) - before[last] < 200, "not all to the last column");
      QCOMPARE(view.ColumnWidths(), before);
      // The user can still size a column, and it stays as sized.
      view.horizontalHeader()->resizeSection(1, before[1] + 3);
      QCOMPARE(view.columnWidth(1), before[1] + 3);
      QCOMPARE(view.ColumnWidths()[1], before[1] + 3);
    }
  }

  void RestoredColumnWidthsAreApplied() {
    TTrackPointGridHelper helper;
    GridModel model(helper);
    GridView view("grdTrackPoints");
    view.SetGridModel(&model);
    view.resize(1400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QList<int> widths = view.ColumnWidths();
    QCOMPARE(widths.size(), model.columnCount());
    // The columns fill the window: what each needs is kept, not what it was widened to.
    const int last = model.columnCount() - 1;
    QVERIFY(view.columnWidth(last) > view.InitialWidth(last));
    QCOMPARE(widths.last(), view.InitialWidth(last));
    widths[0] = 70;
    widths[3] = 333;
    view.SetColumnWidths(widths);
    QVERIFY(view.columnWidth(3) >= 333);
    QVERIFY2(view.columnWidth(3) > view.columnWidth(2), "the share follows the width");
    QCOMPARE(view.verticalHeader()->minimumWidth(), 70);
    QCOMPARE(view.ColumnWidths()[3], 333);
    QApplication::processEvents();
    int sum = 0;
    for (int col = 1; col <= last; ++col) {
      sum += view.columnWidth(col);
    }
    QCOMPARE(sum, view.viewport()->width()); // and together they fill it
    view.SetColumnWidths({1, 2});            // another grid's list is ignored
    QCOMPARE(view.ColumnWidths()[3], 333);
  }
};

} // namespace tarnwick::viewer

QTEST_MAIN(tarnwick::viewer::GridViewTest)

#include "grid_view_test.moc"

// What the viewer keeps between runs: column widths, recent images, and that what is read
// back is bounded, so a settings file gone wrong neither stalls nor breaks the window.
#include "sim/sample_image.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer/windows/viewer_settings.hpp"
#include "viewer_test_util.hpp"

#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QTest>

namespace tarnwick::viewer {

namespace {

using test::Save;
using test::Window;

} // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings().clear(); }

  void RemembersLayoutAndRecentFiles() {
    const test::TempDir dir;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    {
      const Window w;
      w.Form->show();
      w.Find<QTableView>("grdTracks")->setColumnWidth(1, 321);
      w.Find<QSplitter>("splitRight")->setSizes({150, 350});
      for (const char* name : {"a", "b", "c"}) {
        QVERIFY(w.Form->LoadFile(Save(dir, image, name)));
      }
      w.Form->close();
    }
    const Window again;
    QCOMPARE(again.Find<QTableView>("grdTracks")->columnWidth(1), 321);
    again.Form->show();
    const QList<int> sizes = again.Find<QSplitter>("splitRight")->sizes();
    QVERIFY2(sizes.size() == 2 && sizes[0] < sizes[1] / 2, qPrintable(QString::number(sizes[0])));
    const QStringList recent = again.Form->RecentFiles();
    QCOMPARE(recent.size(), 3);
    QVERIFY(recent.first().endsWith("/c"));
    QCOMPARE(again.Find<QMenu>("mnuRecent")->actions().size(), 3);
  }

  void ValuesOutOfRangeAreIgnored() {
    const QString fileName = QSettings().fileName();
    {
      QFile file(fileName);
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QByteArray text = "[General]\nrecentFiles=";
      for (int i = 0; i < 40; ++i) {
        text += (i > 0 ? ", /tmp/image" : "/tmp/image") + QByteArray::number(i);
      }
      text += "\nlastFolder=" + QByteArray(5000, 'x') + "\n";
      text += "[columns]\ngrdTracks=40, 100000000, 60, 50, 50, 40, 40, 40\n"
              "grdTrackPoints=-5, 60, 60, 60, 60, 60, 60, 60, 60, 60\n"
              "grdPointsDump=abc, 40, 120, 500\n";
      text += "[window]\ngeometry=@ByteArray(\\x1\\xd9\\xd0\\xcb\\0\\x3\\0\\0)\n";
      text += "[time]\nyearEra=1850\nzone=Mars/Olympus\n";
      file.write(text);
    }
    QSettings().sync();
    const Window w;
    auto* tracks = w.Find<GridView>("grdTracks");
    QCOMPARE(tracks->columnWidth(1), tracks->InitialWidth(1));
    auto* points = w.Find<GridView>("grdTrackPoints");
    QCOMPARE(points->columnWidth(1), points->InitialWidth(1));
    QCOMPARE(w.Form->RecentFiles().size(), ViewerSettings::kRecentFiles);
    QVERIFY(ViewerSettings::LastFolder().isEmpty());
    const TimePreferences times = LoadTimePreferences();
    QCOMPARE(times.YearEra, std::string("auto"));
    QCOMPARE(times.Zone, std::string("utc"));
    QCOMPARE(w.Text("lblZone"), QString("Times: UTC (logger clock)"));
    QVERIFY(w.Form->width() <= 4000 && w.Form->height() <= 4000);

    // What is written back on closing is what the window has, not what was stored.
    w.Form->show();
    w.Form->close();
    for (const QString& width : QSettings().value("columns/grdTracks").toStringList()) {
      QVERIFY2(width.toInt() <= ViewerSettings::kMaxColumnWidth, qPrintable(width));
    }
  }
};

} // namespace tarnwick::viewer

QObject* CreateSettingsTest() {
  return new tarnwick::viewer::SettingsTest;
}

#include "settings_test.moc"

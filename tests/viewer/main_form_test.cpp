// The main window: start-up state, showing images, selection, skip-to-gap through the flag
// filter, downloads through the progress dialog and what a failed one keeps, closing.
#include "common/fake_device.hpp"
#include "common/slots.hpp"
#include "common/temp_dir.hpp"
#include "present/image_texts.hpp"
#include "sim/sample_image.hpp"
#include "support/dump_text.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/main_form.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <set>

namespace tarnwick::viewer {

namespace {

using test::Save;
using test::SlotImage;
using test::Window;

const QStringList kGrids{"grdTracks",  "grdTrackPoints", "grdWayPoints", "grdHR",
                         "grdCadence", "grdSpeed",       "grdPointsDump"};

// Never answers: every command of a download goes unanswered.
sim::SimLoggerOptions Silent() {
  sim::SimLoggerOptions options;
  for (int n = 1; n <= 400; ++n) {
    options.Faults.Scripted[n] = sim::SimFaultKind::NoAnswer;
  }
  return options;
}

} // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings().clear(); }

  void StartsWithQuestionMarksHiddenTabsAndNoDebugFeatures() {
    const Window w;
    for (const QString& grid : kGrids) {
      QCOMPARE(w.Rows(grid), 1);
      QCOMPARE(w.Cell(grid, 0, 1), QString("?"));
    }
    for (const char* page : {"tshWayPoints", "tshHR", "tshCadence", "tshSpeed"}) {
      QVERIFY(!w.TabShown("tabTrackData", page));
    }
    QVERIFY(!w.TabShown("PageControl1", "tshLogMessage"));
    QVERIFY(!w.TabShown("PageControl1", "tshPointsDump"));
    QVERIFY(w.Find<QPushButton>("cmdDebug")->isHidden());
    QVERIFY(!w.Find<QAction>("MnuDeviceOpenComPort")->isVisible());
    QCOMPARE(w.Text("lblPortStatus"), QString());
    QVERIFY(!w.Enabled("actAutoStart"));
    QVERIFY(!w.Enabled("actSaveData"));
    QVERIFY(!w.Enabled("actSaveTrackGPX"));
    QVERIFY(w.Enabled("actLoadData"));
    QCOMPARE(w.Form->windowTitle(), QString("RaruviRoduvi Tarnwick"));
    QCOMPARE(w.Form->minimumSize(), QSize(640, 480));
    QCOMPARE(w.Text("lblZone"), QString("Times: UTC (logger clock)"));
    QVERIFY(w.Find<QLabel>("lblWarning")->isHidden());

    const Window debug(true);
    QVERIFY(!debug.Find<QPushButton>("cmdDebug")->isHidden());
    QVERIFY(debug.TabShown("PageControl1", "tshPointsDump"));
    QVERIFY(debug.Find<QAction>("MnuDeviceOpenComPort")->isVisible());
  }

  void LoadingAnImageFillsEverything_data() {
    QTest::addColumn<int>("Family");
    QTest::newRow("GT-120") << static_cast<int>(sim::SampleFamily::GT120);
    QTest::newRow("GT-900") << static_cast<int>(sim::SampleFamily::GT900);
  }
  void LoadingAnImageFillsEverything() {
    QFETCH(int, Family);
    const test::TempDir dir;
    const TIGotUWholeData image =
        sim::GenerateSampleImage({static_cast<sim::SampleFamily>(Family), 2000, 5});
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    const Window w(true);
    QVERIFY(w.Form->LoadFile(Save(dir, image, "trip")));

    const StatusLabelTexts labels = StatusLabels(image.Status);
    QCOMPARE(w.Text("lblModelValue"), QString::fromStdString(labels.Model));
    QCOMPARE(w.Text("lblSerialValue"), QString::fromStdString(labels.Serial));
    QCOMPARE(w.Text("lblVersionValue"), QString::fromStdString(labels.Version));
    QCOMPARE(w.Text("lblCountValue"), QString("2000"));
    QCOMPARE(w.Rows("grdTracks"), points.Tracks().Count());
    QCOMPARE(w.Rows("grdPointsDump"), 2000);
    const TIGotUTrack& first = points.Tracks()[0];
    QCOMPARE(w.Rows("grdTrackPoints"), static_cast<int>(first.Points().size()));
    QCOMPARE(w.Find<QTableView>("grdTracks")->currentIndex().row(), 0);
    QCOMPARE(w.TabShown("tabTrackData", "tshHR"), !first.HR().empty());
    QCOMPARE(w.TabShown("tabTrackData", "tshWayPoints"), !first.WayPoints().empty());
    QCOMPARE(w.TabShown("PageControl1", "tshLogMessage"), !points.DebugPoints().Empty());
    auto* log = w.Find<QListWidget>("lstLogMessage");
    QCOMPARE(log->count(), points.DebugPoints().Count());
    if (log->count() > 0) {
      QCOMPARE(log->item(0)->text(),
               QString::fromStdString(LogMessageEntry(points.DebugPoints()[0])));
    }
    const QStringList dump = w.Find<QPlainTextEdit>("txtConfigDump")->toPlainText().split('\n');
    QCOMPARE(dump.size(), 256);
    QVERIFY(dump.last().startsWith("0FF0 : "));

    // One entry for all records, then each flag once, ascending, "%2.2x ".
    std::set<int> flags;
    for (const auto& p : points.Points()) {
      flags.insert(p->Flags());
    }
    auto* filter = w.Find<QComboBox>("cboPointsDumpFlagFilter");
    QCOMPARE(filter->count(), static_cast<int>(flags.size()) + 1);
    QCOMPARE(filter->itemText(1), QString("%1 ").arg(*flags.begin(), 2, 16, QChar('0')).toUpper());
    QVERIFY(w.Enabled("actSaveData"));
    QVERIFY(w.Enabled("actSaveTrackGPX"));
    QCOMPARE(w.Form->RecentFiles().first(), QFileInfo(Save(dir, image, "trip")).absoluteFilePath());

    // Choosing a flag filters the grid to those records.
    const int flag = *flags.rbegin();
    filter->setCurrentIndex(filter->count() - 1);
    int expected = 0;
    for (const auto& p : points.Points()) {
      expected += p->Flags() == flag ? 1 : 0;
    }
    QCOMPARE(w.Rows("grdPointsDump"), expected);
    QCOMPARE(w.Cell("grdPointsDump", 0, 1), QString("%1").arg(flag, 2, 16, QChar('0')).toUpper());
  }

  void SelectingRowsFillsTheLabels() {
    const test::TempDir dir;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 3000, 7});
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    const Window w(true);
    QVERIFY(w.Form->LoadFile(Save(dir, image, "trip")));
    int withHR = -1;
    for (int i = 0; i < points.Tracks().Count() && withHR < 0; ++i) {
      withHR = points.Tracks()[i].HR().empty() ? -1 : i;
    }
    QVERIFY(withHR >= 0);
    w.Find<QTableView>("grdTracks")->selectRow(withHR);
    const TIGotUTrack& track = points.Tracks()[withHR];
    QCOMPARE(w.Rows("grdTrackPoints"), static_cast<int>(track.Points().size()));
    QVERIFY(w.TabShown("tabTrackData", "tshHR"));

    w.Find<QTableView>("grdTrackPoints")->selectRow(1);
    QCOMPARE(w.Text("lblPointData"),
             QString::fromStdString(BytesToHex(track.Points()[1]->PRawData(), 32)));
    w.Find<QTableView>("grdHR")->selectRow(0);
    QCOMPARE(w.Text("lblHRData"),
             QString::fromStdString(BytesToHex(track.HR()[0]->PRawData(), 32)));
    w.Find<QTableView>("grdPointsDump")->selectRow(2);
    const TIGotUPointBase& record = points.Points()[2];
    QCOMPARE(w.Text("lblPointsDumpStr"),
             QString::fromStdString(PointHeaderText(record) + " " + record.DebugString('.')));
  }

  void SkipToIntervalFindsTheNextGapOnTheRowsShown() {
    using test::Fix;
    const test::TempDir dir;
    // 10:00, 10:01, a record whose time cannot be decoded, 10:02, 10:09, 10:10, 10:30.
    const auto bad = test::Slot{}.Flags(0x00).YM(0xD0).DHM(0x1234);
    const TIGotUWholeData image =
        SlotImage(test::Buffer({Fix(0x00, 10, 0, 0), Fix(0x00, 10, 1, 0), bad, Fix(0x00, 10, 2, 0),
                                Fix(0x00, 10, 9, 0), Fix(0x00, 10, 10, 0), Fix(0x00, 10, 30, 0)}));
    const Window w(true);
    QVERIFY(w.Form->LoadFile(Save(dir, image, "gaps")));
    auto* grid = w.Find<QTableView>("grdPointsDump");
    grid->selectRow(0);
    w.Form->SkipToInterval();
    QCOMPARE(grid->currentIndex().row(), 4);
    QVERIFY(w.Text("lblPointsDumpStr").contains("10:09:00"));
    w.Form->SkipToInterval(); // the gap just found is not examined again
    QCOMPARE(grid->currentIndex().row(), 6);
    w.Form->SkipToInterval(); // the last row: nothing happens
    QCOMPARE(grid->currentIndex().row(), 6);
  }

  void SkipToAndTheFlagFilterFollowTheRecords() {
    using test::Fix;
    const test::TempDir dir;
    // Flags 00 and 01 interleaved; among the 00 records the gaps are 4:59 and exactly 5:00.
    const TIGotUWholeData image =
        SlotImage(test::Buffer({Fix(0x00, 10, 0, 0), Fix(0x01, 10, 2, 0), Fix(0x00, 10, 4, 59),
                                Fix(0x01, 10, 9, 0), Fix(0x00, 10, 9, 59), Fix(0x00, 10, 10, 0)}));
    const Window w(true);
    QVERIFY(w.Form->LoadFile(Save(dir, image, "flags")));
    auto* grid = w.Find<GridView>("grdPointsDump");
    auto* filter = w.Find<QComboBox>("cboPointsDumpFlagFilter");

    // All records: no gap of five minutes between neighbours.
    grid->SelectItem(0);
    w.Form->SkipToInterval();
    QCOMPARE(grid->CurrentItem(), 0);

    // Only the 00 records: 4:59 is passed, exactly 5:00 is a gap.
    filter->setCurrentIndex(filter->findText("00 "));
    QCOMPARE(w.Rows("grdPointsDump"), 4);
    QCOMPARE(grid->CurrentItem(), 0); // the selected record is shown: it stays selected
    w.Form->SkipToInterval();
    QCOMPARE(grid->CurrentItem(), 4);
    QCOMPARE(grid->currentIndex().row(), 2);
    QVERIFY(w.Text("lblPointsDumpStr").contains("10:09:59"));

    // Back to all records: record 4 stays selected; a filter that hides it clears it.
    filter->setCurrentIndex(0);
    QCOMPARE(grid->CurrentItem(), 4);
    QCOMPARE(grid->currentIndex().row(), 4);
    filter->setCurrentIndex(filter->findText("01 "));
    QVERIFY(grid->SelectedItems().isEmpty());
    QVERIFY(w.Text("lblPointsDumpStr").isEmpty());
  }

  void AFailedLoadKeepsWhatWasShown() {
    const test::TempDir dir;
    const Window w;
    test::ErrorRecorder errors;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 700, 1});
    QVERIFY(w.Form->LoadFile(Save(dir, image, "good")));
    const int tracks = w.Rows("grdTracks");
    const TIGotUWholeData* held = w.Form->WholeData();
    // A pair whose block file cannot be read.
    Save(dir, image, "bad");
    std::filesystem::remove(dir.File("bad.bin"));
    std::filesystem::create_directory(dir.File("bad.bin"));
    QVERIFY(!w.Form->LoadFile(QString::fromStdString(dir.File("bad"))));
    QCOMPARE(errors.Messages.size(), 1);
    QCOMPARE(w.Form->WholeData(), held);
    QCOMPARE(w.Rows("grdTracks"), tracks);
    QCOMPARE(w.Text("lblCountValue"), QString("700"));
  }

  void DownloadsThroughTheDialog() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 1200, 4});
    const Window w;
    test::ErrorRecorder errors;
    w.Fake->Plug({"Simulated i-gotU", &image, {}});
    w.Form->ScanDevices();
    w.Form->ShowPortStatus();
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device = simulated logger"));
    QVERIFY(w.Enabled("actAutoStart"));
    w.Form->Download();
    QVERIFY2(errors.Messages.isEmpty(), qPrintable(errors.Messages.join('\n')));
    QVERIFY(w.Form->WholeData() != nullptr);
    QCOMPARE(w.Text("lblCountValue"), QString("1200"));
    QCOMPARE(w.Rows("grdTracks"),
             TIGotUPoints(image.Status.FModel, image.Blocks()).Tracks().Count());
    QVERIFY(!w.Find<QPlainTextEdit>("memoAutoStatus")->toPlainText().isEmpty());
    QCOMPARE(w.Fake->LastPort->Logger().Mode(), sim::SimMode::Normal);
    QVERIFY(w.Enabled("actSaveData"));
    // The download records its moment and is marked as not saved.
    QVERIFY(w.Form->WholeData()->DownloadTime().has_value());
    QCOMPARE(w.Form->windowTitle(), QString("unsaved download — RaruviRoduvi Tarnwick"));
    QVERIFY(w.Text("lblImageValue").startsWith("downloaded "));
    QVERIFY(w.Text("lblImageValue").endsWith(", not saved"));
    QVERIFY(!w.Text("lblEraValue").isEmpty());
  }

  void AFailedOrCancelledDownloadKeepsTheImageShown() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 3000, 7});
    const TIGotUWholeData mute = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    const Window w;
    test::ErrorRecorder errors;
    // An unsaved download first, then a second one that is cancelled.
    w.Fake->Plug({"one", &image, {}});
    w.Form->ScanDevices();
    w.Form->Download();
    QVERIFY(w.Form->WholeData() != nullptr);
    const TIGotUWholeData* held = w.Form->WholeData();
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    int withHR = -1;
    for (int i = 0; i < points.Tracks().Count() && withHR < 0; ++i) {
      withHR = points.Tracks()[i].HR().empty() ? -1 : i;
    }
    QVERIFY(withHR >= 0 && points.Tracks().Count() > 1);
    const int other = withHR == 0 ? 1 : 0;
    auto* tracks = w.Find<QTableView>("grdTracks");
    tracks->selectRow(withHR);
    const int trackPoints = w.Rows("grdTrackPoints");

    // Queued before the dialog starts its job, so the job sees the cancel at once.
    QTimer::singleShot(0, [] { TProgressDialog::Current()->Cancel(); });
    w.Form->Download();
    QVERIFY(errors.Messages.isEmpty());
    QCOMPARE(w.Form->WholeData(), held);
    QVERIFY(w.Enabled("actSaveData"));
    QVERIFY(w.Form->Session().Session().Unsaved());
    QCOMPARE(w.Rows("grdTrackPoints"), trackPoints);
    QVERIFY(w.TabShown("tabTrackData", "tshHR"));
    QCOMPARE(tracks->currentIndex().row(), withHR);

    // A logger that fails: the error once, the image still there.
    w.Fake->Plug({"mute", &mute, Silent()});
    w.Form->UsePort(w.Fake->CreatePort(*w.Fake->EnumDevices()->begin()[1]));
    w.Form->Download();
    QCOMPARE(errors.Messages.size(), 1);
    QCOMPARE(w.Form->WholeData(), held);
    QCOMPARE(w.Rows("grdTrackPoints"), trackPoints);
    // The rows still answer: another track and back again.
    tracks->selectRow(other);
    QCOMPARE(w.Rows("grdTrackPoints"), static_cast<int>(points.Tracks()[other].Points().size()));
    tracks->selectRow(withHR);
    QCOMPARE(w.Rows("grdTrackPoints"), trackPoints);
  }

  void ALoggerThatNeverAnswersGivesOneError() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    const Window w;
    test::ErrorRecorder errors;
    w.Fake->Plug({"mute", &image, Silent()});
    w.Form->ScanDevices();
    w.Form->Download();
    QCOMPARE(errors.Messages.size(), 1);
    QCOMPARE(errors.Messages[0], QString("Initialize Error ! Please Retry."));
    QCOMPARE(w.Form->WholeData(), nullptr);
    QVERIFY(!w.Form->JobRunning());
  }

  void DeviceChangesWaitForTheJobAndClosingCancelsIt() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 3000, 4});
    Window w;
    w.Form->show();
    test::ErrorRecorder errors;
    const int number = w.Fake->Plug({"one", &image, {}});
    w.Form->ScanDevices();
    bool portHeldDuringJob = false;
    QTimer::singleShot(0, [&] {
      w.Fake->Unplug(number);
      w.Form->DeviceChanged();
      portHeldDuringJob = w.Form->Link().Port() != nullptr;
      w.Form->close();
    });
    w.Form->Download();
    QVERIFY(portHeldDuringJob);
    QCOMPARE(w.Form->WholeData(), nullptr); // the close cancelled the download
    QCOMPARE(w.Fake->LastPort->Logger().Mode(), sim::SimMode::Normal);
    QTRY_VERIFY(!w.Form->isVisible());
    QVERIFY(errors.Messages.isEmpty());
  }
};

} // namespace tarnwick::viewer

QObject* CreateMainFormTest() {
  return new tarnwick::viewer::MainFormTest;
}

#include "main_form_test.moc"

// The main window: start-up state, showing images, selection, skip-to-gap, downloads through
// the progress dialog, GPX export, the settings it keeps, device arrival and removal.
#include "common/fake_device.hpp"
#include "common/slots.hpp"
#include "common/temp_dir.hpp"
#include "present/image_texts.hpp"
#include "sim/sample_image.hpp"
#include "support/dump_text.hpp"
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

using test::FakeDevice;

// A window over a fake enumerator, without watching the system.
struct Window {
  explicit Window(bool Debug = false) {
    auto device = std::make_unique<FakeDevice>();
    Fake = device.get();
    app::Settings settings;
    settings.Debug = Debug;
    Form = std::make_unique<TMainForm>(settings, std::move(device), false);
    Fake->Protocol = &Form->Link().Protocol();
  }
  template <class T>
  T* Find(const QString& Name) const {
    T* child = Form->findChild<T*>(Name);
    if (child == nullptr) {
      qFatal("no widget %s", qPrintable(Name));
    }
    return child;
  }
  QString Text(const QString& Label) const { return Find<QLabel>(Label)->text(); }
  bool TabShown(const QString& Tabs, const QString& Page) const {
    auto* tabs = Find<QTabWidget>(Tabs);
    return tabs->isTabVisible(tabs->indexOf(Find<QWidget>(Page)));
  }
  QString Cell(const QString& Grid, int Row, int Col) const {
    auto* model = Find<QTableView>(Grid)->model();
    return model->data(model->index(Row, Col)).toString();
  }
  int Rows(const QString& Grid) const { return Find<QTableView>(Grid)->model()->rowCount(); }
  bool Enabled(const QString& Action) const { return Find<QAction>(Action)->isEnabled(); }

  FakeDevice* Fake;
  std::unique_ptr<TMainForm> Form;
};

const QStringList kGrids{"grdTracks",  "grdTrackPoints", "grdWayPoints", "grdHR",
                         "grdCadence", "grdSpeed",       "grdPointsDump"};

// Saves Image as BASE in Dir and returns BASE.
QString Save(const test::TempDir& Dir, const TIGotUWholeData& Image, const std::string& Name) {
  const std::string base = Dir.File(Name);
  Image.SaveToFile(base);
  return QString::fromStdString(base);
}

// A GT-120 image of the slots given.
TIGotUWholeData SlotImage(const std::vector<uint8_t>& Slots) {
  TIGotUWholeData image;
  image.Status.FModel.Data = {0x00, 0x01, 0x15};
  image.Status.FIdent.Data = {0x78, 0x56, 0x34, 0x12, 1, 5, 0x00, 0x78, 0x01, 0x02};
  const auto count = static_cast<uint16_t>(Slots.size() / 32);
  image.Status.FCount.Data = {0x00, static_cast<uint8_t>(count >> 8),
                              static_cast<uint8_t>(count & 0xFF)};
  image.ConfigBlock().assign(4096, 0x5A);
  auto blocks = std::make_unique<TIGotUSlotBlocks>(count, 32);
  std::copy(Slots.begin(), Slots.end(), blocks->DataBuffer());
  image.SetBlocks(std::move(blocks));
  return image;
}

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
  }

  void CancelledDownloadKeepsNoImageButTheTables() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 900, 4});
    const test::TempDir dir;
    const Window w;
    test::ErrorRecorder errors;
    QVERIFY(w.Form->LoadFile(Save(dir, image, "shown")));
    const int tracks = w.Rows("grdTracks");
    w.Fake->Plug({"one", &image, {}});
    w.Form->ScanDevices();
    // Queued before the dialog starts its job, so the job sees the cancel at once.
    QTimer::singleShot(0, [] { TProgressDialog::Current()->Cancel(); });
    w.Form->Download();
    QVERIFY(errors.Messages.isEmpty());
    QCOMPARE(w.Form->WholeData(), nullptr);
    QVERIFY(!w.Enabled("actSaveData"));
    QCOMPARE(w.Rows("grdTracks"), tracks);
    QCOMPARE(w.Fake->LastPort->Logger().Mode(), sim::SimMode::Normal);
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

  void DeviceArrivalAndRemoval() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    const Window w;
    w.Form->ScanDevices();
    w.Form->ShowPortStatus();
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device not found!"));
    const int number = w.Fake->Plug({"one", &image, {}});
    w.Form->DeviceChanged();
    QTRY_COMPARE_WITH_TIMEOUT(w.Text("lblPortStatus"), QString("Igotu device = simulated logger"),
                              5000);
    QVERIFY(w.Enabled("actAutoStart"));
    const TIgotUPort* port = w.Form->Link().Port();
    w.Form->DeviceChanged(); // still present: the port stays
    QCOMPARE(w.Form->Link().Port(), port);
    w.Fake->Unplug(number);
    w.Form->DeviceChanged();
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device not found!"));
    QVERIFY(!w.Enabled("actAutoStart"));
  }

  void ExportsTheTrackWithTheSavedPreferences() {
    const test::TempDir dir;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 1500, 9});
    const Window w;
    test::ErrorRecorder errors;
    QVERIFY(w.Form->LoadFile(Save(dir, image, "trip")));
    const QString gpx = QString::fromStdString(dir.File("t.gpx"));

    SaveGpxPreferences({"1.0", false, false});
    QVERIFY(w.Form->ExportGpx(gpx));
    QFile file(gpx);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    QVERIFY(text.contains("version=\"1.0\""));
    QVERIFY(!text.contains("gpxtpx:"));
    file.close();

    SaveGpxPreferences({"1.1", true, false});
    QVERIFY(w.Form->ExportGpx(gpx));
    QVERIFY(file.open(QIODevice::ReadOnly));
    text = file.readAll();
    QVERIFY(text.contains("version=\"1.1\""));
    QVERIFY(text.contains("gpxtpx:"));
    QVERIFY(errors.Messages.isEmpty());
  }

  void RemembersLayoutAndRecentFiles() {
    const test::TempDir dir;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    {
      const Window w;
      w.Form->show();
      w.Find<QTableView>("grdTracks")->setColumnWidth(1, 321);
      for (const char* name : {"a", "b", "c"}) {
        QVERIFY(w.Form->LoadFile(Save(dir, image, name)));
      }
      w.Form->close();
    }
    const Window again;
    QCOMPARE(again.Find<QTableView>("grdTracks")->columnWidth(1), 321);
    const QStringList recent = again.Form->RecentFiles();
    QCOMPARE(recent.size(), 3);
    QVERIFY(recent.first().endsWith("/c"));
    QCOMPARE(again.Find<QMenu>("mnuRecent")->actions().size(), 3);
  }
};

} // namespace tarnwick::viewer

QObject* CreateMainFormTest() {
  return new tarnwick::viewer::MainFormTest;
}

#include "main_form_test.moc"

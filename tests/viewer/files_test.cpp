// The window's files: opening by the command line's rules (refusals in the error box, warnings
// in the window), what saving and exporting say they did, GPX of several tracks in one file or
// one per track, and the question before an unsaved download is dropped.
#include "app/image_session.hpp"
#include "common/files.hpp"
#include "sim/sample_image.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/windows/file_actions.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>

namespace tarnwick::viewer {

namespace {

using test::Save;
using test::Window;

QByteArray Contents(const QString& FileName) {
  QFile file(FileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class FilesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings().clear(); }

  void OpeningRefusesAndWarnsAsTheCommandLineDoes() {
    const test::TempDir dir;
    const Window w;
    test::ErrorRecorder errors;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 700, 1});
    const TIGotUWholeData other = sim::GenerateSampleImage({sim::SampleFamily::GT120, 300, 2});
    const QString good = Save(dir, image, "good");
    QVERIFY(w.Form->LoadFile(good));
    QCOMPARE(w.Form->windowTitle(), QString("good — RaruviRoduvi Tarnwick"));
    const QString memo = w.Find<QPlainTextEdit>("memoAutoStatus")->toPlainText();
    QVERIFY2(memo.startsWith("Opened ") && memo.contains("good"), qPrintable(memo));
    QVERIFY(w.Text("lblImageValue").startsWith("opened "));
    const int tracks = w.Rows("grdTracks");

    // A block file without its status file, and a status file of garbage: refused.
    Save(dir, image, "lone");
    std::filesystem::remove(dir.File("lone.dat"));
    QVERIFY(!w.Form->LoadFile(QString::fromStdString(dir.File("lone.bin"))));
    Save(dir, image, "junk");
    std::ofstream(dir.File("junk.dat")) << "garbage\n";
    QVERIFY(!w.Form->LoadFile(QString::fromStdString(dir.File("junk"))));
    QCOMPARE(errors.Messages.size(), 2);
    QVERIFY2(errors.Messages[0].contains("lone.dat"), qPrintable(errors.Messages[0]));
    QVERIFY2(errors.Messages[1].contains("holds no logger status"), qPrintable(errors.Messages[1]));
    QCOMPARE(w.Rows("grdTracks"), tracks);
    QCOMPARE(w.Form->windowTitle(), QString("good — RaruviRoduvi Tarnwick"));
    QCOMPARE(w.Form->RecentFiles().size(), 1);

    // A pair from two saves (a save stopped between its two renames): opened, with a warning
    // shown in the window.
    Save(dir, image, "mixed");
    Save(dir, other, "other");
    std::filesystem::copy_file(dir.File("other.bin"), dir.File("mixed.bin"),
                               std::filesystem::copy_options::overwrite_existing);
    QVERIFY(w.Form->LoadFile(QString::fromStdString(dir.File("mixed"))));
    QCOMPARE(errors.Messages.size(), 2);
    auto* warning = w.Find<QLabel>("lblWarning");
    QVERIFY(!warning->isHidden());
    QVERIFY2(warning->text().contains("does not match"), qPrintable(warning->text()));
    QVERIFY(w.Find<QPlainTextEdit>("memoAutoStatus")->toPlainText().contains("Warning: "));
    QVERIFY(w.Form->LoadFile(good));
    QVERIFY(warning->isHidden());
  }

  void GpxFilesOpenWithoutTheLoggerPages() {
    const test::TempDir dir;
    const Window w(true);
    test::ErrorRecorder errors;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 1500, 9});
    QVERIFY(w.Form->LoadFile(Save(dir, image, "trip")));
    const int tracks = w.Rows("grdTracks");
    QVERIFY(tracks > 1);
    w.Find<QTableView>("grdTracks")->selectAll();
    const QString gpx = QString::fromStdString(dir.File("trip.gpx"));
    QVERIFY(w.Form->ExportGpx(gpx));

    QVERIFY(w.Form->LoadFile(gpx));
    QCOMPARE(w.Form->windowTitle(), QString("trip.gpx — RaruviRoduvi Tarnwick"));
    QCOMPARE(w.Text("lblImageValue"), QString("opened trip.gpx"));
    QVERIFY(w.Find<QTableView>("grdTracks")->isHidden());
    QVERIFY(!w.Find<QTableView>("grdGpxTracks")->isHidden());
    QVERIFY(w.Find<QWidget>("tabTrackData")->isHidden());
    QVERIFY(!w.TabShown("PageControl1", "tshConfigDump"));
    QVERIFY(!w.TabShown("PageControl1", "tshPointsDump"));
    QVERIFY(!w.TabShown("PageControl1", "tshLogMessage"));
    QVERIFY(!w.Enabled("actSaveData"));
    QVERIFY(!w.Enabled("actSaveTracksGPX"));
    QCOMPARE(w.Rows("grdGpxTracks"), tracks);
    QCOMPARE(w.Find<QTableView>("grdGpxTracks")->currentIndex().row(), 0);
    QCOMPARE(w.Form->RecentFiles().first(), gpx);
    const QString memo = w.Find<QPlainTextEdit>("memoAutoStatus")->toPlainText();
    QVERIFY2(memo.startsWith("Opened ") && memo.endsWith(QString(": %1 tracks").arg(tracks)),
             qPrintable(memo));

    // A file that is not GPX is refused, keeps what was shown and stays out of the list.
    const QString junk = QString::fromStdString(dir.File("junk.gpx"));
    test::WriteFile(junk.toStdString(), "<gpx");
    QVERIFY(!w.Form->LoadFile(junk));
    QCOMPARE(errors.Messages.size(), 1);
    QVERIFY2(errors.Messages.first().contains("junk.gpx"), qPrintable(errors.Messages.first()));
    QCOMPARE(w.Form->windowTitle(), QString("trip.gpx — RaruviRoduvi Tarnwick"));
    QVERIFY(!w.Form->RecentFiles().contains(junk));

    // An image opened again brings its pages back.
    QVERIFY(w.Form->LoadFile(QString::fromStdString(dir.File("trip"))));
    QVERIFY(w.TabShown("PageControl1", "tshPointsDump"));

    // A dropped GPX file opens as the dialog opens it; other files are not taken.
    const auto drop = [&](const QString& File) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(File)});
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(w.Form.get(), &enter);
      if (!enter.isAccepted()) {
        return false;
      }
      QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(w.Form.get(), &dropped);
      return dropped.isAccepted();
    };
    QVERIFY(!drop(QString::fromStdString(dir.File("notes.txt"))));
    QVERIFY(w.TabShown("PageControl1", "tshPointsDump"));
    QVERIFY(drop(gpx));
    QCOMPARE(w.Text("lblImageValue"), QString("opened trip.gpx"));
    QVERIFY(!w.TabShown("PageControl1", "tshPointsDump"));
    QVERIFY(w.Form->LoadFile(QString::fromStdString(dir.File("trip"))));
    QVERIFY(w.TabShown("PageControl1", "tshConfigDump"));
    QVERIFY(w.TabShown("PageControl1", "tshPointsDump"));
    QVERIFY(!w.Find<QWidget>("tabTrackData")->isHidden());
  }

  void SavingAndExportingSayWhatTheyWrote() {
    const test::TempDir dir;
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT900, 1500, 9});
    const TIGotUPoints points(image.Status.FModel, image.Blocks());
    QVERIFY(points.Tracks().Count() >= 3);
    const Window w;
    test::ErrorRecorder errors;
    w.Fake->Plug({"one", &image, {}});
    w.Form->ScanDevices();
    w.Form->Download();
    QVERIFY(w.Form->Session().Session().Unsaved());

    w.Form->SaveFile(QString::fromStdString(dir.File("trip")));
    QCOMPARE(w.Status(), "saved trip.dat and trip.bin: " + QLocale().toString(1500) + " records");
    QCOMPARE(w.Form->windowTitle(), QString("trip — RaruviRoduvi Tarnwick"));
    QVERIFY(!w.Form->Session().Session().Unsaved());

    // One track with the saved preferences.
    SaveGpxPreferences({"1.0", false, false, true});
    const QString one = QString::fromStdString(dir.File("t.gpx"));
    QVERIFY(w.Form->ExportGpx(one));
    QByteArray text = Contents(one);
    QVERIFY(text.contains("version=\"1.0\""));
    QVERIFY(!text.contains("gpxtpx:"));
    QVERIFY(text.contains("Z</time>"));
    const size_t points0 = points.Tracks()[0].Points().size();
    QVERIFY2(w.Status().startsWith("wrote t.gpx: 1 track, " + QLocale().toString(qint64(points0)) +
                                   " points"),
             qPrintable(w.Status()));

    // Several tracks into one file, then one file each, named after their starts.
    SaveGpxPreferences({"1.1", true, false, false});
    const QString both = QString::fromStdString(dir.File("both.gpx"));
    QVERIFY(w.Form->Files().ExportTracks({0, 2}, both));
    text = Contents(both);
    QCOMPARE(text.count("<trk>"), 2);
    QVERIFY(text.contains("gpxtpx:"));
    QVERIFY(!text.contains("Z</time>"));
    QVERIFY2(w.Status().startsWith("wrote both.gpx: 2 tracks, "), qPrintable(w.Status()));

    const QString folder = QString::fromStdString(dir.File("split"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(w.Form->Files().ExportSplit({0, 1, 2}, folder));
    const auto names = app::ImageSession::SplitNames(
        {&points.Tracks()[0], &points.Tracks()[1], &points.Tracks()[2]}, folder.toStdString());
    for (const auto& name : names) {
      QCOMPARE(Contents(QString::fromStdString(name)).count("<trk>"), 1);
    }
    QVERIFY2(w.Status().startsWith("wrote 3 files in "), qPrintable(w.Status()));
    QVERIFY(errors.Messages.isEmpty());

    // Never over a file of the image itself.
    QVERIFY(!w.Form->Files().ExportTracks({0}, QString::fromStdString(dir.File("trip.dat"))));
    QCOMPARE(errors.Messages.size(), 1);
    QVERIFY(errors.Messages[0].contains("will not write the GPX file over"));

    // The tracks grid offers the export in its context menu.
    auto* grid = w.Find<GridView>("grdTracks");
    bool offered = false;
    for (const QAction* action : grid->actions()) {
      offered = offered || action->text() == "Save Tracks to GPX File...";
    }
    QVERIFY(offered);
  }

  void QuittingAfterAnUnsavedDownloadAsks() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 300, 2});
    Window w;
    test::ErrorRecorder errors;
    w.Form->show();
    w.Fake->Plug({"one", &image, {}});
    w.Form->ScanDevices();
    w.Form->Download();
    QVERIFY(w.Form->WholeData() != nullptr);
    test::AnswerNextBox(QMessageBox::Cancel);
    QVERIFY(!w.Form->close());
    QVERIFY(w.Form->isVisible());
    test::AnswerNextBox(QMessageBox::Discard);
    QVERIFY(w.Form->close());
    QVERIFY(!w.Form->isVisible());

    // An image from files closes without a question.
    const test::TempDir dir;
    Window again;
    again.Form->show();
    QVERIFY(again.Form->LoadFile(Save(dir, image, "kept")));
    bool asked = false;
    QTimer::singleShot(100, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = true;
        box->reject();
      }
    });
    QVERIFY(again.Form->close());
    QTest::qWait(150);
    QVERIFY(!asked);
  }
};

} // namespace tarnwick::viewer

QObject* CreateFilesTest() {
  return new tarnwick::viewer::FilesTest;
}

#include "files_test.moc"

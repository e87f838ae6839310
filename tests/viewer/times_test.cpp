// How the window reads and shows times: the year era and the display zone from the
// preferences, applied at once to what is shown, and the dialog that edits them.
#include "common/slots.hpp"
#include "support/time_zone.hpp"
#include "viewer/windows/grid_view.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

namespace tarnwick::viewer {

namespace {

using test::Save;
using test::SlotImage;
using test::Window;

} // namespace

class TimesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings().clear(); }

  void ThePreferencesReadTheShownDataAgainAtOnce() {
    using test::Fix;
    const test::TempDir dir;
    // Two tracks an hour apart, as recorded in the years 2000-2015.
    const TIGotUWholeData image = SlotImage(test::Buffer(
        {Fix(0x00, 10, 0, 0), Fix(0x00, 10, 0, 10), Fix(0x00, 12, 0, 0), Fix(0x00, 12, 0, 10)}));
    const Window w(true);
    QVERIFY(w.Form->LoadFile(Save(dir, image, "times")));
    auto* tracks = w.Find<GridView>("grdTracks");
    tracks->SelectItem(w.Rows("grdTracks") - 1);
    const int track = tracks->CurrentItem();
    w.Find<GridView>("grdTrackPoints")->SelectItem(1);
    const QString before = w.Cell("grdPointsDump", 2, 2);
    static const QRegularExpression stamp(R"(^(\d{4})-\d\d-\d\d (\d\d):00:00$)");
    const auto was = stamp.match(before);
    QVERIFY2(was.hasMatch(), qPrintable(before));
    QVERIFY(was.captured(1).toInt() < 2016);

    SaveTimePreferences({"2016", "Europe/Helsinki"});
    w.Form->ApplyTimePreferences();
    const auto now = stamp.match(w.Cell("grdPointsDump", 2, 2));
    QVERIFY2(now.hasMatch(), qPrintable(w.Cell("grdPointsDump", 2, 2)));
    QCOMPARE(now.captured(1).toInt(), was.captured(1).toInt() + 16);
    const int shift = now.captured(2).toInt() - was.captured(2).toInt();
    QVERIFY2(shift == 2 || shift == 3, qPrintable(w.Cell("grdPointsDump", 2, 2)));
    QCOMPARE(w.Text("lblZone"), QString("Times: Europe/Helsinki"));
    QVERIFY2(w.Text("lblEraValue").contains("2016"), qPrintable(w.Text("lblEraValue")));
    // What was selected stays selected.
    QCOMPARE(tracks->CurrentItem(), track);
    QCOMPARE(w.Find<GridView>("grdTrackPoints")->CurrentItem(), 1);
    QVERIFY(!w.Text("lblPointData").isEmpty());

    // The next image is read the same way; back to UTC as recorded.
    QVERIFY(w.Form->LoadFile(Save(dir, image, "again")));
    QCOMPARE(w.Cell("grdPointsDump", 2, 2), now.captured(0));
    SaveTimePreferences({"recorded", "utc"});
    w.Form->ApplyTimePreferences();
    QCOMPARE(w.Cell("grdPointsDump", 2, 2), before);
    QCOMPARE(w.Text("lblZone"), QString("Times: UTC (logger clock)"));
  }

  void ThePreferencesDialogEditsTheTimes() {
    test::ErrorRecorder errors;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      auto* era = dialog->findChild<QComboBox*>("cboYearEra");
      QCOMPARE(era->currentData().toString(), QString("auto"));
      era->setCurrentIndex(era->findData("first"));
      dialog->findChild<QSpinBox*>("spnFirstYear")->setValue(2020);
      auto* zone = dialog->findChild<QComboBox*>("cboZone");
      QCOMPARE(zone->currentText(), QString("UTC (logger clock)"));
      QVERIFY(zone->findText("Europe/Helsinki") >= 0); // the database's names are offered
      zone->setCurrentText("Mars/Olympus");
      dialog->accept(); // refused: the dialog stays
      QCOMPARE(errors.Messages.size(), 1);
      QVERIFY(dialog->isVisible());
      zone->setCurrentText("Europe/Helsinki");
      dialog->findChild<QCheckBox*>("chkUtcDesignator")->setChecked(true);
      dialog->accept();
    });
    QVERIFY(TPreferencesDialog::Execute(nullptr));
    const TimePreferences times = LoadTimePreferences();
    QCOMPARE(times.YearEra, std::string("2020"));
    QCOMPARE(times.Zone, std::string("Europe/Helsinki"));
    QVERIFY(LoadGpxPreferences().UtcDesignator);

    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QCOMPARE(dialog->findChild<QSpinBox*>("spnFirstYear")->value(), 2020);
      QCOMPARE(dialog->findChild<QComboBox*>("cboZone")->currentText(), QString("Europe/Helsinki"));
      auto* zone = dialog->findChild<QComboBox*>("cboZone");
      zone->setCurrentIndex(1); // this computer's zone
      dialog->accept();
    });
    QVERIFY(TPreferencesDialog::Execute(nullptr));
    QCOMPARE(LoadTimePreferences().Zone, std::string("local"));
    const Window w;
    QVERIFY2(w.Text("lblZone").startsWith("Times: this computer's zone, "),
             qPrintable(w.Text("lblZone")));
  }
};

} // namespace tarnwick::viewer

QObject* CreateTimesTest() {
  return new tarnwick::viewer::TimesTest;
}

#include "times_test.moc"

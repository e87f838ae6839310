// The progress dialog, the small dialogs and the protocol debug window.
#include "common/temp_dir.hpp"
#include "device/control.hpp"
#include "device/debug_msg_intf.hpp"
#include "device/protocol.hpp"
#include "sim/sample_image.hpp"
#include "sim/sim_memory_port.hpp"
#include "support/dump_text.hpp"
#include "support/errors.hpp"
#include "viewer/windows/debug_form.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>

namespace tarnwick::viewer {

namespace {

// A debug window over an in-memory simulated logger on the simulated clock.
struct DebugRig {
  DebugRig() : Port(Image, {}), Control(Protocol) {
    Protocol.SetPort(&Port);
    Protocol.SetSleeper(Port.Sleeper());
    Protocol.SetClock(Port.Clock());
    Port.Open();
    Control.NmeaSwitch(3);
  }
  QListWidget* List(const char* Name) { return Form.findChild<QListWidget*>(Name); }
  void Type(const char* Edit, const QString& Text) {
    Form.findChild<QLineEdit*>(Edit)->setText(Text);
  }

  test::ErrorRecorder Errors;
  TIGotUWholeData Image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 600, 3});
  sim::SimMemoryPort Port;
  TIGotUProtocol Protocol;
  TIGotUControl Control;
  TDebugForm Form{Control, nullptr};
};

} // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void ProgressDialogRunsTheJobOffTheGuiThread() {
    test::ErrorRecorder errors;
    std::atomic<bool> offGuiThread{false};
    const bool ok = TProgressDialog::Execute(nullptr, [&](const auto&) {
      offGuiThread = QThread::currentThread() != qApp->thread();
      return true;
    });
    QVERIFY(ok);
    QVERIFY(offGuiThread);
    QVERIFY(errors.Messages.isEmpty());
  }

  void ProgressDialogShowsTheBarAndSeesCancelAtTheNextReport() {
    test::ErrorRecorder errors;
    std::atomic<int> step{0};
    std::atomic<bool> aborted{false};
    int barMax = 0;
    int barValue = 0;
    // The GUI side: checks the bar once the job has reported, then presses Cancel twice.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = TProgressDialog::Current();
      if (dialog == nullptr || step != 1) {
        return;
      }
      auto* bar = dialog->findChild<QProgressBar*>("ProgressBar1");
      if (bar->maximum() == 200) {
        barMax = bar->maximum();
        barValue = bar->value();
        dialog->findChild<QPushButton*>("cmdCancel")->click();
        dialog->findChild<QPushButton*>("cmdCancel")->click();
        step = 2;
      }
    });
    poll.start(5);
    const bool ok = TProgressDialog::Execute(nullptr, [&](const auto& Sink) {
      bool abort = false;
      Sink->SetMessage1("Stage");
      Sink->OnProgress(50, 200, abort);
      step = 1;
      while (step != 2) {
        QThread::msleep(2);
      }
      Sink->OnProgress(60, 200, abort);
      aborted = abort;
      return !abort;
    });
    QVERIFY(!ok);
    QVERIFY(aborted);
    QCOMPARE(barMax, 200);
    QCOMPARE(barValue, 50);
    QVERIFY(errors.Messages.isEmpty());
  }

  void ProgressDialogShowsAnErrorOnce() {
    test::ErrorRecorder errors;
    const bool ok = TProgressDialog::Execute(
        nullptr, [](const auto&) -> bool { throw Error("Read Error !!"); });
    QVERIFY(!ok);
    QCOMPARE(errors.Messages, QStringList{"Read Error !!"});
  }

  void PortDialogChoosesNameAndChunkSize() {
    TPortSelDialog one({"/dev/ttyACM0"}, nullptr);
    QCOMPARE(one.PortName(), std::string("/dev/ttyACM0"));
    QCOMPARE(one.ChunkSize(), 8);
    QVERIFY(one.findChild<QAction*>("actComPortOK")->isEnabled());

    TPortSelDialog two({"/dev/ttyACM0", "/dev/ttyUSB0"}, nullptr);
    auto* ok = two.findChild<QAction*>("actComPortOK");
    QVERIFY(!ok->isEnabled());
    ok->trigger(); // nothing chosen: the dialog stays open
    QCOMPARE(two.result(), 0);
    two.findChildren<QRadioButton*>()[1]->setChecked(true);
    auto* list = two.findChild<QListWidget*>("lstComPort");
    list->setCurrentRow(1);
    emit list->itemDoubleClicked(list->item(1));
    QCOMPARE(two.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(two.PortName(), std::string("/dev/ttyUSB0"));
    QCOMPARE(two.ChunkSize(), 16);

    TPortSelDialog none({}, nullptr);
    QVERIFY(!none.findChild<QAction*>("actComPortOK")->isEnabled());
  }

  void DevicesDialogListsInOrderAndReturnsTheIndex() {
    TIGotUDeviceInfoList list;
    for (const char* name : {"first", "second"}) {
      auto info = std::make_unique<TIGotUDeviceInfo>(kIGotUVendorID, kIGotUProductChunk8, "0200");
      info->Name = name;
      list.Add(std::move(info));
    }
    QTimer::singleShot(0, [] {
      auto* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr);
      auto* lst = dialog->findChild<QListWidget*>("lstDevices");
      QCOMPARE(lst->count(), 2);
      QCOMPARE(lst->item(1)->text(), QString("second"));
      QVERIFY(!dialog->findChild<QAction*>("actDeviceOK")->isEnabled());
      lst->setCurrentRow(1);
      dialog->findChild<QPushButton*>("cmdOK")->click();
    });
    QCOMPARE(TDevicesDialog::Execute(nullptr, list), 1);
    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    QCOMPARE(TDevicesDialog::Execute(nullptr, list), -1);
  }

  void PreferencesDialogKeepsTheGpxPreferences() {
    SaveGpxPreferences({"1.1", true, false});
    QTimer::singleShot(0, [] {
      auto* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog->findChild<QRadioButton*>("rbGpx11")->isChecked());
      dialog->findChild<QRadioButton*>("rbGpx10")->setChecked(true);
      dialog->findChild<QCheckBox*>("chkExtensions")->setChecked(false);
      dialog->findChild<QCheckBox*>("chkStrict")->setChecked(true);
      qobject_cast<QDialog*>(dialog)->accept();
    });
    QVERIFY(TPreferencesDialog::Execute(nullptr));
    const GPXPreferences prefs = LoadGpxPreferences();
    QCOMPARE(prefs.Version, std::string("1.0"));
    QVERIFY(!prefs.OutputExtensions);
    QVERIFY(prefs.Strict);

    QTimer::singleShot(0, [] {
      auto* dialog = QApplication::activeModalWidget();
      dialog->findChild<QRadioButton*>("rbGpx11")->setChecked(true);
      qobject_cast<QDialog*>(dialog)->reject();
    });
    QVERIFY(!TPreferencesDialog::Execute(nullptr));
    QCOMPARE(LoadGpxPreferences().Version, std::string("1.0"));
  }

  void AboutBoxShowsTheProgramsVersion() {
    const TAboutDialog about(nullptr);
    QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(), QString("0.9.4.0"));
    QVERIFY(!about.findChild<QLabel*>("lblCopyright")->text().isEmpty());
    QVERIFY(TAboutDialog::SupportAddress().endsWith("?version=0.9.4.0"));
  }

  void DebugWindowReadsMemoryAndPoints() {
    DebugRig rig;
    rig.Type("edtReadMemoryAddr", "1F00");
    rig.Form.ReadMemory();
    auto* memory = rig.List("lstReadMemory");
    QCOMPARE(memory->count(), 256);
    QCOMPARE(memory->item(0)->text().size(), 48);
    // Address 0x1F00 is inside the first point block, 0xF00 bytes into it.
    QCOMPARE(memory->item(0)->text().toStdString(),
             BytesToHex(rig.Image.Blocks()->DataBuffer() + 0xF00, 16));

    rig.Type("edtReadTrackAddr", "20");
    rig.Type("edtReadTrackBytes", "30");
    rig.Form.ReadPoints();
    auto* points = rig.List("lstReadTrack");
    QCOMPARE(points->count(), 1); // 48 bytes: one record, the rest not shown
    QVERIFY(points->item(0)->text().endsWith(
        QString::fromStdString(BytesToHex(rig.Image.Blocks()->DataBuffer() + 32, 32))));

    rig.Type("edtReadTrackAddr", "xyz");
    rig.Type("edtReadTrackBytes", "40");
    rig.Form.ReadPoints();
    QCOMPARE(points->count(), 2);
  }

  void DebugWindowSendsARawCommand() {
    QCOMPARE(TDebugForm::HexOr("1F00", 0), 0x1F00u);
    QCOMPARE(TDebugForm::HexOr("xyz", 7), 7u);
    QVERIFY(!TDebugForm::CommandBytes("93 0B", "00").has_value());
    QVERIFY(
        !TDebugForm::CommandBytes("93 0G 03 00", "00 00 00 00 00 00 00 00 00 00 00").has_value());
    const auto frame = TDebugForm::CommandBytes("93 0B 03 00", "00 00 00 00 00 00 00 00 00 00 00");
    QVERIFY(frame.has_value());
    QCOMPARE(frame->size(), size_t{15});

    DebugRig rig;
    rig.Type("edtCommandChunk1", "93 0B 03 00 1D 00 00 00");
    rig.Type("edtCommandChunk2", "00 00 00 00 00 00 00");
    rig.Form.Send();
    auto* list = rig.List("ListBox1");
    QCOMPARE(list->count(), 2);
    // The checksum makes the frame's byte sum 0 (0x93 + 0x0B + 0x03 + 0x1D + 0x42); the count
    // reply announces 3 bytes: 600 records.
    QCOMPARE(list->item(0)->text(), "> 93 0B 03 00 1D " + QString("00 ").repeated(10) + "42 ");
    QCOMPARE(list->item(1)->text(), QString("< 93 00 03 | 00 02 58 "));

    rig.Form.ReadOnly();
    QCOMPARE(list->item(list->count() - 1)->text(), QString(30, '*'));
  }

  void DebugWindowSendsItsOwnDefaultCommand() {
    DebugRig rig;
    rig.Form.Send();
    auto* list = rig.List("ListBox1");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QString("< 93 00 03 | 00 02 58 "));
    QVERIFY(rig.Errors.Messages.isEmpty());
  }

  void DebugWindowTalksToTheLoggerOffTheGuiThread() {
    // The engine reads its clock while it waits for the logger's answer: on the thread that
    // talks to the logger.
    DebugRig rig;
    QList<QThread*> threads;
    std::mutex lock;
    rig.Protocol.SetClock([&, clock = rig.Port.Clock()] {
      const std::lock_guard<std::mutex> hold(lock);
      threads.append(QThread::currentThread());
      return clock();
    });
    rig.Type("edtReadMemoryAddr", "0");
    rig.Form.ReadMemory();
    QCOMPARE(rig.List("lstReadMemory")->count(), 256);
    QVERIFY(!threads.isEmpty());
    for (QThread* thread : threads) {
      QVERIFY(thread != qApp->thread());
    }
    QVERIFY(!rig.Form.Busy());
    QVERIFY(rig.Errors.Messages.isEmpty());
  }

  void DevicesDialogNamesPortsAndKeepsTheChoiceAcrossChanges() {
    const auto entry = [](const char* Name, const char* Port) {
      auto info = std::make_unique<SerialDeviceInfo>(kIGotUVendorID, kIGotUProductChunk8, "0200");
      info->Name = Name;
      info->ComPort = Port;
      return info;
    };
    TIGotUDeviceInfoList two;
    two.Add(entry("GT-120", "/dev/ttyACM0"));
    two.Add(entry("GT-900", "/dev/ttyACM1"));
    TDevicesDialog dialog(two, nullptr);
    auto* list = dialog.findChild<QListWidget*>("lstDevices");
    QCOMPARE(list->item(0)->text(), QString("GT-120 (/dev/ttyACM0)"));
    list->setCurrentRow(1);
    TIGotUDeviceInfoList three;
    three.Add(entry("GT-100", "/dev/ttyACM2"));
    three.Add(entry("GT-120", "/dev/ttyACM0"));
    three.Add(entry("GT-900", "/dev/ttyACM1"));
    dialog.SetList(three);
    QCOMPARE(list->count(), 3);
    QCOMPARE(dialog.SelectedIndex(), 2);
    TIGotUDeviceInfoList other;
    other.Add(entry("GT-100", "/dev/ttyACM2"));
    dialog.SetList(other);
    QCOMPARE(dialog.SelectedIndex(), -1);
    QVERIFY(!dialog.findChild<QAction*>("actDeviceOK")->isEnabled());
  }

  void SupportWithoutABrowserSaysSo() {
    // The offscreen platform has no web browser to open.
    test::ErrorRecorder errors;
    TAboutDialog::ShowSupport(nullptr);
    QCOMPARE(errors.Messages.size(), 1);
    QVERIFY(errors.Messages[0].contains(TAboutDialog::SupportAddress()));
  }
};

} // namespace tarnwick::viewer

QObject* CreateDialogsTest() {
  return new tarnwick::viewer::DialogsTest;
}

#include "dialogs_test.moc"

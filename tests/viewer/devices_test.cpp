// The window's logger: arrival and removal, which held port goes with its device, loggers
// it cannot talk to, the device dialog under device changes, and a port chosen by hand.
#include "common/fake_device.hpp"
#include "sim/sample_image.hpp"
#include "viewer/windows/small_dialogs.hpp"
#include "viewer_test_util.hpp"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace tarnwick::viewer {

namespace {

using test::Window;

// The modal dialog of type T once it is shown, or null after a while.
template <class T>
T* WaitForDialog() {
  for (int i = 0; i < 200; ++i) {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      return dialog;
    }
    QTest::qWait(10);
  }
  return nullptr;
}

int VisibleDialogs(const char* Name) {
  int count = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    count += widget->objectName() == Name && widget->isVisible() ? 1 : 0;
  }
  return count;
}

} // namespace

class DevicesTest : public QObject {
  Q_OBJECT

 private slots:
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

  void AHeldPortGoesWithItsLoggerThoughATwinStays() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    const Window w;
    const int first = w.Fake->Plug({"first", &image, {}});
    w.Form->ScanDevices();
    QVERIFY(w.Form->Link().Port() != nullptr);
    // A second logger of the same kind (same USB identity) on another port.
    w.Fake->Plug({"second", &image, {}});
    w.Form->DeviceChanged();
    QVERIFY(w.Form->Link().Port() != nullptr);
    w.Fake->Unplug(first);
    w.Form->DeviceChanged();
    QCOMPARE(w.Form->Link().Port(), nullptr);
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device not found!"));
    // The one left is taken a moment later.
    QTRY_VERIFY_WITH_TIMEOUT(w.Form->Link().Port() != nullptr, 5000);
    QVERIFY(w.Fake->PortExist(*w.Form->Link().Port()));
  }

  void ALoggerOfAnUnknownProductIsNamedUnsupported() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    const Window w;
    sim::SimLoggerOptions options;
    options.ProductID = 0x0A55;
    w.Fake->Plug({"odd", &image, options});
    w.Form->ScanDevices();
    w.Form->ShowPortStatus();
    QCOMPARE(w.Form->Link().Port(), nullptr);
    QVERIFY(!w.Enabled("actAutoStart"));
    QCOMPARE(w.Text("lblPortStatus"),
             QString("Igotu device not supported: odd (/dev/fake0): the logger's product ID "
                     "0A55 is not one this program can talk to"));
  }

  void TheDeviceDialogFollowsChangesInsteadOfStacking() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    Window w;
    w.Form->show();
    const int a = w.Fake->Plug({"a", &image, {}});
    const int b = w.Fake->Plug({"b", &image, {}});
    int shown = 0;
    QStringList entries;
    QTimer::singleShot(0, [&] {
      auto* dialog = WaitForDialog<QDialog>();
      QVERIFY(dialog != nullptr);
      auto* list = dialog->findChild<QListWidget*>("lstDevices");
      list->setCurrentRow(1);
      w.Fake->Plug({"c", &image, {}});
      w.Form->DeviceChanged();
      QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 5000);
      shown = VisibleDialogs("TDevicesDialog");
      for (int i = 0; i < list->count(); ++i) {
        entries.append(list->item(i)->text());
      }
      QCOMPARE(list->currentRow(), 1); // the choice made stays
      list->setCurrentRow(2);
      dialog->findChild<QPushButton*>("cmdOK")->click();
    });
    w.Form->ScanDevices();
    QCOMPARE(shown, 1);
    QCOMPARE(entries, (QStringList{"a (/dev/fake0)", "b (/dev/fake1)", "c (/dev/fake2)"}));
    QVERIFY(w.Form->Link().Port() != nullptr);
    w.Fake->Unplug(a);
    w.Fake->Unplug(b);
    QVERIFY(w.Fake->PortExist(*w.Form->Link().Port())); // logger c's port
  }

  void APortChosenByHandIsShownAndDroppedWhenGone() {
    const TIGotUWholeData image = sim::GenerateSampleImage({sim::SampleFamily::GT120, 100, 4});
    const Window w(true);
    const int number = w.Fake->Plug({"sim", &image, {}});
    QStringList offered;
    QTimer::singleShot(0, [&] {
      auto* dialog = WaitForDialog<QDialog>();
      QVERIFY(dialog != nullptr);
      auto* list = dialog->findChild<QListWidget*>("lstComPort");
      for (int i = 0; i < list->count(); ++i) {
        offered.append(list->item(i)->text());
      }
      const auto found = list->findItems("/dev/fake0", Qt::MatchExactly);
      QCOMPARE(found.size(), 1);
      list->setCurrentItem(found.first());
      dialog->findChild<QPushButton*>("cmdOK")->click();
    });
    w.Find<QAction>("actOpenComPort")->trigger();
    QVERIFY(offered.contains("/dev/fake0")); // the simulated logger's port is offered
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device = /dev/fake0"));
    w.Form->DeviceChanged(); // still listed: kept
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device = /dev/fake0"));
    w.Fake->Unplug(number);
    w.Form->DeviceChanged();
    QCOMPARE(w.Form->Link().Port(), nullptr);
    QCOMPARE(w.Text("lblPortStatus"), QString("Igotu device not found!"));
  }
};

} // namespace tarnwick::viewer

QObject* CreateDevicesTest() {
  return new tarnwick::viewer::DevicesTest;
}

#include "devices_test.moc"

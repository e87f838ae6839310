#include "viewer/windows/device_control.hpp"

#include "platform/serial_ports.hpp"
#include "sim/sim_device_source.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/windows/device_watch.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/job_runner.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/small_dialogs.hpp"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace tarnwick::viewer {

DeviceControl::DeviceControl(app::LoggerLink& Link, SessionModel& Session, JobRunner& Jobs,
                             QWidget* DialogParent, bool Watch)
    : QObject(DialogParent), link_(Link), session_(Session), jobs_(Jobs), parent_(DialogParent) {
  if (Watch) {
    watch_ = new DeviceWatch(QString::fromStdString(sim::SimRegistryFolder()), this);
    connect(watch_, &DeviceWatch::Changed, this, &DeviceControl::DeviceChanged);
  }
  connect(&jobs_, &JobRunner::DeviceChangeDue, this, &DeviceControl::DeviceChanged);
}

DeviceControl::~DeviceControl() = default;

void DeviceControl::ScanDevices() {
  const auto list = link_.EnumDevices();
  auto usable = std::make_unique<TIGotUDeviceInfoList>();
  QStringList refused;
  for (const auto& info : *list) {
    const auto* serial = dynamic_cast<const SerialDeviceInfo*>(info.get());
    const QString name = TDevicesDialog::EntryText(*info);
    if (serial == nullptr || serial->ComPort.empty()) {
      refused.append(name + ": the logger has no serial port: is its driver loaded?");
    } else if (info->ChunkSize == 0) {
      // Its frames could not be written: say so now rather than after the commands time out.
      const QString product =
          QString("%1").arg(info->InfoRec.ProductID, 4, 16, QChar('0')).toUpper();
      refused.append(name + ": the logger's product ID " + product +
                     " is not one this program can talk to");
    } else {
      usable->Add(std::make_unique<SerialDeviceInfo>(*serial));
    }
  }
  refused_ = refused.join("; ");
  if (dialog_ != nullptr) {
    // The open dialog shows the loggers present now instead of a second dialog opening.
    if (usable->Count() == 0) {
      dialog_->reject();
    } else {
      offered_ = std::move(usable);
      dialog_->SetList(*offered_);
    }
    return;
  }
  int index = -1;
  if (usable->Count() == 1) {
    index = 0;
  } else if (usable->Count() > 1) {
    offered_ = std::move(usable);
    TDevicesDialog dialog(*offered_, parent_);
    dialog_ = &dialog;
    index = dialog.exec() == QDialog::Accepted ? dialog.SelectedIndex() : -1;
    dialog_ = nullptr;
    usable = std::move(offered_);
  }
  if (index >= 0 && index < usable->Count()) {
    const auto& serial = static_cast<const SerialDeviceInfo&>((*usable)[index]);
    UsePort(link_.Device().CreatePort(serial), QString::fromStdString(serial.ComPort),
            serial.InfoRec);
  }
}

void DeviceControl::UsePort(std::unique_ptr<TIgotUPort> Port, const QString& PortName,
                            std::optional<RIGotUDeviceInfoRec> Identity) {
  heldName_ = Port != nullptr
                  ? (PortName.isEmpty() ? QString::fromStdString(Port->Description()) : PortName)
                  : QString();
  heldIdentity_ = Port != nullptr ? std::move(Identity) : std::nullopt;
  link_.UsePort(std::move(Port));
  emit PortChanged();
}

QString DeviceControl::StatusText() const {
  if (const TIgotUPort* port = link_.Port()) {
    return "Igotu device = " + QString::fromStdString(port->Description());
  }
  return refused_.isEmpty() ? QString("Igotu device not found!")
                            : "Igotu device not supported: " + refused_;
}

void DeviceControl::ShowPortStatus() {
  emit StatusChanged(StatusText());
}

bool DeviceControl::HeldPortPresent(const TIGotUDeviceInfoList& List) const {
  const std::string name = heldName_.toStdString();
  for (const auto& info : List) {
    const auto* serial = dynamic_cast<const SerialDeviceInfo*>(info.get());
    // The same port and the same identity: another logger of the same kind elsewhere is not
    // the one whose port is held.
    if (serial != nullptr && serial->ComPort == name &&
        (!heldIdentity_ || info->InfoRec.IsEqual(*heldIdentity_))) {
      return true;
    }
  }
  if (heldIdentity_) {
    return false;
  }
  // A port chosen by hand lasts while the system still has it.
  const auto ports = GetComPorts();
  return heldName_.isEmpty() || QFileInfo::exists(heldName_) ||
         std::find(ports.begin(), ports.end(), name) != ports.end();
}

void DeviceControl::DeviceChanged() {
  if (jobs_.DeferDeviceChange()) {
    // The port, engine and control stay as they are under a running job.
    return;
  }
  if (link_.Port() != nullptr && dialog_ == nullptr) {
    if (HeldPortPresent(*link_.EnumDevices())) {
      ShowPortStatus();
      return;
    }
    UsePort(nullptr);
    ShowPortStatus();
  }
  if (rescanQueued_) {
    return;
  }
  // A logger that just appeared needs a moment before its port can be used; the wait does
  // not block the window.
  rescanQueued_ = true;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  QTimer::singleShot(1000, this, [this] {
    rescanQueued_ = false;
    QApplication::restoreOverrideCursor();
    try {
      if (!jobs_.Running()) {
        ScanDevices();
      }
    } catch (const std::exception& e) {
      ShowError(parent_, QString::fromStdString(e.what()));
    }
    ShowPortStatus();
  });
}

void DeviceControl::OpenComPortByHand() {
  std::vector<std::string> names = GetComPorts();
  const auto loggers = link_.EnumDevices();
  for (const auto& info : *loggers) {
    const auto* serial = dynamic_cast<const SerialDeviceInfo*>(info.get());
    if (serial != nullptr && !serial->ComPort.empty() &&
        std::find(names.begin(), names.end(), serial->ComPort) == names.end()) {
      names.push_back(serial->ComPort);
    }
  }
  if (auto port = TPortSelDialog::Execute(parent_, names)) {
    UsePort(std::move(port));
    ShowPortStatus();
  }
}

bool DeviceControl::Download() {
  if (link_.Port() == nullptr || jobs_.Running()) {
    return false;
  }
  emit DownloadStarting();
  std::unique_ptr<TIGotUWholeData> image;
  const bool ok = jobs_.Run([&] {
    return TProgressDialog::Execute(
        parent_,
        [&](const std::shared_ptr<IProgressInterface>& Sink) {
          image = link_.Download(Sink);
          return image != nullptr;
        },
        true);
  });
  if (!ok || !image) {
    return false;
  }
  try {
    session_.Adopt(std::move(image));
  } catch (const std::exception& e) {
    ShowError(parent_, QString::fromStdString(e.what()));
    return false;
  }
  return true;
}

} // namespace tarnwick::viewer

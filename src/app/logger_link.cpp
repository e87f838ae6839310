#include "app/logger_link.hpp"

#include "device/com_port.hpp"
#include "device/download.hpp"
#include "logger/slot_blocks.hpp"
#include "platform/serial_ports.hpp"
#include "sim/sim_device_source.hpp"
#include "support/errors.hpp"
#include "support/os_clock.hpp"

#include <cmath>
#include <fmt/format.h>

namespace tarnwick::app {

namespace {

std::string Hex4(uint16_t Value) {
  return fmt::format("{:04X}", Value);
}

// A sink that passes everything on and adds the flag to every abort answer.
class CancelFlagProgress : public IProgressInterface {
 public:
  CancelFlagProgress(std::shared_ptr<IProgressInterface> Inner, const std::atomic<bool>* Cancel)
      : inner_(std::move(Inner)), cancel_(Cancel) {}
  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override {
    Abort = false;
    if (inner_) {
      inner_->OnProgress(Position, Max, Abort);
    }
    Abort = Abort || cancel_->load();
  }
  void SetMessage1(const std::string& Msg) override {
    if (inner_) {
      inner_->SetMessage1(Msg);
    }
  }
  void SetMessage2(const std::string& Msg) override {
    if (inner_) {
      inner_->SetMessage2(Msg);
    }
  }

 private:
  std::shared_ptr<IProgressInterface> inner_;
  const std::atomic<bool>* cancel_;
};

} // namespace

std::shared_ptr<IProgressInterface> WithCancelFlag(std::shared_ptr<IProgressInterface> Progress,
                                                   const std::atomic<bool>* Cancel) {
  if (Cancel == nullptr) {
    return Progress;
  }
  return std::make_shared<CancelFlagProgress>(std::move(Progress), Cancel);
}

std::string DownloadProgressText(int Position, int Max, double Seconds) {
  const int percent = Max > 0 ? static_cast<int>(int64_t{Position} * 100 / Max) : 100;
  std::string text = fmt::format("{}/{} blocks {:3}%", Position, Max, percent);
  if (Position > 0 && Seconds > 0) {
    const double bytesPerSecond = Position * static_cast<double>(kBlockSize) / Seconds;
    const int64_t left = std::llround((Max - Position) * Seconds / Position);
    text +=
        fmt::format("  {:.1f} KiB/s  {}:{:02} left", bytesPerSecond / 1024, left / 60, left % 60);
  }
  return text;
}

LoggerLink::LoggerLink(const Settings& Settings, const std::string& LogAppID,
                       std::unique_ptr<TIgotUDevice> Device)
    : log_(std::make_unique<TDebugLog>(LogAppID)), device_(std::move(Device)),
      protocol_(std::make_unique<TIGotUProtocol>()),
      control_(std::make_unique<TIGotUControl>(*protocol_)) {
  if (!device_) {
    device_ = CreateIgotUDevice({std::make_shared<sim::SimDeviceSource>()});
  }
  ApplySettings(Settings, *protocol_, *log_);
}

LoggerLink::~LoggerLink() {
  control_.reset();
  protocol_.reset();
  port_.reset();
  device_.reset();
  log_.reset();
}

void LoggerLink::UsePort(std::unique_ptr<TIgotUPort> Port) {
  protocol_->SetPort(nullptr);
  port_ = std::move(Port);
  if (port_) {
    port_->SetDebugLog(log_.get());
    protocol_->SetPort(port_.get());
  }
}

bool LoggerLink::CheckPort() {
  if (port_ && !device_->PortExist(*port_)) {
    UsePort(nullptr);
    return true;
  }
  return false;
}

std::unique_ptr<TIGotUDeviceInfoList> LoggerLink::EnumDevices() {
  auto list = device_->EnumDevices();
  return list ? std::move(list) : std::make_unique<TIGotUDeviceInfoList>();
}

std::unique_ptr<TIgotUPort> LoggerLink::ChoosePort(const PortChoice& Choice) {
  if (!Choice.PortName.empty()) {
    auto port = CreateComPort(Choice.PortName);
    port->SetChunkSize(Choice.ChunkSize);
    return port;
  }
  const auto list = EnumDevices();
  const int count = list->Count();
  if (count == 0) {
    throw Error("no logger found: plug one in, start a simulated one with \"tarnwick "
                "simulate\", or name the port with --port");
  }
  int index = 0;
  if (Choice.Device > 0) {
    if (Choice.Device > count) {
      throw Error(fmt::format("there is no logger {}: {} found (see tarnwick devices)",
                              Choice.Device, count));
    }
    index = Choice.Device - 1;
  } else if (count > 1) {
    throw Error(
        fmt::format("{} loggers found: choose one with --device N (see tarnwick devices)", count));
  }
  const auto& info = (*list)[index];
  const auto* serial = dynamic_cast<const SerialDeviceInfo*>(&info);
  if (serial == nullptr || serial->ComPort.empty()) {
    throw Error("the logger has no serial port: is its driver loaded?");
  }
  if (info.ChunkSize == 0) {
    throw Error(fmt::format("the logger's product ID {} is not one this program can talk to",
                            Hex4(info.InfoRec.ProductID)));
  }
  return device_->CreatePort(info);
}

std::unique_ptr<TIGotUWholeData>
LoggerLink::Download(const std::shared_ptr<IProgressInterface>& Progress,
                     const std::atomic<bool>* Cancel) {
  const auto job = TIGotUDownload::Create(*control_);
  try {
    if (!job->Execute(WithCancelFlag(Progress, Cancel))) {
      return nullptr;
    }
  } catch (const ComPortError& e) {
    // The port's error says what failed and why; which port, only the link knows.
    throw Error((port_ ? port_->Description() + ": " : std::string()) + e.what());
  }
  if (Cancel != nullptr && Cancel->load()) {
    // A cancel after the last block still means "keep nothing".
    return nullptr;
  }
  auto image = job->TakeWholeData();
  if (image) {
    image->SetDownloadTime(clock_ ? clock_() : SystemTimeUtc());
  }
  return image;
}

DateTime SystemTimeUtc() {
  const WallClockTime now = WallClockNow();
  // Days since 1899-12-30, whole milliseconds.
  const int64_t ms = now.Seconds * 1000 + now.Nanoseconds / 1'000'000;
  return 25'569.0 + static_cast<double>(ms) / 86'400'000.0;
}

bool LoggerLink::ExportGpx(const std::vector<const TIGotUTrack*>& Tracks,
                           const std::string& FileName, const GPXPreferences& Preferences,
                           const std::shared_ptr<IProgressInterface>& Progress,
                           const std::atomic<bool>* Cancel, PositionsLeftOut* LeftOut) {
  TIGotUDataToGPX conversion(Tracks, FileName, Preferences);
  const bool done = conversion.Execute(WithCancelFlag(Progress, Cancel));
  if (LeftOut != nullptr) {
    *LeftOut = conversion.LeftOut();
  }
  return done;
}

} // namespace tarnwick::app

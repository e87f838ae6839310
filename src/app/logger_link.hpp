#pragma once

#include "app/app_settings.hpp"
#include "device/control.hpp"
#include "device/device.hpp"
#include "device/port.hpp"
#include "device/protocol.hpp"
#include "gpx/igotu_to_gpx.hpp"
#include "logger/whole_data.hpp"
#include "support/debug_log.hpp"
#include "support/progress.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::app {

/// How a command names the logger to use: a port by path (with its chunk size), a number in
/// the list of loggers found, or nothing, which takes the only logger present.
struct PortChoice {
  std::string PortName;
  int ChunkSize = 8;
  int Device = 0; ///< 1-based; 0 for "the only one"
};

/// The link to one logger that a program keeps for a whole run: the debug log, the protocol
/// engine with the settings applied, the device control on it, the enumerator of loggers and
/// at most one port. Runs downloads and GPX exports under a progress sink. One thread at a
/// time: while a job runs on another thread, the owner must not touch the port, engine or
/// control.
class LoggerLink {
 public:
  /// A link with a log named LogAppID and Settings applied; Device lists the loggers (null:
  /// the system's and the simulated loggers that announce themselves). No port.
  LoggerLink(const Settings& Settings, const std::string& LogAppID,
             std::unique_ptr<TIgotUDevice> Device = nullptr);
  /// Frees the control, the engine and the port, the log last.
  ~LoggerLink();
  LoggerLink(const LoggerLink&) = delete;
  LoggerLink& operator=(const LoggerLink&) = delete;

  TDebugLog& DebugLog() { return *log_; }
  TIGotUProtocol& Protocol() { return *protocol_; }
  TIGotUControl& Control() { return *control_; }
  TIgotUDevice& Device() { return *device_; }
  /// The held port, or null.
  TIgotUPort* Port() const { return port_.get(); }

  /// Holds Port (dropping the one held before), gives it the log and binds it to the engine.
  /// Null drops the port.
  void UsePort(std::unique_ptr<TIgotUPort> Port);
  /// Drops the held port when its logger is no longer present; true when it was dropped.
  bool CheckPort();
  /// The loggers present now; an enumeration that cannot start gives an empty list.
  std::unique_ptr<TIGotUDeviceInfoList> EnumDevices();

  /// The port that Choice names, for the command line: by path, by number, or the only
  /// logger present. Raises Error with a message for the user when there is none, several
  /// without a number, or the logger cannot be talked to.
  std::unique_ptr<TIgotUPort> ChoosePort(const PortChoice& Choice);

  /// The clock whose time a finished download records (UTC); the system's by default.
  void SetClock(std::function<DateTime()> Clock) { clock_ = std::move(Clock); }

  /// Downloads the logger's whole memory through the held port. The image records when it
  /// was downloaded (the clock's time at the end). Progress (may be null) gets
  /// the stage and status texts and the blocks; Cancel, when given, is read at each progress
  /// report like the sink's own abort. Null when cancelled. Errors pass to the caller; a
  /// port error is raised again naming the port.
  std::unique_ptr<TIGotUWholeData> Download(const std::shared_ptr<IProgressInterface>& Progress,
                                            const std::atomic<bool>* Cancel = nullptr);

  /// Writes Tracks into one GPX file FileName. True when written; false when cancelled, in
  /// which case no file is written. LeftOut (may be null) receives the points a strict file
  /// left out. Errors pass to the caller.
  static bool ExportGpx(const std::vector<const TIGotUTrack*>& Tracks, const std::string& FileName,
                        const GPXPreferences& Preferences,
                        const std::shared_ptr<IProgressInterface>& Progress,
                        const std::atomic<bool>* Cancel = nullptr,
                        PositionsLeftOut* LeftOut = nullptr);

 private:
  std::unique_ptr<TDebugLog> log_;
  std::unique_ptr<TIgotUDevice> device_;
  std::unique_ptr<TIgotUPort> port_;
  std::unique_ptr<TIGotUProtocol> protocol_;
  std::unique_ptr<TIGotUControl> control_;
  std::function<DateTime()> clock_;
};

/// The system clock's time as a date-time value (UTC).
DateTime SystemTimeUtc();

/// Wraps a progress sink so that a cancel flag set from anywhere aborts at the next report.
std::shared_ptr<IProgressInterface> WithCancelFlag(std::shared_ptr<IProgressInterface> Progress,
                                                   const std::atomic<bool>* Cancel);

/// "12/512 blocks  2%  120.3 KiB/s  0:42 left" for Position of Max blocks after Seconds: the
/// transfer rate and the time left, once there is a rate to tell.
std::string DownloadProgressText(int Position, int Max, double Seconds);

} // namespace tarnwick::app

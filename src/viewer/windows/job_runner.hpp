#pragma once

#include <QObject>

namespace tarnwick::viewer {

/// The window's one job at a time: a download, an export or the protocol debug window. While
/// a job runs, device changes and a close wait; they are asked for again when it has ended.
class JobRunner : public QObject {
  Q_OBJECT

 public:
  explicit JobRunner(QObject* Parent = nullptr) : QObject(Parent) {}

  bool Running() const { return running_; }

  /// Runs Work as the job and returns what it returns. Not to be called while a job runs.
  template <class Job>
  auto Run(Job&& Work) {
    Begin();
    struct Done {
      JobRunner* Runner;
      ~Done() { Runner->End(); }
    } done{this};
    return Work();
  }

  /// A device change arrived: true when it must wait for the running job (it is then told
  /// again by DeviceChangeDue).
  bool DeferDeviceChange();
  /// A close was asked for: true when it must wait; the running job's progress dialog is
  /// cancelled and CloseDue follows the job's end.
  bool DeferClose();

 signals:
  void RunningChanged(bool Running);
  /// A device change that waited for the job.
  void DeviceChangeDue();
  /// A close that waited for the job.
  void CloseDue();

 private:
  void Begin();
  void End();

  bool running_ = false;
  bool deviceChangePending_ = false;
  bool closePending_ = false;
};

} // namespace tarnwick::viewer

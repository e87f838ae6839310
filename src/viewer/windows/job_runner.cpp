#include "viewer/windows/job_runner.hpp"

#include "viewer/windows/progress_dialog.hpp"

#include <QTimer>

namespace tarnwick::viewer {

void JobRunner::Begin() {
  running_ = true;
  emit RunningChanged(true);
}

void JobRunner::End() {
  running_ = false;
  emit RunningChanged(false);
  // Queued, so that whoever ran the job has finished with its result first.
  if (closePending_) {
    closePending_ = false;
    deviceChangePending_ = false;
    QTimer::singleShot(0, this, &JobRunner::CloseDue);
    return;
  }
  if (deviceChangePending_) {
    deviceChangePending_ = false;
    QTimer::singleShot(0, this, &JobRunner::DeviceChangeDue);
  }
}

bool JobRunner::DeferDeviceChange() {
  if (!running_) {
    return false;
  }
  deviceChangePending_ = true;
  return true;
}

bool JobRunner::DeferClose() {
  if (!running_) {
    return false;
  }
  closePending_ = true;
  if (TProgressDialog* dialog = TProgressDialog::Current()) {
    dialog->Cancel();
  }
  return true;
}

} // namespace tarnwick::viewer

#pragma once

#include "support/progress.hpp"

#include <QDialog>
#include <QElapsedTimer>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tarnwick::viewer {

/// Runs one long operation (a download, a GPX export) on a worker thread while it shows two
/// text lines, a bar and "Cancel". The sink it hands the operation is thread-safe: texts and
/// bar positions are queued to the GUI thread, and Cancel sets a flag that the operation sees
/// at its next OnProgress. The window stays responsive and repaints meanwhile.
class TProgressDialog : public QDialog {
 public:
  /// Runs ProgressProcess under a new modal dialog over Parent; true when it finished with
  /// true. An error it raises closes the dialog and is shown once in the error display;
  /// the result is then false. With ShowRate, a third line under the bar tells the blocks,
  /// bytes per second and the time left, as the command line does.
  static bool Execute(QWidget* Parent, std::shared_ptr<IProgressProcess> ProgressProcess,
                      bool ShowRate = false);
  /// As Execute, for a function.
  static bool Execute(QWidget* Parent,
                      std::function<bool(const std::shared_ptr<IProgressInterface>&)> Work,
                      bool ShowRate = false);

  /// The dialog shown now, or null.
  static TProgressDialog* Current();

  TProgressDialog(std::shared_ptr<IProgressProcess> ProgressProcess, bool ShowRate,
                  QWidget* Parent);
  ~TProgressDialog() override;

  /// What "Cancel" does: asks the operation to stop at its next OnProgress.
  void Cancel() { FCancel = true; }
  bool Cancelled() const { return FCancel.load(); }

 protected:
  void showEvent(QShowEvent* Event) override;
  void reject() override; // Esc cancels the operation instead of closing the dialog

 private:
  class Sink;
  void RunProcess();
  void Finished(bool Result);
  void Progress(int Position, int Max);

  std::atomic<bool> FCancel{false};
  std::shared_ptr<IProgressProcess> FProgressProcess;
  std::shared_ptr<Sink> sink_;
  std::thread worker_;
  std::exception_ptr error_;
  bool started_ = false;
  bool showRate_;
  QElapsedTimer clock_;
  QLabel* lblMessage1_;
  QLabel* lblMessage2_;
  QLabel* lblRate_;
  QProgressBar* progressBar1_;
  QPushButton* cmdCancel_;
};

} // namespace tarnwick::viewer

#include "viewer/windows/progress_dialog.hpp"

#include "app/logger_link.hpp"
#include "viewer/windows/error_display.hpp"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <mutex>

namespace tarnwick::viewer {

namespace {

TProgressDialog* current = nullptr;

// A function as a process.
class FunctionProcess : public IProgressProcess {
 public:
  explicit FunctionProcess(std::function<bool(const std::shared_ptr<IProgressInterface>&)> Work)
      : work_(std::move(Work)) {}
  bool Execute(const std::shared_ptr<IProgressInterface>& ProgressInterface) override {
    return work_(ProgressInterface);
  }

 private:
  std::function<bool(const std::shared_ptr<IProgressInterface>&)> work_;
};

} // namespace

// The operation's side: called on the worker thread, it queues what it shows to the dialog.
class TProgressDialog::Sink : public IProgressInterface {
 public:
  explicit Sink(TProgressDialog* Dialog) : dialog_(Dialog) {}

  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override {
    QMetaObject::invokeMethod(
        dialog_, [d = dialog_, Position, Max] { d->Progress(Position, Max); },
        Qt::QueuedConnection);
    Abort = dialog_->FCancel.load();
  }
  void SetMessage1(const std::string& Msg) override {
    QMetaObject::invokeMethod(
        dialog_, [l = dialog_->lblMessage1_, t = QString::fromStdString(Msg)] { l->setText(t); },
        Qt::QueuedConnection);
  }
  void SetMessage2(const std::string& Msg) override {
    QMetaObject::invokeMethod(
        dialog_, [l = dialog_->lblMessage2_, t = QString::fromStdString(Msg)] { l->setText(t); },
        Qt::QueuedConnection);
  }

 private:
  TProgressDialog* dialog_;
};

TProgressDialog::TProgressDialog(std::shared_ptr<IProgressProcess> ProgressProcess, bool ShowRate,
                                 QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FProgressProcess(std::move(ProgressProcess)), showRate_(ShowRate) {
  setObjectName("TProgressDialog");
  setWindowTitle("ProgressDialog");
  auto* layout = new QVBoxLayout(this);
  lblMessage1_ = new QLabel(this);
  lblMessage1_->setObjectName("lblMessage1");
  lblMessage2_ = new QLabel(this);
  lblMessage2_->setObjectName("lblMessage2");
  lblMessage2_->setIndent(fontMetrics().averageCharWidth() * 3);
  progressBar1_ = new QProgressBar(this);
  progressBar1_->setObjectName("ProgressBar1");
  progressBar1_->setMinimum(0);
  progressBar1_->setValue(0);
  lblRate_ = new QLabel(this);
  lblRate_->setObjectName("lblRate");
  lblRate_->setVisible(ShowRate);
  cmdCancel_ = new QPushButton("Cancel", this);
  cmdCancel_->setObjectName("cmdCancel");
  cmdCancel_->setAutoDefault(false);
  connect(cmdCancel_, &QPushButton::clicked, this, [this] { Cancel(); });
  for (QLabel* label : {lblMessage1_, lblMessage2_, lblRate_}) {
    label->setMinimumWidth(fontMetrics().averageCharWidth() * 44);
  }
  layout->addWidget(lblMessage1_);
  layout->addWidget(lblMessage2_);
  layout->addWidget(progressBar1_);
  layout->addWidget(lblRate_);
  layout->addWidget(cmdCancel_, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  sink_ = std::make_shared<Sink>(this);
}

TProgressDialog::~TProgressDialog() {
  if (worker_.joinable()) {
    worker_.join();
  }
}

TProgressDialog* TProgressDialog::Current() {
  return current;
}

void TProgressDialog::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!started_ && FProgressProcess) {
    started_ = true;
    // The operation begins once the dialog is on screen.
    QTimer::singleShot(0, this, [this] { RunProcess(); });
  }
}

void TProgressDialog::reject() {
  Cancel();
}

void TProgressDialog::RunProcess() {
  clock_.start();
  worker_ = std::thread([this] {
    bool result = false;
    try {
      result = FProgressProcess->Execute(sink_);
    } catch (...) {
      error_ = std::current_exception();
    }
    QMetaObject::invokeMethod(
        this, [this, result] { Finished(result); }, Qt::QueuedConnection);
  });
}

void TProgressDialog::Progress(int Position, int Max) {
  if (Position == 0) {
    clock_.restart();
  }
  progressBar1_->setMaximum(Max);
  progressBar1_->setValue(Position);
  if (showRate_) {
    lblRate_->setText(QString::fromStdString(
        app::DownloadProgressText(Position, Max, static_cast<double>(clock_.elapsed()) / 1000)));
  }
}

void TProgressDialog::Finished(bool Result) {
  worker_.join();
  done(Result && !error_ ? QDialog::Accepted : QDialog::Rejected);
}

bool TProgressDialog::Execute(QWidget* Parent, std::shared_ptr<IProgressProcess> ProgressProcess,
                              bool ShowRate) {
  TProgressDialog dialog(std::move(ProgressProcess), ShowRate, Parent);
  TProgressDialog* outer = current;
  current = &dialog;
  const bool ok = dialog.exec() == QDialog::Accepted;
  current = outer;
  dialog.FProgressProcess.reset();
  if (dialog.error_) {
    try {
      std::rethrow_exception(dialog.error_);
    } catch (const std::exception& e) {
      ShowError(Parent, QString::fromStdString(e.what()));
    } catch (...) {
      ShowError(Parent, "Unknown error");
    }
    return false;
  }
  return ok;
}

bool TProgressDialog::Execute(QWidget* Parent,
                              std::function<bool(const std::shared_ptr<IProgressInterface>&)> Work,
                              bool ShowRate) {
  return Execute(Parent, std::make_shared<FunctionProcess>(std::move(Work)), ShowRate);
}

} // namespace tarnwick::viewer

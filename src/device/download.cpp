#include "device/download.hpp"

#include <exception>

namespace tarnwick {

std::shared_ptr<TIGotUDownload> TIGotUDownload::Create(TIGotUControl& Control) {
  return std::shared_ptr<TIGotUDownload>(new TIGotUDownload(Control));
}

bool TIGotUDownload::Execute(const std::shared_ptr<IProgressInterface>& ProgressInterface) {
  FIGotUControl.Open();
  FOldDebugMsgIntf = FIGotUControl.DebugMsgIntf();
  FIGotUControl.SetDebugMsgIntf(shared_from_this());
  // The control's own reference keeps the progress sink alive until it is detached below, even
  // if the caller lets go of its reference meanwhile.
  FIGotUControl.SetProgress(ProgressInterface);

  std::exception_ptr error;
  try {
    FWholeData = FIGotUControl.Download();
  } catch (...) {
    error = std::current_exception();
  }
  try {
    FIGotUControl.Close();
  } catch (...) {
    // The download's own error is the one to report.
    if (!error) {
      error = std::current_exception();
    }
  }
  FIGotUControl.SetProgress(nullptr);
  FIGotUControl.SetDebugMsgIntf(FOldDebugMsgIntf);
  if (error) {
    std::rethrow_exception(error);
  }
  return FWholeData != nullptr;
}

void TIGotUDownload::IGotUDebugMessage(const std::string& Msg) {
  if (const auto& progress = FIGotUControl.Progress()) {
    progress->SetMessage2(Msg);
  }
  if (FOldDebugMsgIntf) {
    FOldDebugMsgIntf->IGotUDebugMessage(Msg);
  }
}

} // namespace tarnwick

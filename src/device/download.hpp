#pragma once

#include "device/control.hpp"
#include "device/debug_msg_intf.hpp"
#include "logger/whole_data.hpp"
#include "support/progress.hpp"

#include <memory>

namespace tarnwick {

/// One download from the logger as a process under a progress sink: opens the port, shows
/// the control's status texts as the sink's second line (and still in the control's usual
/// sink), runs the download, then closes the port and restores the control.
class TIGotUDownload : public IProgressProcess,
                       public IIGotUDebugMsgIntf,
                       public std::enable_shared_from_this<TIGotUDownload> {
 public:
  /// A job over Control, which must outlive it. The job puts itself in as the control's sink,
  /// so it is always held by a shared_ptr.
  static std::shared_ptr<TIGotUDownload> Create(TIGotUControl& Control);

  /// Runs the download (see the class comment). True with an image in WholeData; false when
  /// cancelled. Errors pass to the caller after the port is closed and the control restored;
  /// an error while opening the port leaves before anything was changed.
  bool Execute(const std::shared_ptr<IProgressInterface>& ProgressInterface) override;
  /// Shows Msg as the progress sink's second line, then passes it to the saved sink.
  void IGotUDebugMessage(const std::string& Msg) override;

  /// The downloaded image, or null.
  const TIGotUWholeData* WholeData() const { return FWholeData.get(); }
  /// Hands the downloaded image to the caller, who owns it from now on.
  std::unique_ptr<TIGotUWholeData> TakeWholeData() { return std::move(FWholeData); }

 private:
  explicit TIGotUDownload(TIGotUControl& Control) : FIGotUControl(Control) {}

  TIGotUControl& FIGotUControl;
  std::unique_ptr<TIGotUWholeData> FWholeData;
  std::shared_ptr<IIGotUDebugMsgIntf> FOldDebugMsgIntf;
};

} // namespace tarnwick

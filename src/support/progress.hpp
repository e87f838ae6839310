#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

/// The sink through which long work reports progress and learns of a cancel request.
class IProgressInterface {
 public:
  virtual ~IProgressInterface() = default;
  /// Shows Position of Max; always assigns Abort (true once the user has cancelled).
  virtual void OnProgress(int32_t Position, int32_t Max, bool& Abort) = 0;
  /// Shows Msg as the stage text.
  virtual void SetMessage1(const std::string& Msg) = 0;
  /// Shows Msg as the status text.
  virtual void SetMessage2(const std::string& Msg) = 0;
};

/// Long work run synchronously under a progress sink.
class IProgressProcess {
 public:
  virtual ~IProgressProcess() = default;
  /// True when the work finished and its result is available; false when cancelled or failed
  /// without an error. Errors pass to the caller. The sink must not be kept afterwards.
  virtual bool Execute(const std::shared_ptr<IProgressInterface>& ProgressInterface) = 0;
};

} // namespace tarnwick

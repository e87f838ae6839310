#include "device/port.hpp"

#include "support/debug_log.hpp"

#include <exception>

namespace tarnwick {

namespace {

// Runs Op after tracing Request; a failure is traced with Failed and passed on unchanged.
template <class Operation>
int Traced(TDebugLog* log, const char* request, const char* failed, int count, Operation op) {
  if (log != nullptr) {
    log->AddLogF(0, "{} length={}", request, count);
  }
  try {
    return op();
  } catch (const std::exception& e) {
    if (log != nullptr) {
      log->AddLogF(0, "{} ({})", failed, e.what());
    }
    throw;
  }
}

} // namespace

int TIgotUPort::Read(uint8_t* Buffer, int Count) {
  return Traced(FDebugLog, "Read Data Request", "Read Data Failed", Count,
                [&] { return DoRead(Buffer, Count); });
}

// Traced as a read: the log shows the same requests whichever drain the engine uses.
int TIgotUPort::ReadPending(uint8_t* Buffer, int Count) {
  return Traced(FDebugLog, "Read Data Request", "Read Data Failed", Count,
                [&] { return DoReadPending(Buffer, Count); });
}

int TIgotUPort::Write(const uint8_t* Buffer, int Count) {
  return Traced(FDebugLog, "Write Data Request", "Write Data Failed", Count,
                [&] { return DoWrite(Buffer, Count); });
}

} // namespace tarnwick

#include "cli/cancel_signals.hpp"

#include "support/file_util.hpp"
#include "support/os_console.hpp"
#include "support/os_process.hpp"

#include <atomic>

namespace tarnwick::cli {

namespace {

std::atomic<bool> gCancellable{false};
// The event that asked for the cancel, plus one; 0 while none did.
std::atomic<int> gCancelEvent{0};
std::atomic<const char*> gMessage{nullptr};

// A signal handler on POSIX, the console-control thread on Windows: only calls that are safe
// there.
void OnEndEvent(EndEvent Event) {
  if (gCancellable.load() && gCancelEvent.load() == 0) {
    gCancelEvent.store(static_cast<int>(Event) + 1);
    if (const char* text = gMessage.load()) {
      WriteStandardErrorUnsafeContext(text);
    }
    return;
  }
  RemoveTemporaryFiles();
  EndByEvent(Event);
}

} // namespace

void InstallFileSignalHandlers() {
  InstallEndHandler(&OnEndEvent);
}

CancelSignals::CancelSignals(const char* Message) {
  InstallFileSignalHandlers();
  gCancelEvent.store(0);
  gMessage.store(Message);
  gCancellable.store(true);
}

CancelSignals::~CancelSignals() {
  gCancellable.store(false);
  gMessage.store(nullptr);
}

bool CancelSignals::Requested() {
  return gCancelEvent.load() != 0;
}

} // namespace tarnwick::cli

#include "cli/cancel_signals.hpp"

#include "support/file_util.hpp"

#include <atomic>
#include <cstring>
#include <unistd.h>

namespace tarnwick::cli {

namespace {

std::atomic<bool> gCancellable{false};
std::atomic<int> gCancelSignal{0};
std::atomic<const char*> gMessage{nullptr};

extern "C" void OnEndSignal(int Signal) {
  if (gCancellable.load() && gCancelSignal.load() == 0) {
    gCancelSignal.store(Signal);
    if (const char* text = gMessage.load()) {
      [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, std::strlen(text));
    }
    return;
  }
  RemoveTemporaryFiles();
  // Ends the process with this signal once the handler returns, as the shell expects.
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

} // namespace

void InstallFileSignalHandlers() {
  static const bool installed = [] {
    struct sigaction sa {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    // One handler at a time: a second signal waits until the first has done its work.
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
      sigaddset(&sa.sa_mask, s);
    }
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
      // A signal ignored on purpose (nohup, a background job of a script) stays ignored.
      struct sigaction old {};
      if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
        ::sigaction(s, &sa, nullptr);
      }
    }
    std::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)installed;
}

CancelSignals::CancelSignals(const char* Message) {
  InstallFileSignalHandlers();
  gCancelSignal.store(0);
  gMessage.store(Message);
  gCancellable.store(true);
}

CancelSignals::~CancelSignals() {
  gCancellable.store(false);
  gMessage.store(nullptr);
}

bool CancelSignals::Requested() {
  return gCancelSignal.load() != 0;
}

} // namespace tarnwick::cli

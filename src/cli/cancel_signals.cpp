#include "cli/cancel_signals.hpp"

#include <atomic>
#include <cstring>
#include <unistd.h>

namespace tarnwick::cli {

namespace {

std::atomic<int> gCancelSignal{0};
std::atomic<const char*> gMessage{nullptr};

extern "C" void OnCancelSignal(int Signal) {
  if (gCancelSignal.load() != 0) {
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
    return;
  }
  gCancelSignal.store(Signal);
  if (const char* text = gMessage.load()) {
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, std::strlen(text));
  }
}

} // namespace

TCancelSignals::TCancelSignals(const char* Message) {
  gCancelSignal.store(0);
  gMessage.store(Message);
  struct sigaction sa {};
  sa.sa_handler = OnCancelSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, &FOldInt);
  ::sigaction(SIGTERM, &sa, &FOldTerm);
}

TCancelSignals::~TCancelSignals() {
  ::sigaction(SIGINT, &FOldInt, nullptr);
  ::sigaction(SIGTERM, &FOldTerm, nullptr);
  gMessage.store(nullptr);
}

bool TCancelSignals::Requested() {
  return gCancelSignal.load() != 0;
}

} // namespace tarnwick::cli

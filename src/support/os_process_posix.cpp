#include "support/os_process.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {

ProcessId CurrentProcessId() {
  return ::getpid();
}

bool IsProcessAlive(ProcessId Id) {
  return ::kill(static_cast<pid_t>(Id), 0) == 0 || errno != ESRCH;
}

std::string ExecutablePath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      return {};
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      return std::string(buffer.data(), static_cast<size_t>(n));
    }
    buffer.resize(buffer.size() * 2); // the name may have been cut short
  }
}

namespace {

std::atomic<EndHandler> gEndHandler{nullptr};

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};

int SignalOf(EndEvent event) {
  switch (event) {
  case EndEvent::Interrupt:
    return SIGINT;
  case EndEvent::Terminate:
    return SIGTERM;
  case EndEvent::HangUp:
    break;
  }
  return SIGHUP;
}

void OnEndSignal(int Signal) {
  const int saved = errno;
  if (const EndHandler handler = gEndHandler.load()) {
    handler(Signal == SIGINT    ? EndEvent::Interrupt
            : Signal == SIGTERM ? EndEvent::Terminate
                                : EndEvent::HangUp);
  }
  errno = saved;
}

} // namespace

void InstallEndHandler(EndHandler Handler) {
  gEndHandler.store(Handler);
  static const bool installed = [] {
    struct sigaction sa {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    // One handler at a time: a second signal waits until the first has done its work.
    for (const int s : kEndSignals) {
      sigaddset(&sa.sa_mask, s);
    }
    for (const int s : kEndSignals) {
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

void EndByEvent(EndEvent Event) {
  const int s = SignalOf(Event);
  std::signal(s, SIG_DFL);
  // Inside the handler the signal is held back; let it through so that it ends us here.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, s);
  ::raise(s);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::_exit(128 + s); // not reached unless the signal was blocked elsewhere
}

WakeSignal::WakeSignal() {
  // Non-blocking both ways: a full pipe already says "notified", and Clear() stops when empty.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    watched_ = FileHandle(fds[0]);
    writer_ = FileHandle(fds[1]);
  }
}

void WakeSignal::Notify() const noexcept {
  const int saved = errno; // a signal handler must leave errno as it found it
  const char byte = 1;
  (void)!::write(writer_.Get(), &byte, 1);
  errno = saved;
}

void WakeSignal::Clear() const noexcept {
  char bytes[64];
  while (::read(watched_.Get(), bytes, sizeof bytes) > 0) {
  }
}

} // namespace tarnwick

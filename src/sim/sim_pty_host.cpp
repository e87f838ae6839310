#include "sim/sim_pty_host.hpp"

#include "support/errors.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace tarnwick::sim {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw Error("Cannot create the simulated logger's terminal: " + what + ": " +
              std::strerror(errno));
}

void MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
  }
}

} // namespace

TSimPtyHost::TSimPtyHost(const TIGotUWholeData& Image, TSimLoggerOptions Options)
    : FLogger(Image, std::move(Options)) {
  FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (FMaster < 0) {
    Fail("posix_openpt");
  }
  std::array<char, 128> name{};
  if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0 ||
      ::ptsname_r(FMaster, name.data(), name.size()) != 0) {
    const int err = errno;
    ::close(FMaster);
    errno = err;
    Fail("ptsname");
  }
  FSlavePath = name.data();
  FSlave = ::open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (FSlave < 0) {
    const int err = errno;
    ::close(FMaster);
    errno = err;
    Fail(FSlavePath);
  }
  MakeRaw(FSlave);
  ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int err = errno;
    CloseTerminal();
    errno = err;
    Fail("pipe");
  }
  FWakeRead = pipeFds[0];
  FWakeWrite = pipeFds[1];
}

TSimPtyHost::~TSimPtyHost() {
  Stop();
  if (FWakeRead >= 0) {
    ::close(FWakeRead);
    ::close(FWakeWrite);
  }
}

void TSimPtyHost::Start() {
  if (!FThread.joinable() && FMaster >= 0) {
    FThread = std::thread([this] { Serve(); });
  }
}

void TSimPtyHost::Stop() {
  if (FThread.joinable()) {
    const char c = 'x';
    [[maybe_unused]] const ssize_t n = ::write(FWakeWrite, &c, 1);
    FThread.join();
  }
  CloseTerminal();
}

void TSimPtyHost::CloseTerminal() {
  if (FMaster >= 0) {
    ::close(FMaster);
    FMaster = -1;
  }
  if (FSlave >= 0) {
    ::close(FSlave);
    FSlave = -1;
  }
}

TSimStats TSimPtyHost::Stats() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FLogger.Stats();
}

void TSimPtyHost::Serve() {
  using TClock = std::chrono::steady_clock;
  const auto epoch = TClock::now();
  const auto now = [&] { return std::chrono::duration_cast<TSimTime>(TClock::now() - epoch); };
  std::vector<uint8_t> out;
  std::array<uint8_t, 4096> in{};
  for (;;) {
    bool wantWrite = false;
    std::optional<TSimTime> next;
    TSimTime t = now();
    {
      std::lock_guard<std::mutex> guard(FLock);
      FLogger.Advance(t);
      for (;;) {
        if (out.empty()) {
          out.resize(4096);
          out.resize(FLogger.Take(out.data(), out.size(), t));
          if (out.empty()) {
            break;
          }
        }
        const ssize_t n = ::write(FMaster, out.data(), out.size());
        if (n > 0) {
          out.erase(out.begin(), out.begin() + n);
          continue;
        }
        if (n < 0 && errno == EINTR) {
          continue;
        }
        // The terminal's buffer is full: the computer is not reading right now.
        wantWrite = true;
        break;
      }
      if (FLogger.Unplugged() && out.empty()) {
        FUnplugged = true;
        CloseTerminal();
        return;
      }
      next = FLogger.NextEvent(t);
    }

    std::array<pollfd, 2> fds{
        pollfd{FMaster, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
        pollfd{FWakeRead, POLLIN, 0}};
    timespec ts{};
    timespec* timeout = nullptr;
    if (next) {
      const auto left = std::max(*next - now(), TSimTime{0});
      ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000);
      ts.tv_nsec = static_cast<long>(left.count() % 1'000'000 * 1000);
      timeout = &ts;
    }
    if (::ppoll(fds.data(), fds.size(), timeout, nullptr) < 0 && errno != EINTR) {
      return;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      return;
    }
    if ((fds[0].revents & POLLIN) != 0) {
      const ssize_t n = ::read(FMaster, in.data(), in.size());
      if (n > 0) {
        std::lock_guard<std::mutex> guard(FLock);
        FLogger.Receive(in.data(), static_cast<size_t>(n), now());
      }
    } else if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
      // Cannot happen while the host holds the slave side; avoid spinning if it does.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

} // namespace tarnwick::sim

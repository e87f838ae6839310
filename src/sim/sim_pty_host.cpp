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

SimPtyHost::SimPtyHost(const TIGotUWholeData& Image, SimLoggerOptions Options)
    : logger_(Image, std::move(Options)) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    Fail("posix_openpt");
  }
  std::array<char, 128> name{};
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name.data(), name.size()) != 0) {
    const int err = errno;
    ::close(master_);
    errno = err;
    Fail("ptsname");
  }
  slavePath_ = name.data();
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    const int err = errno;
    ::close(master_);
    errno = err;
    Fail(slavePath_);
  }
  MakeRaw(slave_);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int err = errno;
    CloseTerminal();
    errno = err;
    Fail("pipe");
  }
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];
}

SimPtyHost::~SimPtyHost() {
  Stop();
  if (wakeRead_ >= 0) {
    ::close(wakeRead_);
    ::close(wakeWrite_);
  }
}

void SimPtyHost::Start() {
  if (!thread_.joinable() && master_ >= 0) {
    thread_ = std::thread([this] { Serve(); });
  }
}

void SimPtyHost::Stop() {
  if (thread_.joinable()) {
    const char c = 'x';
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &c, 1);
    thread_.join();
  }
  CloseTerminal();
}

void SimPtyHost::CloseTerminal() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
  if (slave_ >= 0) {
    ::close(slave_);
    slave_ = -1;
  }
}

SimStats SimPtyHost::Stats() const {
  std::lock_guard<std::mutex> guard(lock_);
  return logger_.Stats();
}

void SimPtyHost::Serve() {
  using Clock = std::chrono::steady_clock;
  const auto epoch = Clock::now();
  const auto now = [&] { return std::chrono::duration_cast<SimTime>(Clock::now() - epoch); };
  std::vector<uint8_t> out;
  std::array<uint8_t, 4096> in{};
  for (;;) {
    bool wantWrite = false;
    std::optional<SimTime> next;
    SimTime t = now();
    {
      std::lock_guard<std::mutex> guard(lock_);
      logger_.Advance(t);
      for (;;) {
        if (out.empty()) {
          out.resize(4096);
          out.resize(logger_.Take(out.data(), out.size(), t));
          if (out.empty()) {
            break;
          }
        }
        const ssize_t n = ::write(master_, out.data(), out.size());
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
      if (logger_.Unplugged() && out.empty()) {
        unplugged_ = true;
        CloseTerminal();
        return;
      }
      next = logger_.NextEvent(t);
    }

    std::array<pollfd, 2> fds{
        pollfd{master_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
        pollfd{wakeRead_, POLLIN, 0}};
    timespec ts{};
    timespec* timeout = nullptr;
    if (next) {
      const auto left = std::max(*next - now(), SimTime{0});
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
      const ssize_t n = ::read(master_, in.data(), in.size());
      if (n > 0) {
        std::lock_guard<std::mutex> guard(lock_);
        logger_.Receive(in.data(), static_cast<size_t>(n), now());
      }
    } else if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
      // Cannot happen while the host holds the slave side; avoid spinning if it does.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

} // namespace tarnwick::sim

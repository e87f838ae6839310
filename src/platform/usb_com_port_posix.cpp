#include "platform/usb_com_port.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadIntervalTimeout = std::chrono::milliseconds(10);
constexpr auto kReadTotalTimeout = std::chrono::milliseconds(200);
constexpr auto kWriteTotalConstant = std::chrono::milliseconds(1000);
constexpr auto kWriteTotalPerByte = std::chrono::milliseconds(2);

constexpr const char* kReadError = "Unable to read from com port";
constexpr const char* kWriteError = "Unable to write to com port";

// Waits for Events on Fd until Deadline. The poll result's events, 0 on time-out.
short WaitFor(int fd, short events, Clock::time_point deadline, const char* what) {
  for (;;) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec ts{
        static_cast<time_t>(secs.count()),
        static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - secs).count())};
    pollfd pfd{fd, events, 0};
    const int r = ::ppoll(&pfd, 1, &ts, nullptr);
    if (r < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw ComPortError(what, errno);
    }
    if (r == 0) {
      return 0;
    }
    return pfd.revents;
  }
}

constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

} // namespace

TIGotUUsbComPort::TIGotUUsbComPort(std::string PortName) : portName_(std::move(PortName)) {}

TIGotUUsbComPort::~TIGotUUsbComPort() {
  Close();
}

bool TIGotUUsbComPort::Connected() const {
  return fd_ >= 0;
}

void TIGotUUsbComPort::RequireOpen(const char* What) const {
  if (fd_ < 0) {
    throw ComPortError(What, EBADF);
  }
}

void TIGotUUsbComPort::Open() {
  if (fd_ >= 0) {
    return;
  }
  constexpr const char* kOpenError = "Unable to open com port";
  const int fd = ::open(portName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    throw ComPortError(kOpenError, errno);
  }
  // flock() keeps out other users of the port, root included; TIOCEXCL keeps out other
  // programs that do not lock. The lock comes first so that a busy port is left untouched.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    throw ComPortError(kOpenError, err);
  }
  termios tio{};
  if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &tio) != 0) {
    const int err = errno;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    throw ComPortError(kOpenError, err);
  }
  // Raw bytes only: the baud rate and the other line settings stay as the driver has them.
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY);
  tio.c_cflag |= CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    const int err = errno;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    throw ComPortError(kOpenError, err);
  }
  fd_ = fd;
}

void TIGotUUsbComPort::Close() {
  if (fd_ < 0) {
    return;
  }
  // The exclusive flag belongs to the terminal, not to this descriptor: a terminal kept open
  // elsewhere (a pseudo-terminal's host) would stay locked for the next open.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

int TIGotUUsbComPort::Read(uint8_t* Buffer, int Count) {
  RequireOpen(kReadError);
  if (Count <= 0) {
    return 0;
  }
  const auto totalEnd = Clock::now() + kReadTotalTimeout;
  auto intervalEnd = Clock::time_point::max();
  int got = 0;
  for (;;) {
    const auto deadline = std::min(totalEnd, intervalEnd);
    if (Clock::now() >= deadline) {
      return got;
    }
    const short ev = WaitFor(fd_, POLLIN, deadline, kReadError);
    if (ev == 0) {
      return got;
    }
    if ((ev & POLLIN) == 0) {
      throw ComPortError(kReadError, EIO);
    }
    const ssize_t n = ::read(fd_, Buffer + got, static_cast<size_t>(Count - got));
    if (n > 0) {
      got += static_cast<int>(n);
      if (got == Count) {
        return got;
      }
      intervalEnd = Clock::now() + kReadIntervalTimeout;
    } else if (n == 0) {
      // A hung-up terminal reads as end of file.
      if ((ev & kGone) != 0) {
        throw ComPortError(kReadError, EIO);
      }
    } else if (errno != EAGAIN && errno != EINTR) {
      throw ComPortError(kReadError, errno);
    }
  }
}

int TIGotUUsbComPort::ReadPending(uint8_t* Buffer, int Count) {
  RequireOpen(kReadError);
  int got = 0;
  while (got < Count) {
    const short ev = WaitFor(fd_, POLLIN, Clock::now(), kReadError);
    if (ev == 0) {
      break;
    }
    if ((ev & POLLIN) == 0) {
      throw ComPortError(kReadError, EIO);
    }
    const ssize_t n = ::read(fd_, Buffer + got, static_cast<size_t>(Count - got));
    if (n > 0) {
      got += static_cast<int>(n);
    } else if (n == 0) {
      if ((ev & kGone) != 0) {
        throw ComPortError(kReadError, EIO);
      }
      break;
    } else if (errno != EAGAIN && errno != EINTR) {
      throw ComPortError(kReadError, errno);
    } else {
      break;
    }
  }
  return got;
}

int TIGotUUsbComPort::Write(const uint8_t* Buffer, int Count) {
  RequireOpen(kWriteError);
  const auto deadline = Clock::now() + kWriteTotalConstant + kWriteTotalPerByte * Count;
  int written = 0;
  while (written < Count) {
    const ssize_t n = ::write(fd_, Buffer + written, static_cast<size_t>(Count - written));
    if (n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      throw ComPortError(kWriteError, errno);
    }
    if (Clock::now() >= deadline) {
      break;
    }
    const short ev = WaitFor(fd_, POLLOUT, deadline, kWriteError);
    if (ev == 0) {
      break;
    }
    if ((ev & POLLOUT) == 0) {
      throw ComPortError(kWriteError, EIO);
    }
  }
  return written;
}

void TIGotUUsbComPort::Purge() {
  RequireOpen("Unable to purge com port");
  if (::tcflush(fd_, TCIOFLUSH) != 0) {
    throw ComPortError("Unable to purge com port", errno);
  }
}

} // namespace tarnwick

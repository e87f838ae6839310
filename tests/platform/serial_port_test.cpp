#include "platform/usb_com_port.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// A bare pseudo-terminal: the test plays the device on the master side. The slave is kept
// open by the test too, as the simulator does, so that the port can open and close freely.
struct Pty {
  Pty() {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(Master, 0);
    EXPECT_EQ(::grantpt(Master), 0);
    EXPECT_EQ(::unlockpt(Master), 0);
    Path = ::ptsname(Master);
    Holder = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(Holder, 0);
  }
  ~Pty() {
    if (Holder >= 0) {
      ::close(Holder);
    }
    if (Master >= 0) {
      ::close(Master);
    }
  }
  void Send(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(::write(Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads what the port wrote, waiting up to Tries x 10 ms for Count bytes.
  std::vector<uint8_t> Receive(size_t count, int tries = 500) const {
    std::vector<uint8_t> got;
    for (int i = 0; i < tries && got.size() < count; ++i) {
      std::array<uint8_t, 256> buf{};
      pollfd pfd{Master, POLLIN, 0};
      if (::poll(&pfd, 1, 10) > 0) {
        const ssize_t n = ::read(Master, buf.data(), std::min(buf.size(), count - got.size()));
        if (n > 0) {
          got.insert(got.end(), buf.begin(), buf.begin() + n);
        }
      }
    }
    return got;
  }

  int Master = -1;
  int Holder = -1;
  std::string Path;
};

TEST(SerialPortTest, MissingPortCannotBeOpened) {
  TIGotUUsbComPort port("/dev/no-such-tarnwick-port");
  try {
    port.Open();
    FAIL() << "opened";
  } catch (const ComPortError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_EQ(e.what(),
              "Unable to open com port (Error: 2): " + std::string(std::strerror(ENOENT)));
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_THROW(port.Read(nullptr, 1), ComPortError);
}

TEST(SerialPortTest, OpenIsExclusiveAndCloseReleasesIt) {
  Pty pty;
  TIGotUUsbComPort a(pty.Path);
  TIGotUUsbComPort b(pty.Path);
  a.Open();
  a.Open(); // open twice: nothing happens
  EXPECT_THROW(b.Open(), ComPortError);
  a.Close();
  a.Close();
  // The terminal is not left locked for others after a close.
  int exclusive = 1;
  ASSERT_EQ(::ioctl(pty.Holder, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  EXPECT_NO_THROW(b.Open());
}

TEST(SerialPortTest, ReadsReturnWhatArrivedRawAndUnchanged) {
  Pty pty;
  TIGotUUsbComPort port(pty.Path);
  port.Open();
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) {
    all[static_cast<size_t>(i)] = static_cast<uint8_t>(i); // CR, LF, ^C, ^S, NUL, 0xFF...
  }
  pty.Send(all);
  std::vector<uint8_t> got(300);
  int n = 0;
  for (int i = 0; i < 50 && n < 256; ++i) {
    n += port.Read(got.data() + n, 300 - n);
  }
  got.resize(static_cast<size_t>(n));
  EXPECT_EQ(got, all);
  // Nothing echoed back to the device.
  EXPECT_TRUE(pty.Receive(1, 10).empty());

  // Fewer bytes than asked: the read ends with what came.
  pty.Send({0x93, 0x00});
  std::array<uint8_t, 3> header{};
  n = 0;
  for (int i = 0; i < 50 && n == 0; ++i) {
    n = port.Read(header.data(), 3);
  }
  EXPECT_EQ(n, 2);
  // Nothing at all: the read ends by itself with 0.
  EXPECT_EQ(port.Read(header.data(), 3), 0);
  EXPECT_EQ(port.ReadPending(header.data(), 3), 0);
}

TEST(SerialPortTest, WritesArriveAndPurgeDropsPendingInput) {
  Pty pty;
  TIGotUUsbComPort port(pty.Path);
  port.Open();
  const std::vector<uint8_t> frame = {0x93, 0x01, 0x01, 0x03, 0, 0, 0, 0};
  EXPECT_EQ(port.Write(frame.data(), 8), 8);
  EXPECT_EQ(pty.Receive(8), frame);

  pty.Send({1, 2, 3, 4});
  std::array<uint8_t, 8> buf{};
  int pending = 0;
  for (int i = 0; i < 100 && pending == 0; ++i) {
    pending = port.ReadPending(buf.data(), 2);
    if (pending == 0) {
      ::usleep(2000);
    }
  }
  EXPECT_EQ(pending, 2);
  port.Purge();
  EXPECT_EQ(port.Read(buf.data(), 8), 0);
}

TEST(SerialPortTest, LineSpeedIsLeftAsTheDriverHasIt) {
  Pty pty;
  termios tio{};
  ASSERT_EQ(::tcgetattr(pty.Holder, &tio), 0);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  ASSERT_EQ(::tcsetattr(pty.Holder, TCSANOW, &tio), 0);
  TIGotUUsbComPort port(pty.Path);
  port.Open();
  ASSERT_EQ(::tcgetattr(pty.Holder, &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST(SerialPortTest, VanishedDeviceRaisesOnReadAndWrite) {
  Pty pty;
  TIGotUUsbComPort port(pty.Path);
  port.Open();
  ::close(pty.Master);
  pty.Master = -1;
  std::array<uint8_t, 3> buf{};
  EXPECT_THROW(port.Read(buf.data(), 3), ComPortError);
  EXPECT_THROW(port.Write(buf.data(), 3), ComPortError);
  EXPECT_NO_THROW(port.Close());
}

} // namespace
} // namespace tarnwick

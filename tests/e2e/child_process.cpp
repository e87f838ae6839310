#include "e2e/child_process.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnwick::test {

namespace {
using TClock = std::chrono::steady_clock;
}

TChildProcess::TChildProcess(const std::vector<std::string>& Argv) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char*> args;
  for (const auto& a : Argv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);
  const int rc = ::posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  FOutFd = out[0];
  FErrFd = err[0];
  if (rc != 0) {
    FPid = -1;
    throw std::runtime_error("cannot start " + Argv[0]);
  }
}

TChildProcess::~TChildProcess() {
  if (Wait(std::chrono::seconds(0)) < 0) {
    Signal(SIGTERM);
    if (Wait(std::chrono::seconds(20)) < 0) {
      Signal(SIGKILL);
      Wait(std::chrono::seconds(20));
    }
  }
  for (const int fd : {FOutFd, FErrFd}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

void TChildProcess::Pump(std::chrono::milliseconds Wait) {
  // A stream the program has closed is -1, which poll() skips.
  std::array<pollfd, 2> fds{pollfd{FOutFd, POLLIN, 0}, pollfd{FErrFd, POLLIN, 0}};
  if (::poll(fds.data(), fds.size(), static_cast<int>(Wait.count())) <= 0) {
    return;
  }
  std::array<char, 65536> buf{};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
      int& fd = i == 0 ? FOutFd : FErrFd;
      const ssize_t n = ::read(fd, buf.data(), buf.size());
      if (n > 0) {
        (i == 0 ? FOut : FErr).append(buf.data(), static_cast<size_t>(n));
      } else if (n == 0) {
        ::close(fd);
        fd = -1;
      }
    }
  }
}

std::string TChildProcess::FirstLine(std::chrono::seconds Timeout) {
  const auto end = TClock::now() + Timeout;
  while (FOut.find('\n') == std::string::npos && TClock::now() < end && FStatus < 0) {
    Pump(std::chrono::milliseconds(50));
  }
  const auto nl = FOut.find('\n');
  return nl == std::string::npos ? std::string() : FOut.substr(0, nl);
}

bool TChildProcess::WaitForError(const std::string& Text, std::chrono::seconds Timeout) {
  const auto end = TClock::now() + Timeout;
  while (FErr.find(Text) == std::string::npos && TClock::now() < end) {
    Pump(std::chrono::milliseconds(50));
  }
  return FErr.find(Text) != std::string::npos;
}

void TChildProcess::Signal(int Signal) {
  if (FPid > 0 && FStatus < 0) {
    ::kill(FPid, Signal);
  }
}

int TChildProcess::Wait(std::chrono::seconds Timeout) {
  if (FStatus >= 0 || FPid <= 0) {
    return FStatus;
  }
  const auto end = TClock::now() + Timeout;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
      FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      // Collect what is left in the pipes.
      for (int i = 0; i < 20; ++i) {
        Pump(std::chrono::milliseconds(0));
      }
      return FStatus;
    }
    if (TClock::now() >= end) {
      return -1;
    }
    Pump(std::chrono::milliseconds(20));
  }
}

} // namespace tarnwick::test

#include "common/child_process.hpp"

#include "common/sanitizer_report.hpp"

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
using Clock = std::chrono::steady_clock;

void CloseFd(int& Fd) {
  if (Fd >= 0) {
    ::close(Fd);
    Fd = -1;
  }
}
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& Argv, const std::string& WorkDir,
                           std::string Input)
    : program_(Argv.empty() ? std::string() : Argv[0]), input_(std::move(Input)) {
  int in[2] = {-1, -1};
  int out[2];
  int err[2];
  if ((!input_.empty() && ::pipe2(in, O_CLOEXEC) != 0) || ::pipe2(out, O_CLOEXEC) != 0 ||
      ::pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input_.empty()) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  }
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (!WorkDir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, WorkDir.c_str());
  }
  std::vector<char*> args;
  for (const auto& a : Argv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CloseFd(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  inFd_ = in[1];
  outFd_ = out[0];
  errFd_ = err[0];
  if (inFd_ >= 0) {
    // A program that does not read its input must not block the test.
    ::fcntl(inFd_, F_SETFL, O_NONBLOCK);
  }
  if (rc != 0) {
    pid_ = -1;
    CloseFd(inFd_);
    CloseFd(outFd_);
    CloseFd(errFd_);
    throw std::runtime_error("cannot start " + Argv[0]);
  }
}

ChildProcess::~ChildProcess() {
  if (Wait(std::chrono::seconds(0)) < 0) {
    Signal(SIGTERM);
    if (Wait(std::chrono::seconds(20)) < 0) {
      Signal(SIGKILL);
      Wait(std::chrono::seconds(20));
    }
  }
  CloseFd(inFd_);
  CloseFd(outFd_);
  CloseFd(errFd_);
}

bool ChildProcess::Pump(std::chrono::milliseconds Wait) {
  // A closed stream is -1, which poll() skips.
  std::array<pollfd, 3> fds{pollfd{outFd_, POLLIN, 0}, pollfd{errFd_, POLLIN, 0},
                            pollfd{inFd_, POLLOUT, 0}};
  if (::poll(fds.data(), fds.size(), static_cast<int>(Wait.count())) <= 0) {
    return false;
  }
  std::array<char, 65536> buf{};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      int& fd = i == 0 ? outFd_ : errFd_;
      const ssize_t n = ::read(fd, buf.data(), buf.size());
      if (n > 0) {
        (i == 0 ? out_ : err_).append(buf.data(), static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        CloseFd(fd);
      }
    }
  }
  if (inFd_ >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
    const ssize_t n = ::write(inFd_, input_.data() + written_, input_.size() - written_);
    if (n > 0) {
      written_ += static_cast<size_t>(n);
    }
    if ((n < 0 && errno != EAGAIN && errno != EINTR) || written_ == input_.size()) {
      CloseFd(inFd_);
    }
  }
  return true;
}

std::string ChildProcess::FirstLine(std::chrono::seconds Timeout) {
  const auto end = Clock::now() + Timeout;
  while (out_.find('\n') == std::string::npos && Clock::now() < end && status_ < 0) {
    Pump(std::chrono::milliseconds(50));
  }
  const auto nl = out_.find('\n');
  return nl == std::string::npos ? std::string() : out_.substr(0, nl);
}

bool ChildProcess::WaitForError(const std::string& Text, std::chrono::seconds Timeout) {
  const auto end = Clock::now() + Timeout;
  while (err_.find(Text) == std::string::npos && Clock::now() < end) {
    Pump(std::chrono::milliseconds(50));
  }
  return err_.find(Text) != std::string::npos;
}

void ChildProcess::Signal(int Signal) {
  if (pid_ > 0 && status_ < 0) {
    ::kill(pid_, Signal);
  }
}

void ChildProcess::Kill() {
  Signal(SIGKILL);
}

int ChildProcess::Wait(std::chrono::seconds Timeout) {
  if (status_ >= 0 || pid_ <= 0) {
    return status_;
  }
  const auto end = Clock::now() + Timeout;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      // Collect what is left in the pipes; a pipe some descendant still holds open gives
      // nothing more and ends the loop.
      CloseFd(inFd_);
      while ((outFd_ >= 0 || errFd_ >= 0) && Pump(std::chrono::milliseconds(0))) {
      }
      ExpectNoSanitizerReport(program_, out_, err_, status_);
      return status_;
    }
    if (Clock::now() >= end) {
      return -1;
    }
    Pump(std::chrono::milliseconds(20));
  }
}

} // namespace tarnwick::test

#include "common/run_process.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnwick::test {

ProcessResult RunProcess(const std::vector<std::string>& Argv, const std::string& WorkDir,
                         const std::string& Input, int TimeoutSeconds) {
  ProcessResult result;
  int in[2];
  int out[2];
  int err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    result.Err = "pipe failed";
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  // Runs the child in WorkDir through the shell-free route: a small wrapper is not needed
  // because glibc 2.29+ offers addchdir_np.
  if (!WorkDir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, WorkDir.c_str());
  }
  std::vector<char*> args;
  for (const auto& a : Argv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    result.Err = "cannot start " + Argv[0];
    return result;
  }

  size_t written = 0;
  if (Input.empty()) {
    ::close(in[1]);
    in[1] = -1;
  } else {
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutSeconds);
  bool outOpen = true;
  bool errOpen = true;
  char buf[65536];
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    fds[0].fd = outOpen ? out[0] : -1;
    fds[1].fd = errOpen ? err[0] : -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      result.Err += "\n[killed after " + std::to_string(TimeoutSeconds) + " s]";
      break;
    }
    if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) {
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          (i == 0 ? result.Out : result.Err).append(buf, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          (i == 0 ? outOpen : errOpen) = false;
        }
      }
    }
    if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const ssize_t n = ::write(in[1], Input.data() + written, Input.size() - written);
      if (n > 0) {
        written += static_cast<size_t>(n);
      }
      if (n < 0 || written == Input.size()) {
        ::close(in[1]);
        in[1] = -1;
      }
    }
  }
  if (in[1] >= 0) {
    ::close(in[1]);
  }
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

} // namespace tarnwick::test

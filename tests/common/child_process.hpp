#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tarnwick::test {

/// A program running beside the test, with its standard output and error captured as they
/// come. Destroying it stops the program (SIGTERM, then SIGKILL) and reaps it, so no test
/// leaves a process behind.
class ChildProcess {
 public:
  /// Starts Argv with the test's environment in WorkDir (empty: the current folder), feeding
  /// it Input on standard input (empty: /dev/null); raises std::runtime_error when it cannot.
  explicit ChildProcess(const std::vector<std::string>& Argv, const std::string& WorkDir = "",
                        std::string Input = "");
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// The first line of standard output, waiting up to Timeout; empty if none came.
  std::string FirstLine(std::chrono::seconds Timeout);
  /// Waits up to Timeout until standard error contains Text.
  bool WaitForError(const std::string& Text, std::chrono::seconds Timeout);
  /// Sends Signal to the program.
  void Signal(int Signal);
  /// Waits up to Timeout for the program to end; its exit status (128 + signal when killed),
  /// or -1 when it is still running.
  int Wait(std::chrono::seconds Timeout);

  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  // Reads what is there and feeds the input, waiting up to Wait for something; false when
  // nothing happened.
  bool Pump(std::chrono::milliseconds Wait);

  int pid_ = -1;
  int inFd_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  int status_ = -1;
  std::string input_;
  size_t written_ = 0;
  std::string out_;
  std::string err_;
};

} // namespace tarnwick::test

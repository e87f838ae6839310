#pragma once

#include <chrono>
#include <string>
#include <vector>
#ifdef _WIN32
#include <mutex>
#include <thread>
#endif

namespace tarnwick::test {

/// A program running beside the test, with its standard output and error captured as they
/// come. Destroying it stops the program (SIGTERM, then SIGKILL) and reaps it, so no test
/// leaves a process behind. On Windows the program is started with CreateProcessW, its
/// arguments quoted as the C runtime splits them again, and every signal ends it
/// (TerminateProcess with 128 + the signal's number as its exit status).
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
  /// Sends Signal to the program (on Windows: ends it).
  void Signal(int Signal);
  /// Ends the program at once (SIGKILL; TerminateProcess on Windows).
  void Kill();
  /// Waits up to Timeout for the program to end; its exit status (128 + signal when killed),
  /// or -1 when it is still running. Once it has ended, a sanitizer's report in what it wrote
  /// fails the test (see ExpectNoSanitizerReport).
  int Wait(std::chrono::seconds Timeout);

  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
#ifndef _WIN32
  // Reads what is there and feeds the input, waiting up to Wait for something; false when
  // nothing happened.
  bool Pump(std::chrono::milliseconds Wait);
#endif

#ifdef _WIN32
  // Waits until Ready() holds or Timeout passes, polling what the reader threads collected.
  template <typename Condition>
  bool WaitUntil(Condition Ready, std::chrono::seconds Timeout);
  void JoinPipes();

  void* process_ = nullptr; // HANDLE
  std::thread outReader_;
  std::thread errReader_;
  std::thread inWriter_;
  std::mutex mutex_; // guards out_ and err_ while the readers run
#else
  int pid_ = -1;
  int inFd_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  size_t written_ = 0;
#endif
  int status_ = -1;
  std::string program_;
  std::string input_;
  std::string out_;
  std::string err_;
};

} // namespace tarnwick::test

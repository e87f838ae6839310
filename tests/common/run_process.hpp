#pragma once

#include <string>
#include <vector>

namespace tarnwick::test {

/// What a finished child process left.
struct ProcessResult {
  int ExitCode = -1; ///< exit status, or 128 + signal number when killed by a signal
  std::string Out;   ///< everything it wrote to standard output
  std::string Err;   ///< everything it wrote to standard error
};

/// Runs Argv[0] with the arguments Argv[1..] in WorkDir (empty: the current folder), feeding
/// it Input on standard input, and waits for it; gives up and kills it after TimeoutSeconds.
ProcessResult RunProcess(const std::vector<std::string>& Argv, const std::string& WorkDir = "",
                         const std::string& Input = "", int TimeoutSeconds = 120);

/// Runs Command with /bin/sh (redirections and pipes allowed) like RunProcess; on Windows,
/// where there is no such shell, it fails with a message that says so.
ProcessResult RunShell(const std::string& Command);
/// Quotes Text as one word for the shell.
std::string Quote(const std::string& Text);
/// Whether a program is on the PATH (false on Windows, where RunShell cannot run it).
bool HasTool(const std::string& Name);

} // namespace tarnwick::test

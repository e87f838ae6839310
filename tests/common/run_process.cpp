#include "common/run_process.hpp"

#include "common/child_process.hpp"

#include <stdexcept>

namespace tarnwick::test {

ProcessResult RunProcess(const std::vector<std::string>& Argv, const std::string& WorkDir,
                         const std::string& Input, int TimeoutSeconds) {
  ProcessResult result;
  try {
    ChildProcess child(Argv, WorkDir, Input);
    result.ExitCode = child.Wait(std::chrono::seconds(TimeoutSeconds));
    std::string killed;
    if (result.ExitCode < 0) {
      child.Kill();
      result.ExitCode = child.Wait(std::chrono::seconds(20));
      killed = "\n[killed after " + std::to_string(TimeoutSeconds) + " s]";
    }
    result.Out = child.Out();
    result.Err = child.Err() + killed;
  } catch (const std::runtime_error& e) {
    result.Err = e.what();
  }
  return result;
}

ProcessResult RunShell(const std::string& Command) {
#ifdef _WIN32
  ProcessResult result;
  result.Err = "no POSIX shell on Windows to run: " + Command;
  return result;
#else
  return RunProcess({"/bin/sh", "-c", Command});
#endif
}

std::string Quote(const std::string& Text) {
  std::string q = "'";
  for (const char c : Text) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

bool HasTool(const std::string& Name) {
#ifdef _WIN32
  // The tools the tests look for are Linux programs, run through the shell.
  (void)Name;
  return false;
#else
  return RunShell("command -v " + Quote(Name)).ExitCode == 0;
#endif
}

} // namespace tarnwick::test

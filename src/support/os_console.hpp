#pragma once

// The standard streams: whether they are a terminal, its width, binary output, and the
// system's debugger output.

#include <optional>
#include <string_view>

namespace tarnwick {

enum class StandardStream { Input, Output, Error };

/// Whether Stream is an interactive terminal (a console on Windows).
bool IsTerminal(StandardStream Stream);

/// The width in columns of the terminal Stream shows on, or nothing when it is none.
std::optional<int> TerminalWidth(StandardStream Stream);

/// Makes standard output and standard error binary, so that "\n" stays one byte and a
/// program writes the same bytes on every system (nothing to do on POSIX).
void SetBinaryStandardStreams();

/// Writes Text to standard error in one go without allocating or locking: callable from a
/// signal handler or the console-control thread. Failures are ignored.
void WriteStandardErrorUnsafeContext(std::string_view Text) noexcept;

/// Hands Line to the system's debugger output: OutputDebugStringW on Windows; standard error
/// on POSIX, in one write per line so that lines of several processes stay apart.
void WriteDebuggerText(std::string_view Line);

} // namespace tarnwick

#pragma once

// What every use of exiv2 here needs first, kept out of the public headers so that no other
// layer sees exiv2.

#include <string>

namespace tarnwick {

/// Once per process, on any thread: the XMP toolkit initialised with a lock (its parser is
/// not thread-safe on its own), and exiv2's messages sent to the debug output as printable
/// text instead of to standard error.
void InitExiv2();

/// Called inside a catch block: raises what is being handled as a PhotoError naming File and
/// what was being done ("read", "write GPS tags into"). A PhotoError passes unchanged; a
/// FileError keeps its text; exiv2's and other texts are made printable first.
[[noreturn]] void RethrowAsPhotoError(const std::string& File, const char* Doing);

/// The text of the exception being handled, printable: for notes.
std::string CurrentErrorText();

} // namespace tarnwick

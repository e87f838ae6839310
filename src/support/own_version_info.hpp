#pragma once

#include "support/ver_info.hpp"

namespace tarnwick {

/// The program's own version information: translation 0411 with code page 03A4, the version of
/// the build as FileVersion and ProductVersion, and the program's names and copyright. Built
/// in, as a version block laid out the way a resource compiler lays it out, because a Linux
/// executable carries no version resource; a Windows build carries the same values as a real
/// resource made from packaging/windows/version.rc.in.
TVerInfo OwnVersionInfo();

} // namespace tarnwick

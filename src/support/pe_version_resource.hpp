#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

/// The version resource of a Windows program file (EXE or DLL, PE32 or PE32+), found by walking
/// the file itself: DOS header, PE header, section table, the resource directory named by data
/// directory entry 2, the type RT_VERSION, its first name and that name's first language.
/// Every offset and size taken from the file is checked against the file and against the
/// section it points into, and the walk goes exactly three directory levels deep and never
/// visits a directory twice, so any input ends in a result or in none, reading only inside the
/// file. At most 65535 bytes of the resource are returned, the most a version block can use.
class PeVersionResource {
 public:
  /// The resource's bytes in the file FileName, or none when it is no program file, has no
  /// version resource, or cannot be read. Only a regular file is read (a FIFO or a device is
  /// refused without waiting); the file is closed again before this returns.
  static std::optional<std::vector<uint8_t>> FromFile(const std::string& FileName);

  /// The same for the bytes of a whole program file in memory.
  static std::optional<std::vector<uint8_t>> FromImage(std::span<const uint8_t> Image);
};

} // namespace tarnwick

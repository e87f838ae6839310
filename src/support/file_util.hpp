#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// The whole content of a file, or empty when it does not exist. Other failures (no
/// permission, a folder, more than MaxBytes) raise EFileError naming the file.
std::optional<std::string> ReadWholeFile(const std::string& FileName, size_t MaxBytes);

/// A file written under a temporary name beside its target and moved into place by Commit,
/// so that the target is either the old file or the complete new one. Destroying an
/// uncommitted file removes the temporary. Every failure raises EFileError naming the target.
class TReplacingFile {
 public:
  /// Creates the temporary file; the target is not touched.
  explicit TReplacingFile(std::string Target);
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  /// Appends Size bytes; a short write (disk full) raises.
  void Write(const void* Data, size_t Size);
  /// Flushes the data to the disk and closes the temporary file.
  void Finish();
  /// Finish, then renames the temporary over the target.
  void Commit();

  const std::string& Target() const { return FTarget; }
  const std::string& TempName() const { return FTempName; }

 private:
  std::string FTarget;
  std::string FTempName;
  int FFd = -1;
  bool FCommitted = false;
  uint64_t FWritten = 0; // bytes written so far
  uint64_t FKicked = 0;  // bytes whose writing out has been started
};

} // namespace tarnwick

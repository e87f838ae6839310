#pragma once

#include "support/os_files.hpp"
#include "support/os_process.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace tarnwick {

/// The whole content of a file, or empty when it does not exist. Other failures (no
/// permission, a folder, more than MaxBytes, a kind of file Options refuses) raise FileError
/// naming the file.
std::optional<std::string> ReadWholeFile(const std::string& FileName, size_t MaxBytes,
                                         ReadOptions Options = {});
/// ReadWholeFile into memory of the caller's, for a large file that should be neither copied
/// nor cleared first: Room(Size, Kept) returns room for Size bytes that holds the first Kept
/// bytes of the room it gave before. It is asked for the file's size and a byte more, and
/// again for more only when the file grows while it is read. Returns how many bytes came, or
/// empty when the file does not exist; raises as ReadWholeFile.
std::optional<size_t> ReadWholeFileInto(const std::string& FileName, size_t MaxBytes,
                                        ReadOptions Options,
                                        const std::function<char*(size_t Size, size_t Kept)>& Room);

/// Removes the temporary file of every ReplacingFile alive in this process. Uses only
/// async-signal-safe calls, so a handler of a signal that ends the process may call it (on
/// Windows: nor does it allocate, so the console-control thread may call it).
void RemoveTemporaryFiles() noexcept;

/// A file written under a temporary name beside its target and moved into place by Commit,
/// so that the target is either the old file or the complete new one. The new file keeps the
/// permission bits (and, where the system allows, the owner and group) of the file it
/// replaces; on Windows it takes the access its folder passes on (see TakeAccessOf). Destroying an
/// uncommitted file removes the temporary; RemoveTemporaryFiles removes it too. Every failure
/// raises FileError naming the target.
class ReplacingFile {
 public:
  /// Checks the target (see CheckTarget), removes temporaries that dead runs left for it, and
  /// creates the temporary file; the target is not touched.
  explicit ReplacingFile(std::string Target);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  /// Appends Size bytes; a short write (disk full, file-size limit) raises.
  void Write(const void* Data, size_t Size);
  /// Flushes the data to the disk and closes the temporary file.
  void Finish();
  /// Finish, then renames the temporary over the target, which must still be a regular file
  /// or absent.
  void Commit();
  /// Commit, keeping the replaced file under a second, temporary name until this object is
  /// destroyed, so that Revert can put it back: a hard link, or on Windows where the file
  /// system has none (FAT), the old file moved aside just before the new one moves in.
  void CommitRevertibly();
  /// After CommitRevertibly: puts the replaced file back, or removes the target when there
  /// was none. False when the old file could not be kept (a file system without hard links).
  bool Revert();

  const std::string& Target() const { return target_; }
  const std::string& TempName() const { return tempName_; }

  /// Raises FileError unless Target can be replaced: its folder exists and this process may
  /// write in it, and Target is absent or a regular file (not a link, FIFO, device, folder).
  static void CheckTarget(const std::string& Target);
  /// The name of a temporary for Target made by process Owner: hidden, beside the target,
  /// short whatever the target's length, and recognisable as belonging to that target.
  static std::string TemporaryName(const std::string& Target, ProcessId Owner, unsigned Serial);
  /// Removes the temporaries for Target that are left over: owned by this user, and either
  /// their process is gone or they were last written more than a day ago. Returns how many.
  static int RemoveStaleTemporaries(const std::string& Target);

  /// For tests only: called with the target's name just before a commit renames over it; an
  /// error it returns fails that commit as a failed rename would (a full disk or a drive
  /// pulled out cannot be had on demand). Empty, the default, fails nothing. Set it on the
  /// thread that saves, and clear it afterwards.
  using CommitFault = std::function<std::error_code(const std::string& Target)>;
  static void SetCommitFaultForTests(CommitFault Fault);

 private:
  std::string target_;
  std::string tempName_;
  FileHandle file_;
  int registrySlot_ = -1; // where the signal path finds the temporary's name
  std::string undoName_;  // second name of the replaced file, after CommitRevertibly
  int undoSlot_ = -1;
  bool replacedOld_ = false; // CommitRevertibly found a file in the target's place
  bool committed_ = false;
};

} // namespace tarnwick

#pragma once

// Files and folders through the operating system, the same calls on POSIX and Win32. Names are
// UTF-8 everywhere; the Win32 side converts at the call. Failures come back as a
// std::error_code: errno values on POSIX, GetLastError values on Windows (system category).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tarnwick {

/// The system's text for Code, without a trailing line break.
std::string SystemErrorText(const std::error_code& Code);
/// Whether Code says that a file or a folder on the way to it does not exist.
bool IsNotFound(const std::error_code& Code);
/// Whether Code says that the name already exists.
bool IsAlreadyExists(const std::error_code& Code);

/// An open file, closed when the object goes. Move-only.
class FileHandle {
 public:
#ifdef _WIN32
  using Native = void*; // HANDLE
#else
  using Native = int;
#endif
  static Native Invalid();

  FileHandle() = default;
  explicit FileHandle(Native Handle) : handle_(Handle) {}
  ~FileHandle() {
    Close();
  }
  FileHandle(FileHandle&& Other) noexcept : handle_(Other.Release()) {}
  FileHandle& operator=(FileHandle&& Other) noexcept {
    if (this != &Other) {
      Close();
      handle_ = Other.Release();
    }
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool IsOpen() const {
    return handle_ != Invalid();
  }
  Native Get() const {
    return handle_;
  }
  /// Gives up ownership; the object is then closed.
  Native Release() {
    const Native h = handle_;
    handle_ = Invalid();
    return h;
  }
  /// Closes the file; what closing reported (a late write error on some file systems).
  std::error_code Close();

 private:
  Native handle_ = Invalid();
};

/// What OpenForReading accepts besides a regular file reached through any links.
struct ReadOptions {
  /// Refuse a FIFO, a device or a socket, without waiting for a writer first.
  bool RegularOnly = false;
  /// Refuse a symbolic link (on Windows: any reparse point) as the last part of the name
  /// instead of reading through it.
  bool NoFollow = false;
};

enum class FileKind {
  Regular,
  Folder,
  SymbolicLink, // on Windows any reparse point
  Fifo,         // on Windows a pipe
  CharacterDevice,
  BlockDevice,
  Socket,
  Unknown,
};

/// "a regular file", "a folder", "a symbolic link", ...
const char* FileKindText(FileKind Kind);

/// Which file a name reaches: equal for two names of one file (hard links, other spellings).
struct FileIdentity {
  uint64_t Volume = 0; // st_dev, or the volume serial number
  uint64_t Index = 0;  // st_ino, or the file index
  bool operator==(const FileIdentity&) const = default;
};

struct FileStatus {
  FileKind Kind = FileKind::Unknown;
  uint64_t Size = 0;
  /// Last written, in seconds since 1970 UTC.
  int64_t ModifiedSeconds = 0;
  FileIdentity Identity;
  /// Whether this process's (effective) user owns the file; always true on Windows, where
  /// ownership is left to the access-control lists.
  bool OwnedByMe = true;
  /// How many names the file has (hard links).
  uint32_t Links = 1;
  /// POSIX only: permission bits, owner and group (0 on Windows).
  uint32_t Permissions = 0;
  uint32_t Owner = 0;
  uint32_t Group = 0;
};

template <class T>
struct OsResult {
  T Value{};
  std::error_code Error;
  explicit operator bool() const { return !Error; }
};

/// Opens Name for reading, shared with readers, writers and renames (so that a file open
/// here never blocks the atomic replacement of its name). Refusals by Options come back as
/// an error with Kind telling what was found.
struct OpenedFile {
  FileHandle File;
  std::error_code Error;
  /// Set when Options refused the file: what it is instead.
  std::optional<FileKind> Refused;
};
OpenedFile OpenForReading(const std::string& Name, ReadOptions Options = {});

/// Creates Name, which must not exist (never through a link), for writing. Mode is the
/// POSIX permission bits (the umask applies); Windows gives the folder's inherited access.
OsResult<FileHandle> CreateNewFile(const std::string& Name, unsigned Mode = 0666);

/// Opens an existing Name for writing at its end, only when it is a regular file of this
/// user's (POSIX: owned by the effective user) that has no other name: never through a link
/// (on Windows any reparse point), never a FIFO or a device, which are not even opened, never
/// a file that someone else planted or that is a second name of another file. A refusal is
/// an error: too_many_symbolic_link_levels for a link, invalid_argument for another kind of
/// file, permission_denied for a file of someone else's or with more names.
OsResult<FileHandle> OpenForAppending(const std::string& Name);

/// Writes all of Data, retrying short writes; a write that makes no progress is ENOSPC.
std::error_code WriteAll(const FileHandle& File, std::span<const uint8_t> Data);
inline std::error_code WriteAll(const FileHandle& File, std::string_view Text) {
  return WriteAll(File, std::span(reinterpret_cast<const uint8_t*>(Text.data()), Text.size()));
}
/// Reads until Out is full or the end of the file; how many bytes came.
OsResult<size_t> ReadUpTo(const FileHandle& File, std::span<uint8_t> Out);
/// Reads exactly Out.size() bytes at Offset, without moving the file position of others.
std::error_code ReadAt(const FileHandle& File, uint64_t Offset, std::span<uint8_t> Out);
/// Puts what was written on the disk (fsync, FlushFileBuffers). Files that cannot be
/// flushed (pipes, some devices) are not an error.
std::error_code Flush(const FileHandle& File);

/// Kind, size and identity of an open file.
OsResult<FileStatus> StatusOf(const FileHandle& File);
/// The same by name; FollowLinks false describes a link (reparse point) itself.
OsResult<FileStatus> StatusOf(const std::string& Name, bool FollowLinks);
/// Gives File the permission bits, and where the system allows the owner and group, that
/// Like describes; never opens it wider than Like. On Windows nothing: a new file takes the
/// access-control list its folder passes on, which is how Windows means files to be shared.
void TakeAccessOf(const FileHandle& File, const FileStatus& Like);
/// When a file was last read and last written, in nanoseconds since 1970 UTC (Windows keeps
/// 100 ns steps).
struct FileTimes {
  int64_t AccessedNs = 0;
  int64_t ModifiedNs = 0;
};
/// The times of Name itself, never of what a link points to.
OsResult<FileTimes> TimesOf(const std::string& Name);
/// Sets the times of Name itself, never through a link: a rewritten file that is to look
/// untouched to programs that sort by time, such as photo libraries.
std::error_code SetFileTimes(const std::string& Name, const FileTimes& Times);
/// Whether the two names reach one file; false when either cannot be queried.
bool IsSameFile(const std::string& First, const std::string& Second);

/// Whether this process may create and remove files in Folder; the error says why not.
std::error_code CheckFolderWritable(const std::string& Folder);

/// Creates Folder for this user alone: POSIX mode 0700 whatever the umask; on Windows an
/// access list that names this user only and that the files inside inherit. A name that
/// already exists is no error here: CheckPrivateFolder then says whether it will do. The
/// folder above must exist.
std::error_code CreatePrivateFolder(const std::string& Folder);
/// Whether Folder is a folder that belongs to this user alone: a real folder, not a link to
/// one, and on POSIX owned by the effective user with no access for group or others. The
/// error says why not: not_a_directory, too_many_symbolic_link_levels, permission_denied (the
/// owner or the access is wrong), or what the system said. On Windows the folder's access
/// list is the system's to judge.
std::error_code CheckPrivateFolder(const std::string& Folder);

/// Moves From over To in one step: a reader sees the old file or the new one, never neither,
/// and one that has To open keeps reading the old content. On Windows that takes the rename
/// of Windows 10 (POSIX semantics); where it is missing MoveFileExW with write-through, which
/// fails while another handle has To open.
std::error_code MoveReplacing(const std::string& From, const std::string& To);
/// A second name for Existing; fails on file systems without hard links.
std::error_code MakeHardLink(const std::string& Existing, const std::string& NewName);
/// Removes a file (not a folder).
std::error_code RemoveFile(const std::string& Name);
/// Removes a file using only calls a signal handler may make (POSIX), or that a
/// console-control thread may make while other threads run (Windows). Name is a
/// NUL-terminated UTF-8 path; returns whether it went.
bool RemoveFileUnsafeContext(const char* Name) noexcept;

/// The names (not paths) of Folder's entries, without "." and "..".
OsResult<std::vector<std::string>> ListFolder(const std::string& Folder);

/// Takes the exclusive lock of File without waiting: false when another open file (of
/// this or another process) holds it. Released when the file closes.
bool TryLockExclusive(const FileHandle& File);

/// The folder for temporary files: TMPDIR, TMP or TEMP, else /tmp; on Windows
/// GetTempPathW in its long form without the trailing separator.
std::string TemporaryFolder();

/// The folder for Program's files that outlive a run but are no documents, such as logs:
/// $XDG_STATE_HOME/program (an absolute XDG_STATE_HOME only), else
/// ~/.local/state/program, with Program in lower case (POSIX); %LOCALAPPDATA%\Program on
/// Windows. Empty when the system names no home for it. Not created here.
std::string UserStateFolder(std::string_view Program);
/// A name in the temporary folder for a folder of this user's own, for when no better place
/// can be had: program-UID in the temporary folder, with Program in lower case (POSIX: the
/// temporary folder is usually shared, and the number keeps users apart); Program in the
/// user's own temporary folder on Windows. Not created here: see CreatePrivateFolder.
std::string PrivateTemporaryFolder(std::string_view Program);

/// Whether C is a separator of folders in a name ('/'; on Windows also '\\').
bool IsPathSeparator(char C);

} // namespace tarnwick

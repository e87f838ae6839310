#include "support/os_files.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

std::error_code LastError() {
  return {errno, std::system_category()};
}

FileKind KindOf(mode_t mode) {
  switch (mode & S_IFMT) {
  case S_IFREG:
    return FileKind::Regular;
  case S_IFDIR:
    return FileKind::Folder;
  case S_IFLNK:
    return FileKind::SymbolicLink;
  case S_IFIFO:
    return FileKind::Fifo;
  case S_IFCHR:
    return FileKind::CharacterDevice;
  case S_IFBLK:
    return FileKind::BlockDevice;
  case S_IFSOCK:
    return FileKind::Socket;
  default:
    return FileKind::Unknown;
  }
}

FileStatus StatusFrom(const struct stat& st) {
  FileStatus s;
  s.Kind = KindOf(st.st_mode);
  s.Size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  s.ModifiedSeconds = static_cast<int64_t>(st.st_mtime);
  s.Identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  s.OwnedByMe = st.st_uid == ::geteuid();
  s.Permissions = st.st_mode & 07777;
  s.Owner = st.st_uid;
  s.Group = st.st_gid;
  s.Links = static_cast<uint32_t>(st.st_nlink);
  return s;
}

std::error_code Refusal(std::errc code) {
  return std::make_error_code(code);
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

} // namespace

std::string SystemErrorText(const std::error_code& Code) {
  return Code.message();
}

bool IsNotFound(const std::error_code& Code) {
  return Code == std::errc::no_such_file_or_directory;
}

bool IsAlreadyExists(const std::error_code& Code) {
  return Code == std::errc::file_exists;
}

FileHandle::Native FileHandle::Invalid() {
  return -1;
}

std::error_code FileHandle::Close() {
  if (!IsOpen()) {
    return {};
  }
  // Not retried on EINTR: Linux has closed the descriptor whatever close reports.
  const int rc = ::close(Release());
  return rc == 0 ? std::error_code() : LastError();
}

OpenedFile OpenForReading(const std::string& Name, ReadOptions Options) {
  OpenedFile result;
  // Non-blocking, so that opening a FIFO does not wait for a writer before its type is known.
  const int flags = O_RDONLY | O_CLOEXEC | (Options.RegularOnly ? O_NONBLOCK : 0) |
                    (Options.NoFollow ? O_NOFOLLOW : 0);
  const int fd = ::open(Name.c_str(), flags);
  if (fd < 0) {
    result.Error = LastError();
    if (errno == ELOOP && Options.NoFollow) {
      result.Refused = FileKind::SymbolicLink;
    }
    return result;
  }
  result.File = FileHandle(fd);
  if (Options.RegularOnly) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      result.Error = LastError();
      result.File.Close();
    } else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
      // A folder is left to the caller, which reports it as the system would.
      result.Refused = KindOf(st.st_mode);
      result.Error = std::make_error_code(std::errc::invalid_argument);
      result.File.Close();
    }
  }
  return result;
}

OsResult<FileHandle> CreateNewFile(const std::string& Name, unsigned Mode) {
  const int fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        static_cast<mode_t>(Mode));
  if (fd < 0) {
    return {FileHandle(), LastError()};
  }
  return {FileHandle(fd), {}};
}

OsResult<FileHandle> OpenForAppending(const std::string& Name) {
  // Looked at first, so that a FIFO or a device is never opened at all (opening some has
  // effects of its own); the descriptor is then checked to be that very file.
  struct stat named {};
  if (::lstat(Name.c_str(), &named) != 0) {
    return {FileHandle(), LastError()};
  }
  if (S_ISLNK(named.st_mode)) {
    return {FileHandle(), Refusal(std::errc::too_many_symbolic_link_levels)};
  }
  if (!S_ISREG(named.st_mode)) {
    return {FileHandle(), Refusal(std::errc::invalid_argument)};
  }
  const int fd =
      ::open(Name.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return {FileHandle(), LastError()};
  }
  FileHandle file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    return {FileHandle(), LastError()};
  }
  if (!S_ISREG(st.st_mode) || st.st_dev != named.st_dev || st.st_ino != named.st_ino) {
    return {FileHandle(), Refusal(std::errc::invalid_argument)}; // swapped since the look
  }
  // Someone else's file, or a second name of one of ours elsewhere, would carry the lines to
  // whoever can read that file.
  if (st.st_uid != ::geteuid() || st.st_nlink != 1) {
    return {FileHandle(), Refusal(std::errc::permission_denied)};
  }
  return {std::move(file), {}};
}

std::error_code WriteAll(const FileHandle& File, std::span<const uint8_t> Data) {
  const uint8_t* p = Data.data();
  size_t left = Data.size();
  while (left > 0) {
    const ssize_t n = ::write(File.Get(), p, left);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastError();
    }
    if (n == 0) {
      return std::make_error_code(std::errc::no_space_on_device);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return {};
}

OsResult<size_t> ReadUpTo(const FileHandle& File, std::span<uint8_t> Out) {
  size_t done = 0;
  while (done < Out.size()) {
    const ssize_t n = ::read(File.Get(), Out.data() + done, Out.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return {done, LastError()};
    }
    if (n == 0) {
      break;
    }
    done += static_cast<size_t>(n);
  }
  return {done, {}};
}

std::error_code ReadAt(const FileHandle& File, uint64_t Offset, std::span<uint8_t> Out) {
  size_t done = 0;
  while (done < Out.size()) {
    const ssize_t n = ::pread(File.Get(), Out.data() + done, Out.size() - done,
                              static_cast<off_t>(Offset + done));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastError();
    }
    if (n == 0) {
      return std::make_error_code(std::errc::io_error); // the file ended before the range
    }
    done += static_cast<size_t>(n);
  }
  return {};
}

std::error_code Flush(const FileHandle& File) {
  if (::fsync(File.Get()) != 0 && errno != EINVAL) {
    return LastError();
  }
  return {};
}

OsResult<FileStatus> StatusOf(const FileHandle& File) {
  struct stat st {};
  if (::fstat(File.Get(), &st) != 0) {
    return {{}, LastError()};
  }
  return {StatusFrom(st), {}};
}

OsResult<FileStatus> StatusOf(const std::string& Name, bool FollowLinks) {
  struct stat st {};
  const int rc = FollowLinks ? ::stat(Name.c_str(), &st) : ::lstat(Name.c_str(), &st);
  if (rc != 0) {
    return {{}, LastError()};
  }
  return {StatusFrom(st), {}};
}

void TakeAccessOf(const FileHandle& File, const FileStatus& Like) {
  struct stat now {};
  if (::fstat(File.Get(), &now) != 0) {
    return; // the file keeps the access it was made with
  }
  mode_t bits = Like.Permissions & 0777;
  if (now.st_uid != Like.Owner || now.st_gid != Like.Group) {
    // Only root may give the file away; anyone may pass it to a group of theirs.
    if (::fchown(File.Get(), Like.Owner, Like.Group) != 0 &&
        ::fchown(File.Get(), static_cast<uid_t>(-1), Like.Group) != 0) {
      // The group's bits would now open the file to another group than before.
      bits &= ~static_cast<mode_t>(S_IRWXG);
    }
  }
  // A failure leaves the bits the file was made with.
  (void)::fchmod(File.Get(), bits);
}

namespace {

int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

struct timespec TimeSpec(int64_t ns) {
  struct timespec t {};
  // Floor division, so a time before 1970 keeps tv_nsec in 0..999999999.
  int64_t seconds = ns / 1'000'000'000;
  int64_t rest = ns % 1'000'000'000;
  if (rest < 0) {
    rest += 1'000'000'000;
    --seconds;
  }
  t.tv_sec = static_cast<time_t>(seconds);
  t.tv_nsec = static_cast<long>(rest);
  return t;
}

} // namespace

OsResult<FileTimes> TimesOf(const std::string& Name) {
  struct stat st {};
  if (::lstat(Name.c_str(), &st) != 0) {
    return {{}, LastError()};
  }
  return {{Nanoseconds(st.st_atim), Nanoseconds(st.st_mtim)}, {}};
}

std::error_code SetFileTimes(const std::string& Name, const FileTimes& Times) {
  const struct timespec times[2] = {TimeSpec(Times.AccessedNs), TimeSpec(Times.ModifiedNs)};
  if (::utimensat(AT_FDCWD, Name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    return LastError();
  }
  return {};
}

bool IsSameFile(const std::string& First, const std::string& Second) {
  const auto a = StatusOf(First, true);
  const auto b = StatusOf(Second, true);
  return a && b && a.Value.Identity == b.Value.Identity;
}

std::error_code CheckFolderWritable(const std::string& Folder) {
  struct stat dir {};
  if (::stat(Folder.c_str(), &dir) != 0) {
    return LastError();
  }
  if (!S_ISDIR(dir.st_mode)) {
    return std::make_error_code(std::errc::not_a_directory);
  }
  if (::faccessat(AT_FDCWD, Folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return LastError();
  }
  return {};
}

std::error_code CreatePrivateFolder(const std::string& Folder) {
  if (::mkdir(Folder.c_str(), 0700) != 0) {
    return errno == EEXIST ? std::error_code() : LastError();
  }
  return {};
}

std::error_code CheckPrivateFolder(const std::string& Folder) {
  struct stat st {};
  if (::lstat(Folder.c_str(), &st) != 0) {
    return LastError();
  }
  if (S_ISLNK(st.st_mode)) {
    return Refusal(std::errc::too_many_symbolic_link_levels);
  }
  if (!S_ISDIR(st.st_mode)) {
    return Refusal(std::errc::not_a_directory);
  }
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    return Refusal(std::errc::permission_denied);
  }
  return {};
}

std::error_code MoveReplacing(const std::string& From, const std::string& To) {
  return ::rename(From.c_str(), To.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code MakeHardLink(const std::string& Existing, const std::string& NewName) {
  return ::link(Existing.c_str(), NewName.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code RemoveFile(const std::string& Name) {
  return ::unlink(Name.c_str()) == 0 ? std::error_code() : LastError();
}

bool RemoveFileUnsafeContext(const char* Name) noexcept {
  const int saved = errno; // a signal handler must leave errno as it found it
  const bool removed = ::unlink(Name) == 0;
  errno = saved;
  return removed;
}

OsResult<std::vector<std::string>> ListFolder(const std::string& Folder) {
  DIR* dir = ::opendir(Folder.c_str());
  if (dir == nullptr) {
    return {{}, LastError()};
  }
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      names.emplace_back(e->d_name);
    }
  }
  ::closedir(dir);
  return {std::move(names), {}};
}

bool TryLockExclusive(const FileHandle& File) {
  return ::flock(File.Get(), LOCK_EX | LOCK_NB) == 0;
}

std::string TemporaryFolder() {
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return "/tmp";
}

std::string UserStateFolder(std::string_view Program) {
  const std::string program = LowerCase(Program);
  // Relative values are to be ignored, as the base directory rules say.
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return std::string(state) + "/" + program;
  }
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env == '/') {
    home = env;
  } else {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
      home = found->pw_dir;
    }
  }
  if (home.empty()) {
    return {};
  }
  while (home.size() > 1 && home.back() == '/') {
    home.pop_back();
  }
  return (home == "/" ? "" : home) + "/.local/state/" + program;
}

std::string PrivateTemporaryFolder(std::string_view Program) {
  std::string folder = TemporaryFolder();
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return (folder == "/" ? "" : folder) + "/" + LowerCase(Program) + "-" +
         std::to_string(::geteuid());
}

bool IsPathSeparator(char C) {
  return C == '/';
}

} // namespace tarnwick

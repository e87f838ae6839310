#include "support/file_util.hpp"

#include "support/errors.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tarnwick {

namespace {

struct FdCloser {
  int Fd;
  ~FdCloser() {
    if (Fd >= 0) {
      ::close(Fd);
    }
  }
};

FileError NotRegular(const std::string& fileName, const char* verb, mode_t mode) {
  return {fileName, std::string("Cannot ") + verb + " file \"" + fileName + "\": it is " +
                        FileKindText(mode) + ", not a regular file"};
}

} // namespace

const char* FileKindText(mode_t Mode) {
  switch (Mode & S_IFMT) {
  case S_IFREG:
    return "a regular file";
  case S_IFDIR:
    return "a folder";
  case S_IFLNK:
    return "a symbolic link";
  case S_IFIFO:
    return "a FIFO";
  case S_IFCHR:
    return "a character device";
  case S_IFBLK:
    return "a block device";
  case S_IFSOCK:
    return "a socket";
  default:
    return "an unknown kind of file";
  }
}

std::optional<std::string> ReadWholeFile(const std::string& FileName, size_t MaxBytes,
                                         ReadOptions Options) {
  // Non-blocking, so that opening a FIFO does not wait for a writer before its type is known.
  const int flags = O_RDONLY | O_CLOEXEC | (Options.RegularOnly ? O_NONBLOCK : 0) |
                    (Options.NoFollow ? O_NOFOLLOW : 0);
  const int fd = ::open(FileName.c_str(), flags);
  if (fd < 0) {
    if (errno == ENOENT) {
      return std::nullopt;
    }
    if (errno == ELOOP && Options.NoFollow) {
      throw NotRegular(FileName, "read", S_IFLNK);
    }
    throw FileError::Open(FileName, errno);
  }
  const FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    throw FileError::Read(FileName, errno);
  }
  if (S_ISDIR(st.st_mode)) {
    throw FileError::Open(FileName, EISDIR);
  }
  if (Options.RegularOnly && !S_ISREG(st.st_mode)) {
    throw NotRegular(FileName, "read", st.st_mode);
  }
  // Sized from the start: a GPX file can be tens of megabytes, and growing the text as it
  // comes in would copy it several times over.
  const auto expected = static_cast<size_t>(std::max<off_t>(st.st_size, 0));
  if (expected > MaxBytes) {
    throw FileError::Read(FileName, EFBIG);
  }
  std::string content(expected + 1, '\0');
  size_t used = 0;
  for (;;) {
    if (used == content.size()) {
      content.resize(content.size() * 2); // the file grew while it was read
    }
    const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw FileError::Read(FileName, errno);
    }
    if (n == 0) {
      break;
    }
    used += static_cast<size_t>(n);
    if (used > MaxBytes) {
      throw FileError::Read(FileName, EFBIG);
    }
  }
  content.resize(used);
  return content;
}

// ---- the temporaries a signal handler removes -------------------------------------------
//
// A fixed table, so that the handler neither allocates nor locks: a slot is claimed (1),
// filled, and published (2); the handler unlinks published slots only.

namespace {

constexpr size_t kRegistrySlots = 16;
constexpr size_t kRegistryPathBytes = 4096; // PATH_MAX: longer names cannot be opened anyway

struct RegistrySlot {
  std::atomic<int> State{0};
  char Path[kRegistryPathBytes];
};

RegistrySlot gRegistry[kRegistrySlots];

// The slot holding Path, or -1 when the table is full (the temporary is then still removed
// by its owner and by the next run's clean-up, only not by a signal).
int RegisterTemporary(const std::string& path) {
  if (path.size() >= kRegistryPathBytes) {
    return -1;
  }
  for (size_t i = 0; i < kRegistrySlots; ++i) {
    int expected = 0;
    if (gRegistry[i].State.compare_exchange_strong(expected, 1)) {
      std::memcpy(gRegistry[i].Path, path.c_str(), path.size() + 1);
      gRegistry[i].State.store(2);
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Frees Slot (-1: none); callers hand over their slot with std::exchange(slot, -1).
void UnregisterTemporary(int slot) {
  if (slot >= 0) {
    gRegistry[slot].State.store(0);
  }
}

} // namespace

void RemoveTemporaryFiles() noexcept {
  for (auto& slot : gRegistry) {
    if (slot.State.load() == 2) {
      ::unlink(slot.Path);
    }
  }
}

// ---- ReplacingFile ----------------------------------------------------------------------

namespace {

std::atomic<unsigned> gTempCounter{0};
// A temporary not written for this long belongs to no run still going, even when a new
// process has taken its owner's number.
constexpr time_t kStaleSeconds = time_t{24} * 60 * 60;

// The folder part of Name, with its slash ("" for a name in the current folder).
std::string FolderOf(const std::string& name) {
  const auto slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string BaseOf(const std::string& name) {
  const auto slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// FNV-1a: the temporary's name has to identify its target, not to resist anyone.
uint32_t NameHash(const std::string& text) {
  uint32_t h = 2166136261U;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619U;
  }
  return h;
}

// ".tw-1A2B3C4D-": what every temporary of the target with this base name starts with.
std::string TemporaryPrefix(const std::string& target) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, ".tw-%08X-", NameHash(BaseOf(target)));
  return prefix;
}

bool ProcessGone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

std::string ReplacingFile::TemporaryName(const std::string& Target, pid_t Owner, unsigned Serial) {
  return FolderOf(Target) + TemporaryPrefix(Target) + std::to_string(Owner) + "-" +
         std::to_string(Serial);
}

void ReplacingFile::CheckTarget(const std::string& Target) {
  if (Target.empty()) {
    throw FileError::Create(Target, ENOENT);
  }
  struct stat st {};
  if (::lstat(Target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      throw NotRegular(Target, "replace", st.st_mode);
    }
  } else if (errno != ENOENT) {
    throw FileError::Create(Target, errno);
  }
  const std::string folderPart = FolderOf(Target);
  const std::string folder = folderPart.empty() ? "." : folderPart;
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0) {
    throw FileError::Create(Target, errno);
  }
  if (!S_ISDIR(dir.st_mode)) {
    throw FileError::Create(Target, ENOTDIR);
  }
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    throw FileError::Create(Target, errno);
  }
}

int ReplacingFile::RemoveStaleTemporaries(const std::string& Target) {
  const std::string folderPart = FolderOf(Target);
  const std::string prefix = TemporaryPrefix(Target);
  DIR* dir = ::opendir(folderPart.empty() ? "." : folderPart.c_str());
  if (dir == nullptr) {
    return 0;
  }
  const int dirFd = ::dirfd(dir);
  const time_t now = ::time(nullptr);
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    // The rest is "PID-SERIAL".
    const std::string rest = name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || dash > 10 ||
        rest.find_first_not_of("0123456789-") != std::string::npos) {
      continue;
    }
    const long owner = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    struct stat st {};
    if (owner <= 0 || owner == ::getpid() ||
        ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid()) {
      continue;
    }
    if (ProcessGone(static_cast<pid_t>(owner)) || now - st.st_mtime > kStaleSeconds) {
      removed += ::unlinkat(dirFd, name.c_str(), 0) == 0 ? 1 : 0;
    }
  }
  ::closedir(dir);
  return removed;
}

ReplacingFile::ReplacingFile(std::string Target) : target_(std::move(Target)) {
  CheckTarget(target_);
  RemoveStaleTemporaries(target_);
  struct stat old {};
  const bool replacing = ::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // A new file gets the user's umask applied to 0666, as any newly created file; one that
  // replaces a file starts private and takes the old file's access below.
  const mode_t mode = replacing ? 0600 : 0666;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName_ = TemporaryName(target_, ::getpid(), gTempCounter.fetch_add(1));
    // Known to the signal path before it exists: a signal between the two would otherwise
    // leave the file behind. The name holds this process's number, so it is nobody else's.
    registrySlot_ = RegisterTemporary(tempName_);
    fd_ = ::open(tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd_ >= 0) {
      if (replacing) {
        KeepAccessOf(old.st_uid, old.st_gid, old.st_mode);
      }
      return;
    }
    const int err = errno;
    UnregisterTemporary(std::exchange(registrySlot_, -1));
    if (err != EEXIST) {
      throw FileError::Create(target_, err);
    }
  }
  throw FileError::Create(target_, EEXIST);
}

void ReplacingFile::KeepAccessOf(uid_t Owner, gid_t Group, mode_t Mode) {
  struct stat now {};
  if (::fstat(fd_, &now) != 0) {
    return; // the file stays private, which is never wider than the old one
  }
  mode_t bits = Mode & 0777;
  if (now.st_uid != Owner || now.st_gid != Group) {
    // Only root may give the file away; anyone may pass it to a group of theirs.
    if (::fchown(fd_, Owner, Group) != 0 && ::fchown(fd_, static_cast<uid_t>(-1), Group) != 0) {
      // The group's bits would now open the file to another group than before.
      bits &= ~static_cast<mode_t>(S_IRWXG);
    }
  }
  // A failure leaves 0600, narrower than asked but never wider.
  (void)::fchmod(fd_, bits);
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  if (!committed_) {
    ::unlink(tempName_.c_str());
  }
  UnregisterTemporary(std::exchange(registrySlot_, -1));
  if (!undoName_.empty()) {
    ::unlink(undoName_.c_str());
  }
  UnregisterTemporary(std::exchange(undoSlot_, -1));
}

void ReplacingFile::Write(const void* Data, size_t Size) {
  if (fd_ < 0) {
    throw FileError::Write(target_, EBADF);
  }
  const auto* p = static_cast<const char*>(Data);
  while (Size > 0) {
    const ssize_t n = ::write(fd_, p, Size);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw FileError::Write(target_, errno);
    }
    if (n == 0) {
      throw FileError::Write(target_, ENOSPC);
    }
    p += n;
    Size -= static_cast<size_t>(n);
  }
}

void ReplacingFile::Finish() {
  if (fd_ < 0) {
    return;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::fsync(fd) != 0 && errno != EINVAL) {
    const int err = errno;
    ::close(fd);
    throw FileError::Write(target_, err);
  }
  if (::close(fd) != 0) {
    throw FileError::Write(target_, errno);
  }
}

void ReplacingFile::Commit() {
  Finish();
  // The target may have been swapped for a link or a device since the check; rename would
  // replace that instead of writing through it, but the user asked for a file.
  struct stat st {};
  if (::lstat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    throw NotRegular(target_, "replace", st.st_mode);
  }
  if (::rename(tempName_.c_str(), target_.c_str()) != 0) {
    throw FileError::Create(target_, errno);
  }
  committed_ = true;
  UnregisterTemporary(std::exchange(registrySlot_, -1));
}

void ReplacingFile::CommitRevertibly() {
  struct stat st {};
  replacedOld_ = ::lstat(target_.c_str(), &st) == 0;
  if (replacedOld_ && S_ISREG(st.st_mode)) {
    const std::string name = TemporaryName(target_, ::getpid(), gTempCounter.fetch_add(1));
    undoSlot_ = RegisterTemporary(name);
    if (::link(target_.c_str(), name.c_str()) == 0) {
      undoName_ = name;
    } else {
      UnregisterTemporary(std::exchange(undoSlot_, -1));
    }
  }
  Commit();
}

bool ReplacingFile::Revert() {
  if (!committed_) {
    return true;
  }
  if (!undoName_.empty()) {
    if (::rename(undoName_.c_str(), target_.c_str()) != 0) {
      return false;
    }
    undoName_.clear();
    UnregisterTemporary(std::exchange(undoSlot_, -1));
    return true;
  }
  return !replacedOld_ && ::unlink(target_.c_str()) == 0;
}

} // namespace tarnwick

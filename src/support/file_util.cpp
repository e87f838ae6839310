#include "support/file_util.hpp"

#include "support/errors.hpp"
#include "support/os_clock.hpp"
#include "support/os_process.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tarnwick {

namespace {

FileError NotRegular(const std::string& fileName, const char* verb, FileKind kind) {
  return {fileName, std::string("Cannot ") + verb + " file \"" + fileName + "\": it is " +
                        FileKindText(kind) + ", not a regular file"};
}

} // namespace

const char* FileKindText(FileKind Kind) {
  switch (Kind) {
  case FileKind::Regular:
    return "a regular file";
  case FileKind::Folder:
    return "a folder";
  case FileKind::SymbolicLink:
    return "a symbolic link";
  case FileKind::Fifo:
    return "a FIFO";
  case FileKind::CharacterDevice:
    return "a character device";
  case FileKind::BlockDevice:
    return "a block device";
  case FileKind::Socket:
    return "a socket";
  case FileKind::Unknown:
    break;
  }
  return "an unknown kind of file";
}

std::optional<size_t>
ReadWholeFileInto(const std::string& FileName, size_t MaxBytes, ReadOptions Options,
                  const std::function<char*(size_t Size, size_t Kept)>& Room) {
  OpenedFile opened = OpenForReading(FileName, Options);
  if (!opened.Refused && IsNotFound(opened.Error)) {
    return std::nullopt;
  }
  if (opened.Refused) {
    throw NotRegular(FileName, "read", *opened.Refused);
  }
  if (opened.Error) {
    throw FileError::Open(FileName, opened.Error);
  }
  const FileHandle& file = opened.File;
  const auto status = StatusOf(file);
  if (!status) {
    throw FileError::Read(FileName, status.Error);
  }
  if (status.Value.Kind == FileKind::Folder) {
    throw FileError::Open(FileName, EISDIR);
  }
  // Sized from the start: a GPX file can be tens of megabytes, and growing the text as it
  // comes in would copy it several times over. The byte more tells the end from a file that
  // grew.
  const uint64_t expected = status.Value.Size;
  if (expected > MaxBytes) {
    throw FileError::Read(FileName, EFBIG);
  }
  size_t size = static_cast<size_t>(expected) + 1;
  char* room = Room(size, 0);
  size_t used = 0;
  for (;;) {
    if (used == size) {
      size *= 2; // the file grew while it was read
      room = Room(size, used);
    }
    const size_t wanted = size - used;
    const auto n = ReadUpTo(file, std::span(reinterpret_cast<uint8_t*>(room) + used, wanted));
    if (!n) {
      throw FileError::Read(FileName, n.Error);
    }
    used += n.Value;
    if (used > MaxBytes) {
      throw FileError::Read(FileName, EFBIG);
    }
    if (n.Value < wanted) {
      return used;
    }
  }
}

std::optional<std::string> ReadWholeFile(const std::string& FileName, size_t MaxBytes,
                                         ReadOptions Options) {
  std::string content;
  const auto used = ReadWholeFileInto(FileName, MaxBytes, Options, [&](size_t Size, size_t) {
    content.resize(Size);
    return content.data();
  });
  if (!used) {
    return std::nullopt;
  }
  content.resize(*used);
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
      RemoveFileUnsafeContext(slot.Path);
    }
  }
}

// ---- ReplacingFile ----------------------------------------------------------------------

namespace {

std::atomic<unsigned> gTempCounter{0};
ReplacingFile::CommitFault gCommitFault;
// A temporary not written for this long belongs to no run still going, even when a new
// process has taken its owner's number.
constexpr int64_t kStaleSeconds = int64_t{24} * 60 * 60;

// Where the folder part of Name ends, just after its last separator (0: none).
size_t FolderLength(const std::string& name) {
  for (size_t i = name.size(); i > 0; --i) {
    if (IsPathSeparator(name[i - 1])) {
      return i;
    }
  }
  return 0;
}

// The folder part of Name, with its separator ("" for a name in the current folder).
std::string FolderOf(const std::string& name) {
  return name.substr(0, FolderLength(name));
}

std::string BaseOf(const std::string& name) {
  return name.substr(FolderLength(name));
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

} // namespace

std::string ReplacingFile::TemporaryName(const std::string& Target, ProcessId Owner,
                                         unsigned Serial) {
  return FolderOf(Target) + TemporaryPrefix(Target) + std::to_string(Owner) + "-" +
         std::to_string(Serial);
}

void ReplacingFile::CheckTarget(const std::string& Target) {
  if (Target.empty()) {
    throw FileError::Create(Target, ENOENT);
  }
  const auto target = StatusOf(Target, false);
  if (target) {
    if (target.Value.Kind != FileKind::Regular) {
      throw NotRegular(Target, "replace", target.Value.Kind);
    }
  } else if (!IsNotFound(target.Error)) {
    throw FileError::Create(Target, target.Error);
  }
  const std::string folderPart = FolderOf(Target);
  if (const auto error = CheckFolderWritable(folderPart.empty() ? "." : folderPart)) {
    throw FileError::Create(Target, error);
  }
}

int ReplacingFile::RemoveStaleTemporaries(const std::string& Target) {
  const std::string folderPart = FolderOf(Target);
  const std::string prefix = TemporaryPrefix(Target);
  const auto names = ListFolder(folderPart.empty() ? "." : folderPart);
  if (!names) {
    return 0;
  }
  const int64_t now = WallClockNow().Seconds;
  int removed = 0;
  for (const std::string& name : names.Value) {
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
    const long long owner = std::strtoll(rest.substr(0, dash).c_str(), nullptr, 10);
    const std::string path = folderPart + name;
    if (owner <= 0 || owner == CurrentProcessId()) {
      continue;
    }
    const auto st = StatusOf(path, false);
    if (!st || st.Value.Kind != FileKind::Regular || !st.Value.OwnedByMe) {
      continue;
    }
    if (!IsProcessAlive(owner) || now - st.Value.ModifiedSeconds > kStaleSeconds) {
      removed += RemoveFile(path) ? 0 : 1;
    }
  }
  return removed;
}

void ReplacingFile::SetCommitFaultForTests(CommitFault Fault) {
  gCommitFault = std::move(Fault);
}

ReplacingFile::ReplacingFile(std::string Target) : target_(std::move(Target)) {
  CheckTarget(target_);
  RemoveStaleTemporaries(target_);
  const auto old = StatusOf(target_, false);
  const bool replacing = old && old.Value.Kind == FileKind::Regular;
  // A new file gets the user's umask applied to 0666, as any newly created file; one that
  // replaces a file starts private and takes the old file's access below.
  const unsigned mode = replacing ? 0600 : 0666;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName_ = TemporaryName(target_, CurrentProcessId(), gTempCounter.fetch_add(1));
    // Known to the signal path before it exists: a signal between the two would otherwise
    // leave the file behind. The name holds this process's number, so it is nobody else's.
    registrySlot_ = RegisterTemporary(tempName_);
    auto created = CreateNewFile(tempName_, mode);
    if (created) {
      file_ = std::move(created.Value);
      if (replacing) {
        TakeAccessOf(file_, old.Value);
      }
      return;
    }
    UnregisterTemporary(std::exchange(registrySlot_, -1));
    if (!IsAlreadyExists(created.Error)) {
      throw FileError::Create(target_, created.Error);
    }
  }
  throw FileError::Create(target_, EEXIST);
}

ReplacingFile::~ReplacingFile() {
  file_.Close();
  if (!committed_) {
    RemoveFile(tempName_);
  }
  UnregisterTemporary(std::exchange(registrySlot_, -1));
  if (!undoName_.empty()) {
    RemoveFile(undoName_);
  }
  UnregisterTemporary(std::exchange(undoSlot_, -1));
}

void ReplacingFile::Write(const void* Data, size_t Size) {
  if (!file_.IsOpen()) {
    throw FileError::Write(target_, EBADF);
  }
  if (const auto error = WriteAll(file_, std::span(static_cast<const uint8_t*>(Data), Size))) {
    throw FileError::Write(target_, error);
  }
}

void ReplacingFile::Finish() {
  if (!file_.IsOpen()) {
    return;
  }
  FileHandle file = std::move(file_);
  if (const auto error = Flush(file)) {
    throw FileError::Write(target_, error);
  }
  if (const auto error = file.Close()) {
    throw FileError::Write(target_, error);
  }
}

void ReplacingFile::Commit() {
  Finish();
  // The target may have been swapped for a link or a device since the check; renaming would
  // replace that instead of writing through it, but the user asked for a file.
  const auto st = StatusOf(target_, false);
  if (st && st.Value.Kind != FileKind::Regular) {
    throw NotRegular(target_, "replace", st.Value.Kind);
  }
  std::error_code error = gCommitFault ? gCommitFault(target_) : std::error_code();
  if (!error) {
    error = MoveReplacing(tempName_, target_);
  }
  if (error) {
    throw FileError::Create(target_, error);
  }
  committed_ = true;
  UnregisterTemporary(std::exchange(registrySlot_, -1));
}

void ReplacingFile::CommitRevertibly() {
  const auto st = StatusOf(target_, false);
  replacedOld_ = static_cast<bool>(st);
  if (replacedOld_ && st.Value.Kind == FileKind::Regular) {
    const std::string name = TemporaryName(target_, CurrentProcessId(), gTempCounter.fetch_add(1));
    undoSlot_ = RegisterTemporary(name);
    if (!MakeHardLink(target_, name)) {
      undoName_ = name;
    } else {
#ifdef _WIN32
      // FAT and exFAT, common on removable drives, have no hard links: move the old file
      // aside instead. Readers briefly find no file, but a failed save can still put it back.
      Finish();
      if (!MoveReplacing(target_, name)) {
        undoName_ = name;
        try {
          Commit();
        } catch (...) {
          if (!MoveReplacing(name, target_)) {
            undoName_.clear();
            UnregisterTemporary(std::exchange(undoSlot_, -1));
          }
          throw;
        }
        return;
      }
#endif
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
    if (MoveReplacing(undoName_, target_)) {
      return false;
    }
    undoName_.clear();
    UnregisterTemporary(std::exchange(undoSlot_, -1));
    return true;
  }
  return !replacedOld_ && !RemoveFile(target_);
}

} // namespace tarnwick

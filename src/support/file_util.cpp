#include "support/file_util.hpp"

#include "support/errors.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

std::optional<std::string> ReadWholeFile(const std::string& FileName, size_t MaxBytes) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      return std::nullopt;
    }
    throw EFileError::Open(FileName, errno);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    throw EFileError::Read(FileName, errno);
  }
  if (S_ISDIR(st.st_mode)) {
    throw EFileError::Open(FileName, EISDIR);
  }
  // Sized from the start: a GPX file can be tens of megabytes, and growing the text as it
  // comes in would copy it several times over.
  const auto expected = static_cast<size_t>(std::max<off_t>(st.st_size, 0));
  if (expected > MaxBytes) {
    throw EFileError::Read(FileName, EFBIG);
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
      throw EFileError::Read(FileName, errno);
    }
    if (n == 0) {
      break;
    }
    used += static_cast<size_t>(n);
    if (used > MaxBytes) {
      throw EFileError::Read(FileName, EFBIG);
    }
  }
  content.resize(used);
  return content;
}

namespace {
std::atomic<unsigned> gTempCounter{0};
constexpr uint64_t kWritebackStep = uint64_t{1} << 20;
} // namespace

TReplacingFile::TReplacingFile(std::string Target) : FTarget(std::move(Target)) {
  // The kernel applies the user's umask to 0666, as for any newly created file.
  for (int attempt = 0; attempt < 100; ++attempt) {
    FTempName = FTarget + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(gTempCounter.fetch_add(1));
    FFd = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FFd >= 0) {
      return;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  throw EFileError::Create(FTarget, errno);
}

TReplacingFile::~TReplacingFile() {
  if (FFd >= 0) {
    ::close(FFd);
  }
  if (!FCommitted) {
    ::unlink(FTempName.c_str());
  }
}

void TReplacingFile::Write(const void* Data, size_t Size) {
  if (FFd < 0) {
    throw EFileError::Write(FTarget, EBADF);
  }
  const auto* p = static_cast<const char*>(Data);
  while (Size > 0) {
    const ssize_t n = ::write(FFd, p, Size);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw EFileError::Write(FTarget, errno);
    }
    if (n == 0) {
      throw EFileError::Write(FTarget, ENOSPC);
    }
    p += n;
    Size -= static_cast<size_t>(n);
    FWritten += static_cast<uint64_t>(n);
  }
  // Start writing large files out while more is being produced, so that the flush in Finish
  // has little left to wait for.
  if (FWritten - FKicked >= kWritebackStep) {
    ::sync_file_range(FFd, static_cast<off_t>(FKicked), static_cast<off_t>(FWritten - FKicked),
                      SYNC_FILE_RANGE_WRITE);
    FKicked = FWritten;
  }
}

void TReplacingFile::Finish() {
  if (FFd < 0) {
    return;
  }
  const int fd = FFd;
  FFd = -1;
  if (::fsync(fd) != 0 && errno != EINVAL) {
    const int err = errno;
    ::close(fd);
    throw EFileError::Write(FTarget, err);
  }
  if (::close(fd) != 0) {
    throw EFileError::Write(FTarget, errno);
  }
}

void TReplacingFile::Commit() {
  Finish();
  if (::rename(FTempName.c_str(), FTarget.c_str()) != 0) {
    throw EFileError::Create(FTarget, errno);
  }
  FCommitted = true;
}

} // namespace tarnwick

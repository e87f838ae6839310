#include "support/os_files.hpp"

#include "support/wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <algorithm>
#include <atomic>
#include <cstring>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

namespace tarnwick {

namespace {

HANDLE H(FileHandle::Native handle) {
  return static_cast<HANDLE>(handle);
}

std::error_code LastError() {
  return {static_cast<int>(::GetLastError()), std::system_category()};
}

std::error_code Win32Error(DWORD code) {
  return {static_cast<int>(code), std::system_category()};
}

// Readers, writers and renames may all go on while the file is open here: a reader must not
// keep the atomic replacement of the name from happening, as it would not on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Seconds since 1970 of a FILETIME (100 ns steps since 1601).
int64_t UnixSeconds(const FILETIME& time) {
  const uint64_t ticks = uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10'000'000) - int64_t{11'644'473'600};
}

FileKind KindOfType(DWORD type) {
  switch (type) {
  case FILE_TYPE_PIPE:
    return FileKind::Fifo;
  case FILE_TYPE_CHAR:
    return FileKind::CharacterDevice;
  default:
    return FileKind::Unknown;
  }
}

FileHandle OpenRaw(const std::string& name, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags) {
  return FileHandle(
      ::CreateFileW(Utf8ToWide(name).c_str(), access, share, nullptr, disposition, flags, nullptr));
}

} // namespace

std::string SystemErrorText(const std::error_code& Code) {
  if (Code.category() == std::system_category()) {
    return WindowsErrorText(static_cast<unsigned long>(Code.value()));
  }
  return Code.message();
}

bool IsNotFound(const std::error_code& Code) {
  if (Code.category() == std::system_category()) {
    return Code.value() == ERROR_FILE_NOT_FOUND || Code.value() == ERROR_PATH_NOT_FOUND;
  }
  return Code == std::errc::no_such_file_or_directory;
}

bool IsAlreadyExists(const std::error_code& Code) {
  if (Code.category() == std::system_category()) {
    return Code.value() == ERROR_FILE_EXISTS || Code.value() == ERROR_ALREADY_EXISTS;
  }
  return Code == std::errc::file_exists;
}

FileHandle::Native FileHandle::Invalid() {
  return INVALID_HANDLE_VALUE;
}

std::error_code FileHandle::Close() {
  if (!IsOpen()) {
    return {};
  }
  return ::CloseHandle(H(Release())) ? std::error_code() : LastError();
}

OpenedFile OpenForReading(const std::string& Name, ReadOptions Options) {
  OpenedFile result;
  // Backup semantics open a folder too, so that it is reported as one, as on POSIX.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS |
                      (Options.NoFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  result.File = OpenRaw(Name, GENERIC_READ, kShareAll, OPEN_EXISTING, flags);
  if (!result.File.IsOpen()) {
    result.Error = LastError();
    return result;
  }
  if (!Options.RegularOnly && !Options.NoFollow) {
    return result;
  }
  const auto status = StatusOf(result.File);
  if (!status) {
    result.Error = status.Error;
    result.File.Close();
    return result;
  }
  const FileKind kind = status.Value.Kind;
  const bool refused =
      (Options.NoFollow && kind == FileKind::SymbolicLink) ||
      (Options.RegularOnly && kind != FileKind::Regular && kind != FileKind::Folder);
  if (refused) {
    result.Refused = kind;
    result.Error = std::make_error_code(std::errc::invalid_argument);
    result.File.Close();
  }
  return result;
}

OsResult<FileHandle> CreateNewFile(const std::string& Name, unsigned Mode) {
  // The new file takes the access-control list its folder passes on; POSIX bits have no
  // counterpart beyond read-only, which a file still to be written cannot start with.
  (void)Mode;
  FileHandle file = OpenRaw(Name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file.IsOpen()) {
    return {FileHandle(), LastError()};
  }
  return {std::move(file), {}};
}

OsResult<FileHandle> OpenForAppending(const std::string& Name) {
  FileHandle file = OpenRaw(Name, GENERIC_READ | FILE_APPEND_DATA, kShareAll, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file.IsOpen()) {
    return {FileHandle(), LastError()};
  }
  const auto status = StatusOf(file);
  if (!status) {
    return {FileHandle(), status.Error};
  }
  if (status.Value.Kind == FileKind::SymbolicLink) {
    return {FileHandle(), std::make_error_code(std::errc::too_many_symbolic_link_levels)};
  }
  if (status.Value.Kind != FileKind::Regular) {
    return {FileHandle(), std::make_error_code(std::errc::invalid_argument)};
  }
  // A second name of another file would carry the lines to whoever can read that file.
  if (status.Value.Links != 1) {
    return {FileHandle(), std::make_error_code(std::errc::permission_denied)};
  }
  return {std::move(file), {}};
}

std::error_code WriteAll(const FileHandle& File, std::span<const uint8_t> Data) {
  const uint8_t* p = Data.data();
  size_t left = Data.size();
  while (left > 0) {
    const auto chunk = static_cast<DWORD>(std::min<size_t>(left, 1U << 30));
    DWORD n = 0;
    if (!::WriteFile(H(File.Get()), p, chunk, &n, nullptr)) {
      return LastError();
    }
    if (n == 0) {
      return std::make_error_code(std::errc::no_space_on_device);
    }
    p += n;
    left -= n;
  }
  return {};
}

OsResult<size_t> ReadUpTo(const FileHandle& File, std::span<uint8_t> Out) {
  size_t done = 0;
  while (done < Out.size()) {
    const auto chunk = static_cast<DWORD>(std::min<size_t>(Out.size() - done, 1U << 30));
    DWORD n = 0;
    if (!::ReadFile(H(File.Get()), Out.data() + done, chunk, &n, nullptr)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF) {
        break; // the writer closed its end: the end of the data
      }
      return {done, Win32Error(err)};
    }
    if (n == 0) {
      break;
    }
    done += n;
  }
  return {done, {}};
}

std::error_code ReadAt(const FileHandle& File, uint64_t Offset, std::span<uint8_t> Out) {
  // On a handle opened for synchronous use, a read at an offset also moves the file position;
  // it is put back so that ReadAt leaves the position alone as pread does.
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(H(File.Get()), LARGE_INTEGER{}, &position, FILE_CURRENT)) {
    return Win32Error(::GetLastError());
  }
  struct Restore {
    HANDLE Handle;
    LARGE_INTEGER Position;
    ~Restore() { ::SetFilePointerEx(Handle, Position, nullptr, FILE_BEGIN); }
  } restore{H(File.Get()), position};
  size_t done = 0;
  while (done < Out.size()) {
    const uint64_t at = Offset + done;
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(at);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto chunk = static_cast<DWORD>(std::min<size_t>(Out.size() - done, 1U << 30));
    DWORD n = 0;
    if (!::ReadFile(H(File.Get()), Out.data() + done, chunk, &n, &ov)) {
      const DWORD err = ::GetLastError();
      return err == ERROR_HANDLE_EOF ? std::make_error_code(std::errc::io_error) : Win32Error(err);
    }
    if (n == 0) {
      return std::make_error_code(std::errc::io_error); // the file ended before the range
    }
    done += n;
  }
  return {};
}

std::error_code Flush(const FileHandle& File) {
  if (!::FlushFileBuffers(H(File.Get()))) {
    const DWORD err = ::GetLastError();
    // A console or a pipe has nothing to put on a disk.
    if (err != ERROR_INVALID_HANDLE && err != ERROR_INVALID_FUNCTION) {
      return Win32Error(err);
    }
  }
  return {};
}

OsResult<FileStatus> StatusOf(const FileHandle& File) {
  FileStatus s;
  const DWORD type = ::GetFileType(H(File.Get()));
  if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) {
    return {{}, LastError()};
  }
  if (type != FILE_TYPE_DISK) {
    s.Kind = KindOfType(type);
    return {s, {}};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(H(File.Get()), &info)) {
    return {{}, LastError()};
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    s.Kind = FileKind::SymbolicLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    s.Kind = FileKind::Folder;
  } else {
    s.Kind = FileKind::Regular;
  }
  s.Size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  s.ModifiedSeconds = UnixSeconds(info.ftLastWriteTime);
  s.Identity = {info.dwVolumeSerialNumber,
                uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
  s.Links = info.nNumberOfLinks;
  return {s, {}};
}

OsResult<FileStatus> StatusOf(const std::string& Name, bool FollowLinks) {
  // No access asked for: the attributes can be read even of a file opened exclusively.
  const FileHandle file =
      OpenRaw(Name, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
              FILE_FLAG_BACKUP_SEMANTICS | (FollowLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT));
  if (!file.IsOpen()) {
    return {{}, LastError()};
  }
  return StatusOf(file);
}

void TakeAccessOf(const FileHandle& File, const FileStatus& Like) {
  (void)File;
  (void)Like;
}

namespace {

// 100 ns steps between 1601 and 1970.
constexpr int64_t kTicksTo1970 = int64_t{11'644'473'600} * 10'000'000;

int64_t UnixNanoseconds(const FILETIME& time) {
  const uint64_t ticks = uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
  return (static_cast<int64_t>(ticks) - kTicksTo1970) * 100;
}

FILETIME FileTimeOf(int64_t ns) {
  // Floor division: a time before 1970 rounds down as on POSIX.
  int64_t steps = ns / 100;
  if (ns % 100 < 0) {
    --steps;
  }
  const auto ticks = static_cast<uint64_t>(steps + kTicksTo1970);
  FILETIME t{};
  t.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFU);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

} // namespace

OsResult<FileTimes> TimesOf(const std::string& Name) {
  const FileHandle file = OpenRaw(Name, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file.IsOpen()) {
    return {{}, LastError()};
  }
  FILETIME accessed{};
  FILETIME modified{};
  if (!::GetFileTime(H(file.Get()), nullptr, &accessed, &modified)) {
    return {{}, LastError()};
  }
  return {{UnixNanoseconds(accessed), UnixNanoseconds(modified)}, {}};
}

std::error_code SetFileTimes(const std::string& Name, const FileTimes& Times) {
  const FileHandle file = OpenRaw(Name, FILE_WRITE_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!file.IsOpen()) {
    return LastError();
  }
  const FILETIME accessed = FileTimeOf(Times.AccessedNs);
  const FILETIME modified = FileTimeOf(Times.ModifiedNs);
  if (!::SetFileTime(H(file.Get()), nullptr, &accessed, &modified)) {
    return LastError();
  }
  return {};
}

bool IsSameFile(const std::string& First, const std::string& Second) {
  const auto a = StatusOf(First, true);
  const auto b = StatusOf(Second, true);
  return a && b && a.Value.Kind != FileKind::Fifo && a.Value.Kind != FileKind::CharacterDevice &&
         a.Value.Identity == b.Value.Identity;
}

std::error_code CheckFolderWritable(const std::string& Folder) {
  const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(Folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return LastError();
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::make_error_code(std::errc::not_a_directory);
  }
  // The read-only attribute of a folder means nothing to Windows, and its access-control
  // list is a matter for the system to judge: creating a file is the one sure test.
  static std::atomic<unsigned> serial{0};
  std::string probe = Folder;
  if (!probe.empty() && !IsPathSeparator(probe.back())) {
    probe += '\\';
  }
  probe += ".tw-probe-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(serial.fetch_add(1));
  const FileHandle file = OpenRaw(probe, GENERIC_WRITE, 0, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  return file.IsOpen() ? std::error_code() : LastError();
}

namespace {

// "D:P(A;OICI;FA;;;SID)": full access for the process's user alone, passed on to everything
// made inside, and none inherited from above. Empty when the user cannot be found out.
std::wstring OwnerOnlyAccessList() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return {};
  }
  const FileHandle tokenHandle(token); // closed as any handle
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<uint8_t> buffer(size);
  if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    return {};
  }
  LPWSTR sid = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid,
                                &sid)) {
    return {};
  }
  std::wstring list = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
  ::LocalFree(sid);
  return list;
}

} // namespace

std::error_code CreatePrivateFolder(const std::string& Folder) {
  const std::wstring list = OwnerOnlyAccessList();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (list.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          list.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return Win32Error(list.empty() ? ERROR_ACCESS_DENIED : ::GetLastError());
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const BOOL made = ::CreateDirectoryW(Utf8ToWide(Folder).c_str(), &attributes);
  const DWORD error = made ? NO_ERROR : ::GetLastError();
  ::LocalFree(descriptor);
  return made || error == ERROR_ALREADY_EXISTS ? std::error_code() : Win32Error(error);
}

std::error_code CheckPrivateFolder(const std::string& Folder) {
  const auto status = StatusOf(Folder, false);
  if (!status) {
    return status.Error;
  }
  if (status.Value.Kind == FileKind::SymbolicLink) {
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
  }
  if (status.Value.Kind != FileKind::Folder) {
    return std::make_error_code(std::errc::not_a_directory);
  }
  return {};
}

namespace {

// The rename of Windows 10 that replaces a file other handles still have open (with
// FILE_SHARE_DELETE), as rename does on POSIX; false when the system lacks it or refuses.
bool RenameWithPosixSemantics(const std::wstring& from, const std::wstring& to) {
  const FileHandle file(::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.IsOpen()) {
    return false;
  }
  // Without a root folder the name must be the full one in the kernel's form.
  const DWORD fullSize = ::GetFullPathNameW(to.c_str(), 0, nullptr, nullptr);
  if (fullSize == 0) {
    return false;
  }
  std::wstring full(fullSize, L'\0');
  const DWORD n = ::GetFullPathNameW(to.c_str(), fullSize, full.data(), nullptr);
  if (n == 0 || n >= fullSize) {
    return false;
  }
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) {
    return false; // a share or a device name: left to MoveFileExW
  }
  full.insert(0, L"\\??\\");
  const size_t nameBytes = full.size() * sizeof(wchar_t);
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  // Flags share their place with ReplaceIfExists; the headers name them only for newer
  // targets than the one this builds for, and older systems refuse the call.
  const DWORD flags = 0x1 | 0x2; // FILE_RENAME_FLAG_REPLACE_IF_EXISTS, _POSIX_SEMANTICS
  std::memcpy(buffer.data(), &flags, sizeof flags);
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy_n(full.data(), full.size(), info->FileName);
  constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  return ::SetFileInformationByHandle(H(file.Get()), kFileRenameInfoEx, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

} // namespace

std::error_code MoveReplacing(const std::string& From, const std::string& To) {
  const std::wstring from = Utf8ToWide(From);
  const std::wstring to = Utf8ToWide(To);
  if (RenameWithPosixSemantics(from, to)) {
    return {};
  }
  // Older systems, FAT, and file systems that refuse the form above: a reader holding the
  // target open then makes this fail instead of keeping the old content.
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? std::error_code()
             : LastError();
}

std::error_code MakeHardLink(const std::string& Existing, const std::string& NewName) {
  return ::CreateHardLinkW(Utf8ToWide(NewName).c_str(), Utf8ToWide(Existing).c_str(), nullptr)
             ? std::error_code()
             : LastError();
}

std::error_code RemoveFile(const std::string& Name) {
  return ::DeleteFileW(Utf8ToWide(Name).c_str()) ? std::error_code() : LastError();
}

bool RemoveFileUnsafeContext(const char* Name) noexcept {
  // No allocation: the thread that runs console-control handlers may find the heap in any
  // state the interrupted threads left it.
  wchar_t wide[4096];
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, Name, -1, wide, static_cast<int>(std::size(wide)));
  return n > 0 && ::DeleteFileW(wide);
}

OsResult<std::vector<std::string>> ListFolder(const std::string& Folder) {
  std::string pattern = Folder;
  if (!pattern.empty() && !IsPathSeparator(pattern.back())) {
    pattern += '\\';
  }
  pattern += '*';
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileExW(Utf8ToWide(pattern).c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    return {{}, LastError()};
  }
  std::vector<std::string> names;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(WideToUtf8(name));
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return {std::move(names), {}};
}

bool TryLockExclusive(const FileHandle& File) {
  OVERLAPPED ov{};
  return ::LockFileEx(H(File.Get()), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      MAXDWORD, MAXDWORD, &ov) != 0;
}

std::string TemporaryFolder() {
  wchar_t path[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(static_cast<DWORD>(std::size(path)), path);
  if (n == 0 || n > MAX_PATH) {
    return ".";
  }
  // GetTempPathW may give the short 8.3 form of a long user name.
  std::wstring folder(path, n);
  const DWORD longSize = ::GetLongPathNameW(folder.c_str(), nullptr, 0);
  if (longSize > 0) {
    std::wstring longForm(longSize, L'\0');
    const DWORD m = ::GetLongPathNameW(folder.c_str(), longForm.data(), longSize);
    if (m > 0 && m < longSize) {
      folder.assign(longForm.data(), m);
    }
  }
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) {
    folder.pop_back();
  }
  return WideToUtf8(folder);
}

namespace {

// Folder and Name joined by one separator.
std::string Joined(std::string folder, std::string_view name) {
  if (!folder.empty() && !IsPathSeparator(folder.back())) {
    folder += '\\';
  }
  return folder.append(name);
}

} // namespace

std::string UserStateFolder(std::string_view Program) {
  const DWORD size = ::GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  if (size == 0) {
    return {};
  }
  std::wstring value(size, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), size);
  if (n == 0 || n >= size) {
    return {};
  }
  value.resize(n);
  return Joined(WideToUtf8(value), Program);
}

std::string PrivateTemporaryFolder(std::string_view Program) {
  // The temporary folder of Windows is the user's own, inside the profile.
  return Joined(TemporaryFolder(), Program);
}

bool IsPathSeparator(char C) {
  return C == '/' || C == '\\';
}

} // namespace tarnwick

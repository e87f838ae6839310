#include "common/child_process.hpp"

#include "common/sanitizer_report.hpp"
#include "support/wide_text.hpp"

#include <algorithm>
#include <stdexcept>
#include <windows.h>

namespace tarnwick::test {

namespace {

using Clock = std::chrono::steady_clock;

// One argument as the C runtime's command-line splitter reads it back: quoted when it is
// empty or holds blanks or quotes; backslashes are doubled only before a quote.
std::wstring QuoteArgument(const std::wstring& Arg) {
  if (!Arg.empty() && Arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return Arg;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : Arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

void CloseQuietly(HANDLE& Handle) {
  if (Handle != nullptr && Handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(Handle);
  }
  Handle = nullptr;
}

// A pipe whose end Inherited is handed to the child; the other end stays with the test.
void MakePipe(HANDLE& Read, HANDLE& Write, bool ChildReads) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  if (!::CreatePipe(&Read, &Write, &sa, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  ::SetHandleInformation(ChildReads ? Write : Read, HANDLE_FLAG_INHERIT, 0);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& Argv, const std::string& WorkDir,
                           std::string Input)
    : program_(Argv.empty() ? std::string() : Argv[0]), input_(std::move(Input)) {
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr,
         errRead = nullptr, errWrite = nullptr;
  try {
    MakePipe(outRead, outWrite, false);
    MakePipe(errRead, errWrite, false);
    MakePipe(inRead, inWrite, true);
  } catch (...) {
    for (HANDLE* h : {&inRead, &inWrite, &outRead, &outWrite, &errRead, &errWrite}) {
      CloseQuietly(*h);
    }
    throw;
  }

  std::wstring commandLine;
  for (const auto& arg : Argv) {
    commandLine += (commandLine.empty() ? L"" : L" ") + QuoteArgument(Utf8ToWide(arg));
  }
  const std::wstring program = Utf8ToWide(Argv.at(0));
  const std::wstring dir = Utf8ToWide(WorkDir);

  // Only the three pipe ends are inherited, so no other test's pipe stays open in this child.
  HANDLE inherited[] = {inRead, outWrite, errWrite};
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> attributes(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  ::InitializeProcThreadAttributeList(list, 1, 0, &size);
  ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                              sizeof(inherited), nullptr, nullptr);
  STARTUPINFOEXW si{};
  si.StartupInfo.cb = sizeof(si);
  si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  si.StartupInfo.hStdInput = inRead;
  si.StartupInfo.hStdOutput = outWrite;
  si.StartupInfo.hStdError = errWrite;
  si.lpAttributeList = list;
  PROCESS_INFORMATION pi{};
  const BOOL started =
      ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT, nullptr,
                       dir.empty() ? nullptr : dir.c_str(), &si.StartupInfo, &pi);
  ::DeleteProcThreadAttributeList(list);
  CloseQuietly(inRead);
  CloseQuietly(outWrite);
  CloseQuietly(errWrite);
  if (!started) {
    CloseQuietly(inWrite);
    CloseQuietly(outRead);
    CloseQuietly(errRead);
    throw std::runtime_error("cannot start " + Argv[0]);
  }
  ::CloseHandle(pi.hThread);
  process_ = pi.hProcess;

  // Anonymous pipes cannot be polled: one thread per stream.
  const auto reader = [this](HANDLE Pipe, std::string& Sink) {
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(Pipe, buf, sizeof(buf), &n, nullptr) && n > 0) {
      const std::lock_guard<std::mutex> lock(mutex_);
      Sink.append(buf, n);
    }
    ::CloseHandle(Pipe);
  };
  outReader_ = std::thread(reader, outRead, std::ref(out_));
  errReader_ = std::thread(reader, errRead, std::ref(err_));
  // A program that does not read its input ends the writes with a broken pipe when it ends.
  inWriter_ = std::thread([this, inWrite] {
    size_t written = 0;
    DWORD n = 0;
    while (written < input_.size() &&
           ::WriteFile(inWrite, input_.data() + written,
                       static_cast<DWORD>(std::min<size_t>(input_.size() - written, 65536)), &n,
                       nullptr)) {
      written += n;
    }
    ::CloseHandle(inWrite);
  });
}

ChildProcess::~ChildProcess() {
  if (Wait(std::chrono::seconds(0)) < 0) {
    Kill();
    Wait(std::chrono::seconds(20));
  }
  JoinPipes();
  HANDLE process = process_;
  CloseQuietly(process);
}

void ChildProcess::JoinPipes() {
  for (std::thread* t : {&outReader_, &errReader_, &inWriter_}) {
    if (t->joinable()) {
      t->join();
    }
  }
}

template <typename Condition>
bool ChildProcess::WaitUntil(Condition Ready, std::chrono::seconds Timeout) {
  const auto end = Clock::now() + Timeout;
  for (;;) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (Ready()) {
        return true;
      }
    }
    if (Clock::now() >= end) {
      return false;
    }
    ::Sleep(20);
  }
}

std::string ChildProcess::FirstLine(std::chrono::seconds Timeout) {
  std::string line;
  WaitUntil(
      [&] {
        const auto nl = out_.find('\n');
        if (nl != std::string::npos) {
          line = out_.substr(0, nl);
          return true;
        }
        return ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
      },
      Timeout);
  return line;
}

bool ChildProcess::WaitForError(const std::string& Text, std::chrono::seconds Timeout) {
  return WaitUntil([&] { return err_.find(Text) != std::string::npos; }, Timeout);
}

void ChildProcess::Signal(int Signal) {
  if (process_ != nullptr && status_ < 0) {
    ::TerminateProcess(process_, static_cast<UINT>(128 + Signal));
  }
}

void ChildProcess::Kill() {
  Signal(9);
}

int ChildProcess::Wait(std::chrono::seconds Timeout) {
  if (status_ >= 0 || process_ == nullptr) {
    return status_;
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Timeout).count();
  if (::WaitForSingleObject(process_, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  status_ = static_cast<int>(code);
  // The pipes close when the program ends; what they held is then all collected.
  JoinPipes();
  ExpectNoSanitizerReport(program_, out_, err_, status_);
  return status_;
}

} // namespace tarnwick::test

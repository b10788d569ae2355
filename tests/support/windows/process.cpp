//===- tests/support/windows/process.cpp - Child processes on Windows -----===//
///
/// \file
/// The child-process runner on Windows: CreateProcessW with the child's
/// standard output and error on pipes (C runtime descriptors over the pipe
/// handles) and standard input from NUL, in a process group of its own so
/// that it can be sent Ctrl-Break. The pipes are read as the child writes
/// (PeekNamedPipe), and the exit code is the child's, or 128 + the signal
/// when the test ended it.
///
//===----------------------------------------------------------------------===//

#include "support/process.h"
#include "support/windows/wide_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <io.h>
#include <thread>

// After the project's headers: <windows.h> defines macros they would clash with.
#include <windows.h>

namespace velkor::test {

namespace {

/// One argument quoted as the C runtime's parser reads it back: backslashes
/// doubled before a quote and at the end, quotes escaped.
std::wstring Quoted(const std::wstring &arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

/// A pipe whose write end the child inherits; the read end becomes a C
/// runtime descriptor of the test's.
bool MakePipe(int &readFd, HANDLE &writeEnd) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
    return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  readFd = _open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY | _O_BINARY);
  return readFd >= 0;
}

/// The exit code of a child the test ended, as a Linux child killed by
/// SIGKILL (9) reads.
constexpr UINT kKilled = 128 + 9;

} // namespace

std::string CliProgram() { return std::string(VELKOR_BINARY_DIR) + "/bin/velkor-cli.exe"; }

CliProcess::CliProcess(const std::vector<std::string> &command,
                       const std::string &workingDirectory) {
  HANDLE outWrite = nullptr;
  HANDLE errWrite = nullptr;
  if (!MakePipe(outFd, outWrite) || !MakePipe(errFd, errWrite)) {
    ADD_FAILURE() << "CreatePipe: error " << GetLastError();
    return;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
  std::wstring line;
  for (const std::string &arg : command)
    line += (line.empty() ? L"" : L" ") + Quoted(Wide(arg));
  const std::wstring folder = Wide(workingDirectory);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                     nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    process = info.hProcess;
    pid = static_cast<pid_t>(info.dwProcessId);
  } else {
    ADD_FAILURE() << "CreateProcessW " << command.front() << ": error " << GetLastError();
  }
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  CloseHandle(null);
}

CliProcess::CliProcess(const std::vector<std::string> &command, OnTerminal) {
  ADD_FAILURE() << "no pseudo-terminal on Windows to run " << command.front() << " on";
}

CliProcess::~CliProcess() {
  if (process != nullptr) {
    TerminateProcess(process, kKilled);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
  }
  if (outFd >= 0)
    _close(outFd);
  if (errFd >= 0)
    _close(errFd);
}

bool CliProcess::ReadSome(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (outFd < 0 && errFd < 0)
      return false;
    bool any = false;
    for (int *fd : {&outFd, &errFd}) {
      if (*fd < 0)
        continue;
      DWORD available = 0;
      HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(*fd));
      std::string &sink = fd == &outFd ? result.out : result.err;
      if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
        // The child's end is closed: the end of this output.
        _close(*fd);
        *fd = -1;
        any = true;
      } else if (available > 0) {
        char buffer[65536];
        const int n = _read(*fd, buffer, available < sizeof buffer ? available : sizeof buffer);
        if (n > 0)
          sink.append(buffer, static_cast<std::size_t>(n));
        any = true;
      }
    }
    if (any)
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool CliProcess::WaitForOutput(const std::string &text) {
  while (result.out.find(text) == std::string::npos) {
    if (outFd < 0 || !ReadSome(60000))
      return false;
  }
  return true;
}

void CliProcess::Signal(int signal) const {
  if (process == nullptr)
    return;
  if (signal == SIGINT)
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid));
  else
    TerminateProcess(process, static_cast<UINT>(128 + signal));
}

ProcessResult CliProcess::Finish() {
  while ((outFd >= 0 || errFd >= 0) && process != nullptr) {
    if (ReadSome(100))
      continue;
    // Silent for a moment: done once the program has ended, even when a
    // program it started still holds the pipes open.
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
      while (ReadSome(0)) {
      }
      break;
    }
  }
  DWORD code = static_cast<DWORD>(-1);
  if (process != nullptr) {
    WaitForSingleObject(process, INFINITE);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    process = nullptr;
  }
  pid = -1;
  result.exitCode = static_cast<int>(code);
  return result;
}

} // namespace velkor::test

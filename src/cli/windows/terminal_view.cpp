//===- cli/windows/terminal_view.cpp - The console's kind and width -------===//
///
/// \file
/// The program writes UTF-8 with "\n" line ends, as on Linux. The C runtime's
/// text mode would put a carriage return before each line feed of a file or
/// pipe, so both streams are put into binary mode. A console is switched to
/// the UTF-8 code page, so that a name outside the ANSI code page prints as
/// it is rather than as question marks, and to the processing of terminal
/// sequences, which the live line uses; both are given back at the end.
///
//===----------------------------------------------------------------------===//

#include "cli/terminal_view.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace velkor::cli {
namespace {

/// The buffer of a stream that writes to a console (see PrepareStandardStreams).
constexpr std::size_t kConsoleBuffer = 64 * 1024;

/// What the program changed of the console, for giving it back at exit.
struct ConsoleState {
  UINT outputCodePage = 0; ///< 0 while unchanged
  HANDLE handles[2] = {};
  DWORD modes[2] = {};
  bool modeChanged[2] = {};
};
ConsoleState savedConsole;

HANDLE HandleOf(std::FILE *stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

void RestoreConsole() {
  for (int i = 0; i < 2; ++i) {
    if (savedConsole.modeChanged[i])
      SetConsoleMode(savedConsole.handles[i], savedConsole.modes[i]);
  }
  if (savedConsole.outputCodePage != 0)
    SetConsoleOutputCP(savedConsole.outputCodePage);
}

} // namespace

bool IsTerminal(std::FILE *stream) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(stream), &mode) &&
         (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalWidth(std::FILE *stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(HandleOf(stream), &info))
    return 0;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 0 ? width : 0;
}

int FailedWriteError() {
  // A write to a pipe without a reader fails with ERROR_NO_DATA (under Wine
  // ERROR_PIPE_NOT_CONNECTED), which the C runtime turns into EINVAL; the
  // system's own number tells.
  const unsigned long system = _doserrno;
  if (system == ERROR_NO_DATA || system == ERROR_PIPE_NOT_CONNECTED || system == ERROR_BROKEN_PIPE)
    return EPIPE;
  return errno;
}

void PrepareStandardStreams() {
  std::FILE *const streams[2] = {stdout, stderr};
  bool console = false;
  for (int i = 0; i < 2; ++i) {
    _setmode(_fileno(streams[i]), _O_BINARY);
    const HANDLE handle = HandleOf(streams[i]);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode))
      continue;
    console = true;
    // The C runtime writes an unbuffered console stream a byte at a time,
    // and the console decodes each write on its own, so a character of
    // several bytes would show as replacement characters: buffered, each
    // flush hands the console whole lines.
    std::setvbuf(streams[i], nullptr, _IOFBF, kConsoleBuffer);
    const DWORD wanted = mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    // A console without terminal sequences shows plain lines instead of
    // the live line (IsTerminal).
    if (wanted != mode && SetConsoleMode(handle, wanted)) {
      savedConsole.handles[i] = handle;
      savedConsole.modes[i] = mode;
      savedConsole.modeChanged[i] = true;
    }
  }
  if (console) {
    const UINT codePage = GetConsoleOutputCP();
    if (codePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
      savedConsole.outputCodePage = codePage;
  }
  std::atexit(RestoreConsole);
}

} // namespace velkor::cli

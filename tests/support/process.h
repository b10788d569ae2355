//===- tests/support/process.h - Programs run as child processes ----------===//
///
/// \file
/// The one child-process runner of the tests: velkor-cli (or any program,
/// searched in PATH) started with its standard output and error on pipes or
/// on a pseudo-terminal, read as it writes, signalled, and waited for. Plus
/// where the build keeps velkor-cli and the generated fixtures. On Windows
/// (windows/process.cpp) the child is started with CreateProcessW and has no
/// pseudo-terminal; SIGINT reaches it as Ctrl-Break, SIGKILL and SIGTERM end
/// it with TerminateProcess.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace velkor::test {

/// The program under test, from the build folder.
std::string CliProgram();

/// The folder of generated fixtures (tests/fixtures/make_fixtures.py output).
std::string FixturesDir();

/// A finished run: the exit status (128 + the signal when killed) and what
/// it wrote.
struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

/// A running program whose output the test reads as it comes.
class CliProcess {
public:
  /// Starts `command` (the first element is the program, searched in PATH)
  /// with standard input from /dev/null and its standard output and error
  /// on pipes; `workingDirectory` empty keeps the test's.
  explicit CliProcess(const std::vector<std::string> &command,
                      const std::string &workingDirectory = "");
  /// Starts `command` on a pseudo-terminal of `columns` columns with `term`
  /// as TERM: both outputs arrive as `out`.
  struct OnTerminal {
    int columns = 120;
    const char *term = "xterm";
  };
  CliProcess(const std::vector<std::string> &command, OnTerminal terminal);
  ~CliProcess();
  CliProcess(const CliProcess &) = delete;
  CliProcess &operator=(const CliProcess &) = delete;

  /// Reads standard output until it holds `text` (true) or ends or stays
  /// silent for a minute (false).
  bool WaitForOutput(const std::string &text);
  void Signal(int signal) const;
  /// The running program's process id.
  pid_t Pid() const { return pid; }
  /// Reads everything that is left and waits for the end.
  ProcessResult Finish();

private:
  bool ReadSome(int timeoutMs);
  pid_t pid = -1;
  void *process = nullptr; ///< Windows: the child's process handle
  int outFd = -1;
  int errFd = -1;
  ProcessResult result;
};

/// Runs `args[0]` (searched in PATH) with `args` to its end.
ProcessResult RunProcess(const std::vector<std::string> &args,
                         const std::string &workingDirectory = "");

/// Runs velkor-cli with `args` to its end.
ProcessResult RunCli(const std::vector<std::string> &args,
                     const std::string &workingDirectory = "");

/// Runs velkor-cli with `args` on a pseudo-terminal of `columns` columns, with
/// `term` as TERM, and answers what the terminal received.
ProcessResult RunCliOnTerminal(const std::vector<std::string> &args, int columns, const char *term);

/// True when the text holds a byte below 0x20 other than a line feed, or DEL.
bool HasControlCharacters(const std::string &text);

/// A run's text output without the summary's "Elapsed time:" line, the one
/// line that differs between two runs that did the same.
std::string WithoutElapsedTime(const std::string &out);

} // namespace velkor::test

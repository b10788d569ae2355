//===- tests/cli/cli_process.h - velkor-cli run as a child process --------===//
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

/// The program under test, from the build folder.
std::string CliProgram();

/// A finished run: the exit status (128 + the signal when killed) and what
/// it wrote.
struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

/// A running velkor-cli whose output the test reads as it comes.
class CliProcess {
public:
  /// Starts `command` (the first element is the program) with its standard
  /// output and error on pipes; `workingDirectory` empty keeps the test's.
  explicit CliProcess(const std::vector<std::string>& command,
                      const std::string& workingDirectory = "");
  /// Starts `command` on a pseudo-terminal (TERM=xterm, 120 columns): both
  /// outputs arrive as `out`.
  struct OnTerminal {};
  CliProcess(const std::vector<std::string>& command, OnTerminal);
  ~CliProcess();

  /// Reads standard output until it holds `text` (true) or ends (false).
  bool WaitForOutput(const std::string& text);
  void Signal(int signal) const;
  /// Reads everything that is left and waits for the end.
  CliResult Finish();

private:
  bool ReadSome();
  pid_t pid = -1;
  int outFd = -1;
  int errFd = -1;
  CliResult result;
};

/// Runs velkor-cli with `args` to its end.
CliResult RunCli(const std::vector<std::string>& args, const std::string& workingDirectory = "");

/// Runs velkor-cli with `args` on a pseudo-terminal of `columns` columns, with
/// `term` as TERM, and answers what the terminal received.
CliResult RunCliOnTerminal(const std::vector<std::string>& args, int columns, const char* term);

/// True when the text holds a byte below 0x20 other than a line feed, or DEL.
bool HasControlCharacters(const std::string& text);

//===- cli/command_support.h - Shared helpers of the velkor-cli commands ---===//
///
/// \file
/// What every command needs: the one table of exit codes, and the one-line
/// description of a compound-file error. Names and paths are written through
/// EscapeControlBytes (core/escape_text.h) by every command alike.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <exception>
#include <string>

namespace velkor::cli {

/// The exit statuses of every velkor-cli command.
inline constexpr int kExitSuccess = 0;   ///< done; a run is complete
inline constexpr int kExitFailure = 1;   ///< the command could not do its work;
                                         ///< a run ended with a message or an error
inline constexpr int kExitUsage = 2;     ///< bad command line: nothing was done
inline constexpr int kExitStopped = 130; ///< a run was stopped with Ctrl-C (128 + SIGINT)

/// The signals that stop a run, by their numbers, which every POSIX system
/// shares. On Windows the console's control events stand for them and give
/// the same exit statuses: Ctrl-C and Ctrl-Break SIGINT's, the console window
/// closed SIGHUP's, logoff and shutdown SIGTERM's.
inline constexpr int kHangupSignal = 1;     ///< SIGHUP: the terminal went away
inline constexpr int kInterruptSignal = 2;  ///< SIGINT: Ctrl-C
inline constexpr int kTerminateSignal = 15; ///< SIGTERM: ended from outside

/// The exit status of a run stopped by `signal` (SIGINT, SIGTERM or SIGHUP):
/// 128 plus its number, as shells report a program the signal ended.
inline constexpr int ExitStatusOfStopSignal(int signal) { return 128 + signal; }

/// The text of a system error number as the file-system layer reports it
/// (TTFileException::systemError): an errno value on Linux, a GetLastError
/// value on Windows.
std::string SystemErrorText(unsigned long error);

/// The calling thread's last system error, in the form SystemErrorText reads.
unsigned long LastSystemError();

/// The reason for a failure, for the user: "not a compound file: bad
/// signature (header, value 0x...)", "in use by another program", "No space
/// left on device (write)". Falls back to what() for other exceptions.
std::string DescribeError(const std::exception &error);

/// A byte count with thousands separators: 1,234,567.
std::string FormatBytes(unsigned long long bytes);

} // namespace velkor::cli

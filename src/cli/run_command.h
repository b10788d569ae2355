//===- cli/run_command.h - `velkor-cli [OPTION]... PATH...`: the compaction run ===//
///
/// \file
/// The run command of velkor-cli: parses the options, checks the PATH
/// arguments, and hands the run to the engine with a terminal progress view.
/// The run, its counters and its messages are the engine's; this command
/// adds nothing to its rules.
///
//===----------------------------------------------------------------------===//
#pragma once

namespace velkor::cli {

/// Runs `velkor-cli [OPTION]... PATH...` (argv[0] is the program name) and
/// answers the exit status: 0 complete, 1 ended by a message or an error,
/// 2 bad usage, 130 stopped with Ctrl-C, 143 stopped by SIGTERM, 129 stopped
/// by SIGHUP.
int RunCommand(int argc, const char *const *argv);

/// Lets a write to a pipe whose reader went away fail (EPIPE) rather than
/// end the program in the middle of a document.
void IgnoreBrokenPipes();

/// Leaves the program without a word, as a write to a pipe without a reader
/// ends the GNU tools: on Linux by SIGPIPE itself, on Windows with the same
/// exit status, 141 (128 + SIGPIPE). Answers that status should the program
/// still be running.
int LeaveForBrokenPipe();

} // namespace velkor::cli

//===- cli/windows/run_command.cpp - The run and a pipe without a reader --===//

#include "cli/run_command.h"

namespace velkor::cli {

namespace {

/// The exit status Linux reports for a program SIGPIPE ended (128 + 13).
constexpr int kBrokenPipeStatus = 141;

} // namespace

void IgnoreBrokenPipes() {
  // Windows has no SIGPIPE: a write to a pipe without a reader fails.
}

int LeaveForBrokenPipe() { return kBrokenPipeStatus; }

} // namespace velkor::cli

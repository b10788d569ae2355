//===- cli/unix/run_command.cpp - The run and SIGPIPE ---------------------===//

#include "cli/run_command.h"

#include <csignal>

namespace velkor::cli {

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

int LeaveForBrokenPipe() {
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
  return 128 + SIGPIPE;
}

} // namespace velkor::cli

//===- cli/run_ending.h - How a run of velkor-cli ended --------------------===//
#pragma once

#include <array>
#include <string>

#include "cli/command_support.h"
#include "engine/progress_view.h"

namespace velkor::cli {

/// The exit status that follows from how a run ended: complete 0, stopped
/// 128 plus the number of the signal that stopped it (`stopSignal`: 130 for
/// Ctrl-C, 143 for SIGTERM, 129 for SIGHUP; 130 when the run stopped for
/// another reason), ended by a message or an error 1.
inline int ExitStatusOf(RunEnding ending, int stopSignal = 0) {
  switch (ending) {
  case RunEnding::complete:
    return kExitSuccess;
  case RunEnding::stopped:
    return stopSignal != 0 ? ExitStatusOfStopSignal(stopSignal) : kExitStopped;
  case RunEnding::message:
  case RunEnding::error:
    break;
  }
  return kExitFailure;
}

/// The labels of the seven counters, as the progress window shows them.
inline constexpr std::array<const char *, 7> kCounterLabels = {
    "Total files:",
    "Document files:",
    "Compressed files:",
    "Bytes before compression:",
    "Bytes after compression:",
    "Bytes reduced:",
    "Compression ratio:",
};

} // namespace velkor::cli

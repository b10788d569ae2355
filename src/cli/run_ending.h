//===- cli/run_ending.h - How a run of velkor-cli ended --------------------===//
#pragma once

#include <array>
#include <string>

namespace cli {

/// How a run ended; the exit status follows from it.
enum class RunEnding {
  complete,  ///< "Process is complete": exit status 0
  stopped,   ///< "Process was stopped" after Ctrl-C: exit status 130
  message,   ///< another message of the run ended it: exit status 1
  error,     ///< a file-system error ended it: exit status 1
};

/// Exit statuses of velkor-cli.
inline constexpr int kExitComplete = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStopped = 130;

inline int ExitStatusOf(RunEnding ending) {
  switch (ending) {
    case RunEnding::complete: return kExitComplete;
    case RunEnding::stopped: return kExitStopped;
    case RunEnding::message:
    case RunEnding::error: break;
  }
  return kExitFailed;
}

/// The seven counter texts as the run last showed them, in the order of the
/// progress window's fields (total, document, compressed files, bytes before,
/// bytes after, bytes reduced, ratio).
using CounterTexts = std::array<std::string, 7>;

/// The labels of the seven counters, as the progress window shows them.
inline constexpr std::array<const char*, 7> kCounterLabels = {
    "Total files:",
    "Document files:",
    "Compressed files:",
    "Bytes before compression:",
    "Bytes after compression:",
    "Bytes reduced:",
    "Compression ratio:",
};

}  // namespace cli

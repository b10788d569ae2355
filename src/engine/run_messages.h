//===- engine/run_messages.h - The fixed texts a run shows -----------------===//
///
/// \file
/// Every text the run shows the user, in one place, so that the front ends
/// and their tests compare against the same bytes.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/progress_view.h"

namespace RunMessage {
inline constexpr char kNoWildcards[] = "You must specify files and wildcars field";
inline constexpr char kNoItemsSelected[] = "No items were selected";
inline constexpr char kCannotOpenProgress[] = "Can not open progress form";
inline constexpr char kStopped[] = "Process was stopped";
inline constexpr char kComplete[] = "Process is complete";
inline constexpr char kCreateTmpError[] = "Create tmp document error";
/// "can not set " + directory + " directory"
inline constexpr char kCannotSetPrefix[] = "can not set ";
inline constexpr char kCannotSetSuffix[] = " directory";
} // namespace RunMessage

namespace RunCaption {
inline constexpr char kCompressing[] = "Compressing files";
inline constexpr char kEstimating[] = "Estimating compression ratio";
} // namespace RunCaption

namespace RunStatus {
inline constexpr char kScanning[] = "Scanning";
inline constexpr char kCompressing[] = "Compressing";
} // namespace RunStatus

/// The status line's text for a phase.
inline const char *PhaseText(RunPhase phase) {
  switch (phase) {
  case RunPhase::scanning:
    return RunStatus::kScanning;
  case RunPhase::compressing:
    return RunStatus::kCompressing;
  }
  return "";
}

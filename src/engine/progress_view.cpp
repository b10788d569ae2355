//===- engine/progress_view.cpp - The identifiers of outcomes and endings ===//

#include "engine/progress_view.h"

const char *OutcomeName(DocumentOutcome outcome) {
  switch (outcome) {
  case DocumentOutcome::replaced:
    return "replaced";
  case DocumentOutcome::wouldShrink:
    return "wouldShrink";
  case DocumentOutcome::notSmaller:
    return "notSmaller";
  case DocumentOutcome::passedOver:
    return "passedOver";
  case DocumentOutcome::endedRun:
    return "endedRun";
  case DocumentOutcome::replacedThenEndedRun:
    return "replacedThenEndedRun";
  }
  return "unknown";
}

const char *TempFileFindingText(TempFileFinding finding) {
  switch (finding) {
  case TempFileFinding::removedCopy:
    return "abandoned temporary file, removed";
  case TempFileFinding::abandonedCopy:
    return "abandoned temporary file, would be removed";
  case TempFileFinding::leftover:
    return "leftover, kept: not a temporary copy (it may be a document's old file); look at it";
  }
  return "unknown";
}

const char *EndingName(RunEnding ending) {
  switch (ending) {
  case RunEnding::complete:
    return "complete";
  case RunEnding::stopped:
    return "stopped";
  case RunEnding::message:
    return "message";
  case RunEnding::error:
    return "error";
  }
  return "unknown";
}

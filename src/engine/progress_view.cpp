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

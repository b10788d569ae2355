//===- engine/user_abort.cpp - The silent end of a command ---------------===//

#include "engine/user_abort.h"

#include "engine/progress_view.h"

void AbortWithMessage(ProgressView &view, const char *text, RunEnding ending) {
  view.ShowMessage(text);
  throw UserAbort{ending};
}

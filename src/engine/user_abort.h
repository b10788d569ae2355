//===- engine/user_abort.h - The silent end of a command after its message -===//
///
/// \file
/// A command that has told the user why it cannot go on (a modal message)
/// ends by throwing UserAbort. The command's entry (the Qt dispatch wrapper,
/// velkor-cli's main) catches it and says nothing more: the message has been
/// shown already. Unwinding performs the clean-up.
///
/// UserAbort deliberately derives from nothing, so that a handler for
/// std::exception or TTException never swallows it by accident.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "engine/progress_view.h"

/// Thrown right after a message box; says only which ending of a run the
/// message announced (a stop, or another message).
struct UserAbort {
  RunEnding ending = RunEnding::message;
};

/// Shows `text` as a modal message through the view, then throws UserAbort
/// with `ending`.
[[noreturn]] void AbortWithMessage(ProgressView &view, const char *text,
                                   RunEnding ending = RunEnding::message);

//===- desktop/user_command.h - One user command and its failure message --===//
///
/// \file
/// Every command of the desktop windows (a button, a key, a double click)
/// runs through here. A command that has shown its own message ends by
/// throwing UserAbort, which ends silently; any other exception that escapes
/// (a failed file operation, for one) becomes one message that names the
/// error and the file, such as "access denied: /srv/docs/a.doc". Each front
/// end shows that message in its own message box.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <functional>
#include <string>

/// Runs `command`; hands the text of an escaping failure (UTF-8 display
/// text) to `showMessage`.
void RunUserCommand(const std::function<void()> &command,
                    const std::function<void(const std::string &text)> &showMessage);

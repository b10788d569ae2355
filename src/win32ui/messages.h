//===- win32ui/messages.h - The program's message box ----------------------===//
///
/// \file
/// Every message of the program is the same kind of box: modal, owned by the
/// active window, captioned "Velkor", the warning icon and one OK button.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <functional>
#include <string_view>

#include <windows.h>

/// The caption of every message box and of the main window.
inline constexpr wchar_t kProgramName[] = L"Velkor";

/// Shows `text` (UTF-8 display text) modally and returns once the user has
/// dismissed it. A disabled owner is not used: the box would be disabled
/// with it.
void ShowWarning(HWND owner, std::string_view text);

/// Runs one user command. A command that has shown its message ends by
/// throwing UserAbort, which ends here silently. Any other exception that
/// escapes is shown here as a message that names the error and the file
/// (DescribeCurrentException), as the Linux window does.
void RunCommand(HWND owner, const std::function<void()> &command);

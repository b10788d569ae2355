//===- win32ui/messages.cpp - The program's message box --------------------===//

#include "win32ui/messages.h"

#include "desktop/user_command.h"
#include "win32ui/window_text.h"

void ShowWarning(HWND owner, std::string_view text) {
  // A box owned by a disabled window would be disabled with it and could not
  // be answered; it then stands on its own.
  if (owner && !IsWindowEnabled(owner))
    owner = nullptr;
  MessageBoxW(owner, WideText(text).c_str(), kProgramName, MB_OK | MB_ICONWARNING);
}

void RunCommand(HWND owner, const std::function<void()> &command) {
  RunUserCommand(command, [owner](const std::string &text) { ShowWarning(owner, text); });
}

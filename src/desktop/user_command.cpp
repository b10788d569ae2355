//===- desktop/user_command.cpp - One user command and its failure message ===//

#include "desktop/user_command.h"

#include "desktop/display_text.h"
#include "engine/run_failure.h"
#include "engine/user_abort.h"

void RunUserCommand(const std::function<void()> &command,
                    const std::function<void(const std::string &text)> &showMessage) {
  try {
    command();
  } catch (const UserAbort &) {
    // The command has shown its message already.
  } catch (...) {
    const std::string text = DescribeCurrentException();
    if (!text.empty())
      showMessage(DisplayText(text));
  }
}

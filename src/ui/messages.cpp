//===- ui/messages.cpp - The program's message box -------------------------===//

#include "ui/messages.h"

#include "engine/run_failure.h"
#include "engine/user_abort.h"
#include "ui/display_name.h"

#include <QMessageBox>

void ShowWarning(QWidget *owner, const QString &text) {
  // A box owned by a disabled window would be disabled with it and could not
  // be answered; it then stands on its own, modal for the whole program.
  if (owner && !owner->isEnabled())
    owner = nullptr;
  QMessageBox::warning(owner, kProgramName, text, QMessageBox::Ok);
}

void RunCommand(QWidget *owner, const std::function<void()> &command) {
  try {
    command();
  } catch (const UserAbort &) {
    // The command has shown its message already.
  } catch (...) {
    const std::string text = DescribeCurrentException();
    if (!text.empty())
      ShowWarning(owner, DisplayName(text));
  }
}

//===- ui/messages.cpp - The program's message box -------------------------===//

#include "ui/messages.h"

#include "desktop/user_command.h"

#include <QMessageBox>

void ShowWarning(QWidget *owner, const QString &text) {
  // A box owned by a disabled window would be disabled with it and could not
  // be answered; it then stands on its own, modal for the whole program.
  if (owner && !owner->isEnabled())
    owner = nullptr;
  QMessageBox::warning(owner, kProgramName, text, QMessageBox::Ok);
}

void RunCommand(QWidget *owner, const std::function<void()> &command) {
  RunUserCommand(command, [owner](const std::string &text) {
    ShowWarning(owner, QString::fromStdString(text));
  });
}

//===- ui/messages.cpp - The program's message box -------------------------===//

#include "ui/messages.h"

#include <QMessageBox>

void ShowWarning(QWidget *owner, const QString &text) {
  QMessageBox::warning(owner, kProgramName, text, QMessageBox::Ok);
}

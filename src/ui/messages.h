//===- ui/messages.h - The program's message box ---------------------------===//
///
/// \file
/// Every message of the program is the same kind of box: modal, owned by the
/// active window, captioned with the program's name, the warning icon and
/// one OK button.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QString>

#include <functional>

class QWidget;

/// The caption of every message box and of the main window.
inline const QString kProgramName = QStringLiteral("Velkor");

/// Shows `text` modally and returns once the user has dismissed it.
void ShowWarning(QWidget *owner, const QString &text);

/// Runs one user command. A command that has shown its message ends by
/// throwing UserAbort, which ends here silently. Any other exception that
/// escapes (a failed file operation, for one) is shown here as a message that
/// names the error and the file, such as "access denied: /srv/docs/a.doc".
void RunCommand(QWidget *owner, const std::function<void()> &command);

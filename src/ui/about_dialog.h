//===- ui/about_dialog.h - The About box -----------------------------------===//
///
/// \file
/// AboutDialog names the program and its version and offers two buttons that
/// hand the maker's web page and mail address to the desktop. Each button
/// shows its own target as its caption, and exactly that text is opened.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "ui_about_dialog.h"

#include <QDialog>

class AboutDialog : public QDialog {
  Q_OBJECT

public:
  explicit AboutDialog(QWidget *parent);

  const Ui::AboutDialog &Form() const { return ui; }

  /// The program's version as the desktop program shows it ("1.00"), made
  /// from the build's version number.
  static QString VersionText();

private:
  /// Hands the caption of a link button to the desktop's default program
  /// for it; the box stays open. A desktop with nothing to open it (no
  /// xdg-open, no browser or mail program) is told in a message that names
  /// the link.
  void OpenLink(const QPushButton *button);

  Ui::AboutDialog ui;
};

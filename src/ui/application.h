//===- ui/application.h - Program start-up ---------------------------------===//
///
/// \file
/// Application starts the desktop program: it shows the main window modally
/// and ends the program as soon as that window closes. Nothing is read from
/// the command line, the environment or any settings, and nothing is saved.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QApplication>

class Application : public QApplication {
  Q_OBJECT

public:
  Application(int &argc, char **argv);

  /// Shows the main window until it closes; the answer is the exit status.
  int Run();
};

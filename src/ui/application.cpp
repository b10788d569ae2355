//===- ui/application.cpp - Program start-up -------------------------------===//

#include "ui/application.h"

#include "ui/about_dialog.h"
#include "ui/icons.h"
#include "ui/main_dialog.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("velkor"));
  setApplicationVersion(AboutDialog::VersionText());
  // Lets the desktop match the windows with velkor.desktop and its icon.
  setDesktopFileName(QStringLiteral("velkor"));
  setWindowIcon(ApplicationIcon());
}

int Application::Run() {
  MainDialog dialog;
  dialog.exec();
  return 0;
}

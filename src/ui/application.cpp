//===- ui/application.cpp - Program start-up -------------------------------===//

#include "ui/application.h"

#include "ui/about_dialog.h"
#include "ui/icons.h"
#include "ui/main_dialog.h"
#include "ui/session_end.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("velkor"));
  setApplicationVersion(AboutDialog::VersionText());
  // Lets the desktop match the windows with velkor.desktop and its icon.
  setDesktopFileName(QStringLiteral("velkor"));
  setWindowIcon(ApplicationIcon());
}

int Application::Run() {
  MainDialog dialog;
  SessionEndSignals sessionEnd;
  connect(&sessionEnd, &SessionEndSignals::Received, &dialog, &MainDialog::EndSession);
  // At logout the session manager asks for the data first; a run stops
  // between documents then, queued so that the request is answered at once.
  connect(this, &QGuiApplication::commitDataRequest, &dialog, &MainDialog::EndSession,
          Qt::QueuedConnection);
  connect(this, &QCoreApplication::aboutToQuit, &dialog, &MainDialog::EndSession);
  dialog.exec();
  return 0;
}

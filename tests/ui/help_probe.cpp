//===- tests/ui/help_probe.cpp - Presses Help in a running velkor ----------===//
///
/// \file
/// A Qt generic plugin that the installed program loads on request
/// (QT_PLUGIN_PATH naming this build's tests/plugins folder and
/// QT_QPA_GENERIC_PLUGINS=velkorhelpprobe), so that a test can drive the
/// program as it is shipped, with no hook of its own. Once the main window is
/// up, the probe presses its Help button, prints what was handed to the
/// desktop ("help page: PATH") and any message box the program showed
/// ("message: TEXT"), and closes the window, which ends the program.
///
//===----------------------------------------------------------------------===//

#include "ui_test_support.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGenericPlugin>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

class HelpProbe : public QObject {
public:
  HelpProbe() : answerer([this](QWidget *modal) { return PressHelp(modal); }) {
    // A program that never shows its main window fails the check rather
    // than hanging it.
    QTimer::singleShot(30000, this, [] {
      std::fputs("velkor-help-probe: the main window never came up\n", stderr);
      std::_Exit(3);
    });
  }

private:
  bool PressHelp(QWidget *modal) {
    auto *window = qobject_cast<QDialog *>(modal);
    auto *help =
        window ? window->findChild<QAbstractButton *>(QStringLiteral("helpButton")) : nullptr;
    if (!help)
      return false;
    if (pressed)
      return true;
    pressed = true;
    help->click();
    // A message box the click opened is answered by the next polls; the
    // report waits for them.
    QTimer::singleShot(500, window, [this, window] { Report(window); });
    return true;
  }

  void Report(QDialog *window) {
    for (const QUrl &url : desktop.opened)
      std::printf("help page: %s\n", qPrintable(url.toLocalFile()));
    for (const QString &message : answerer.messages)
      std::printf("message: %s\n", qPrintable(message));
    std::fflush(stdout);
    window->reject();
  }

  bool pressed = false;
  UrlRecorder desktop{{QStringLiteral("file")}};
  ModalAnswerer answerer;
};

} // namespace

class HelpProbePlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "help_probe.json")

public:
  QObject *create(const QString &, const QString &) override { return new HelpProbe; }
};

#include "help_probe.moc"

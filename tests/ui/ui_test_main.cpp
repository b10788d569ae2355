//===- tests/ui/ui_test_main.cpp - Runs the window tests in an application -===//
///
/// \file
/// The window tests drive real widgets, so they need an application object.
/// They run on Qt's offscreen platform, where a shown window becomes active
/// at once; on an X server they would need a window manager for that.
///
//===----------------------------------------------------------------------===//

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>

namespace {

/// Keeps the offscreen platform's notes about window-manager calls it cannot
/// carry out (raise, size hints) out of the test output.
QtMessageHandler standardHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  if (text.startsWith(QLatin1String("This plugin does not support")))
    return;
  if (standardHandler)
    standardHandler(type, context, text);
  else
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  standardHandler = qInstallMessageHandler(FilterMessages);
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

//===- app/main.cpp - The Velkor desktop program ---------------------------===//
///
/// \file
/// Starts the window. Before Qt is asked for a window, --help and --version
/// are answered on standard output, and a start without a graphical session
/// (over SSH, in a text console) is told so in one line that points to
/// velkor-cli, instead of ending in the platform plugin's abort. Qt's own
/// options (-platform, -style, ...) are left to Qt; any other argument is bad
/// usage.
///
//===----------------------------------------------------------------------===//

#include "core/escape_text.h"
#include "core/heap_reuse.h"
#include "ui/application.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr char kVersion[] = VELKOR_VERSION;

constexpr char kHelp[] =
    "Usage: velkor [OPTION]...\n"
    "Open the Velkor window, which makes compound documents (*.doc, *.xls)\n"
    "smaller without changing their content. The window needs a graphical\n"
    "session (X11 or Wayland); in a terminal, over SSH and in scripts,\n"
    "velkor-cli does the same job (see velkor-cli --help).\n"
    "\n"
    "Options:\n"
    "  -h, --help       display this help and exit\n"
    "  -V, --version    output version information and exit\n"
    "Qt's own options, such as -platform NAME or -style NAME, are accepted too.\n"
    "\n"
    "The Help button of the window opens the full documentation.\n"
    "\n"
    "Exit status:\n"
    "  0  the window was closed, or the session ended (SIGTERM, SIGHUP, logout:\n"
    "     a run in progress stops between documents first)\n"
    "  1  there is no graphical session, or the window cannot be opened there\n"
    "  2  bad usage: an unknown argument\n";

bool IsOneOf(const char *argument, const char *shortForm, const char *longForm) {
  return std::strcmp(argument, shortForm) == 0 || std::strcmp(argument, longForm) == 0;
}

bool NamesQtOption(int argc, char **argv, const char *name) {
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] == '-' && std::strcmp(argv[i] + (argv[i][1] == '-' ? 2 : 1), name) == 0)
      return true;
  return false;
}

/// True when Qt has somewhere to open the window: a platform chosen by hand,
/// or an X11 or Wayland display to connect to.
bool HasGraphicalSession(int argc, char **argv) {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || NamesQtOption(argc, argv, "platform") ||
         NamesQtOption(argc, argv, "display");
}

/// While Qt starts: a display that is set but cannot be reached (a stale
/// DISPLAY, X forwarding that is off) makes the platform plugin end the
/// process with a fatal message and an abort. Its warnings above name the
/// cause; the fatal message itself is replaced by a plain line and status 1.
QtMessageHandler qtHandler = nullptr;

void StartUpMessages(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  if (type != QtFatalMsg) {
    if (qtHandler)
      qtHandler(type, context, text);
    return;
  }
  std::fputs("velkor: the window cannot be opened: no Qt platform plugin could start on this "
             "session; velkor-cli works without one\n",
             stderr);
  std::fflush(stderr);
  ::_exit(1);
}

} // namespace

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    if (IsOneOf(argv[i], "-h", "--help")) {
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (IsOneOf(argv[i], "-V", "--version")) {
      std::printf("velkor (Velkor) %s\n", kVersion);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
  }
  if (!HasGraphicalSession(argc, argv)) {
    std::fputs("velkor: needs a graphical session, and neither DISPLAY nor WAYLAND_DISPLAY is "
               "set; use velkor-cli in a terminal or over SSH\n",
               stderr);
    return 1;
  }

  KeepFreedMemoryForReuse();
  qtHandler = qInstallMessageHandler(StartUpMessages);
  Application application(argc, argv);
  qInstallMessageHandler(qtHandler);

  // Qt has taken its own options out of the arguments; what is left is not
  // the program's.
  if (argc > 1) {
    std::fprintf(stderr,
                 "velkor: unrecognized argument '%s'\n"
                 "Try 'velkor --help' for more information.\n",
                 EscapeControlBytes(argv[1]).c_str());
    return 2;
  }
  return application.Run();
}

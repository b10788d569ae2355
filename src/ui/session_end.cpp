//===- ui/session_end.cpp - SIGTERM and SIGHUP as Qt signals ---------------===//

#include "ui/session_end.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

/// The pipe's writing end, for the handler; -1 while no instance exists.
volatile sig_atomic_t writeEnd = -1;

void WriteSignalNumber(int signal) {
  const int savedErrno = errno; // the interrupted code may be about to read it
  const unsigned char number = static_cast<unsigned char>(signal);
  if (writeEnd >= 0 && write(writeEnd, &number, 1) < 0) {
    // A full pipe already holds a signal the event loop has yet to read.
  }
  errno = savedErrno;
}

} // namespace

SessionEndSignals::SessionEndSignals(QObject *parent) : QObject(parent) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  readEnd = ends[0];
  writeEnd = ends[1];
  notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &SessionEndSignals::ReadPipe);

  struct sigaction action = {};
  action.sa_handler = WriteSignalNumber;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installed = sigaction(SIGTERM, &action, &previousTerminate) == 0 &&
              sigaction(SIGHUP, &action, &previousHangUp) == 0;
}

SessionEndSignals::~SessionEndSignals() {
  if (installed) {
    sigaction(SIGTERM, &previousTerminate, nullptr);
    sigaction(SIGHUP, &previousHangUp, nullptr);
  }
  if (readEnd >= 0) {
    const int ends[2] = {readEnd, static_cast<int>(writeEnd)};
    writeEnd = -1;
    close(ends[0]);
    close(ends[1]);
  }
}

void SessionEndSignals::ReadPipe() {
  unsigned char numbers[16];
  ssize_t got;
  while ((got = read(readEnd, numbers, sizeof numbers)) > 0)
    for (ssize_t i = 0; i < got; ++i)
      emit Received(numbers[i]);
}

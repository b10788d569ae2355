//===- ui/session_end.h - SIGTERM and SIGHUP as Qt signals -----------------===//
///
/// \file
/// SessionEndSignals turns SIGTERM and SIGHUP, with which a desktop session,
/// `kill`, `systemctl` or a closed terminal end a program, into a Qt signal
/// on the thread that owns it. The signal handler only writes the signal's
/// number into a pipe, which is all a handler may safely do; a
/// QSocketNotifier on the pipe's other end emits Received from the event
/// loop, where the window may act on it. One may exist at a time; the
/// handlers that were there before come back when it is destroyed.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <QObject>

#include <signal.h>

class QSocketNotifier;

class SessionEndSignals : public QObject {
  Q_OBJECT

public:
  /// Installs the handlers. Should the pipe or a handler be impossible, the
  /// signals keep ending the program as before.
  explicit SessionEndSignals(QObject *parent = nullptr);
  ~SessionEndSignals() override;

  SessionEndSignals(const SessionEndSignals &) = delete;
  SessionEndSignals &operator=(const SessionEndSignals &) = delete;

signals:
  /// SIGTERM or SIGHUP arrived; emitted once for each.
  void Received(int signal);

private:
  void ReadPipe();

  int readEnd = -1;
  QSocketNotifier *notifier = nullptr;
  struct sigaction previousTerminate = {};
  struct sigaction previousHangUp = {};
  bool installed = false;
};

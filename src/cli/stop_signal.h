//===- cli/stop_signal.h - Ctrl-C as the progress window's Stop button ----===//
///
/// \file
/// SIGINT (Ctrl-C), SIGTERM and SIGHUP are blocked in the program and read
/// by one small thread through a signalfd, so none of them interrupts the
/// run's own thread in the middle of a copy or a replacement. The first
/// asks the run to stop before its next document, and the run's exit status
/// becomes 128 plus its number (130, 143, 129); a further one ends the
/// program at once unless a document is in hand, in which case the run
/// stops as soon as that document is done. Between signals the same thread ticks the view a
/// few times a second, so that the live line shows the file in hand during a
/// long copy.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <signal.h>

#include <thread>

namespace velkor::cli {

class TerminalView;

class StopSignal {
public:
  /// Blocks the stop signals for the calling thread (the run's) and starts
  /// watching them.
  explicit StopSignal(TerminalView &view);
  /// Stops watching; a stop signal still pending is dropped and the signals
  /// are unblocked again.
  ~StopSignal();

  StopSignal(const StopSignal &) = delete;
  StopSignal &operator=(const StopSignal &) = delete;

private:
  void Watch();

  TerminalView &view;
  sigset_t previousMask;
  int signalFd = -1;
  int wakeFd = -1;
  std::thread watcher;
};

} // namespace velkor::cli

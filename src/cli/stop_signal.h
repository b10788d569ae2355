//===- cli/stop_signal.h - Ctrl-C as the progress window's Stop button ----===//
///
/// \file
/// The requests to stop that reach a console program from outside are read
/// by one small thread of their own, so none of them interrupts the run's
/// own thread in the middle of a copy or a replacement. The first asks the
/// run to stop before its next document, and the run's exit status becomes
/// 128 plus the number of the signal it stands for (130, 143, 129, see
/// command_support.h); a further one ends the program at once unless a
/// document is in hand, in which case the run stops as soon as that document
/// is done. Between requests the same thread ticks the view a few times a
/// second, so that the live line shows the file in hand during a long copy.
///
/// On Linux they are SIGINT (Ctrl-C), SIGTERM and SIGHUP, blocked in the
/// program and read through a signalfd. On Windows they are the console's
/// control events, taken by a console control handler: Ctrl-C and
/// Ctrl-Break stand for SIGINT, the console window closed for SIGHUP, and
/// logoff and shutdown for SIGTERM.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <memory>

namespace velkor::cli {

class TerminalView;

class StopSignal {
public:
  /// Starts watching for stop requests on behalf of the calling thread (the
  /// run's). Throws std::system_error when they cannot be watched.
  explicit StopSignal(TerminalView &view);
  /// Stops watching; a request still pending is dropped and the requests
  /// take their usual effect again.
  ~StopSignal();

  StopSignal(const StopSignal &) = delete;
  StopSignal &operator=(const StopSignal &) = delete;

  /// The system's side: what is watched, and the watching thread.
  struct Watch;

private:
  std::unique_ptr<Watch> watch;
};

} // namespace velkor::cli

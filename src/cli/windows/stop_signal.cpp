//===- cli/windows/stop_signal.cpp - The console's control events as Stop ===//
///
/// \file
/// Windows calls a console control handler on a thread of its own for each
/// control event. The handler only counts the event and wakes the watcher,
/// which does what the Linux watcher does with a signal: the first asks the
/// view to stop, a further one ends the program when no document is in hand.
/// Closing the console, logoff and shutdown end the process as soon as the
/// handler returns, so for them the handler never returns: the run finishes
/// the document in hand, writes its ending and leaves with its own exit
/// status, unless the system's patience (a few seconds) runs out first; a
/// copy cut short then is an abandoned temporary file, the document intact.
///
//===----------------------------------------------------------------------===//

#include "cli/stop_signal.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/run_ending.h"
#include "cli/terminal_view.h"

// After the project's headers: <windows.h> defines macros they declare.
#include <windows.h>

namespace velkor::cli {

/// The events the handler hands over, and the watcher.
struct StopSignal::Watch {
  explicit Watch(TerminalView &view) : view(view) {}
  void Run();

  TerminalView &view;
  HANDLE requested = nullptr; ///< set by the handler: `pending` holds events
  HANDLE over = nullptr;      ///< set when watching ends: the watcher leaves, the handler returns
  std::mutex pendingLock;
  std::vector<int> pending; ///< the signals the events stand for, oldest first
  std::thread watcher;
};

namespace {

/// How often the watcher lets the view draw what it held back.
constexpr DWORD kTickMilliseconds = 100;

/// The one watch a console control handler serves; the handler is a plain
/// function the system calls, so it finds it here.
std::atomic<StopSignal::Watch *> activeWatch{nullptr};

/// The signal whose exit status a console control event gives, or 0 for an
/// event that is not a stop request.
int SignalOfEvent(DWORD event) {
  switch (event) {
  case CTRL_C_EVENT:
  case CTRL_BREAK_EVENT:
    return kInterruptSignal;
  case CTRL_CLOSE_EVENT:
    return kHangupSignal;
  case CTRL_LOGOFF_EVENT:
  case CTRL_SHUTDOWN_EVENT:
    return kTerminateSignal;
  default:
    return 0;
  }
}

BOOL WINAPI OnControlEvent(DWORD event) {
  StopSignal::Watch *watch = activeWatch.load();
  const int signal = SignalOfEvent(event);
  if (!watch || signal == 0)
    return FALSE; // the next handler, in the end the system's, takes it
  {
    std::lock_guard<std::mutex> lock(watch->pendingLock);
    watch->pending.push_back(signal);
  }
  SetEvent(watch->requested);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The process ends when this returns, with a status of the system's:
    // hold it until the run is over and the program leaves with its own.
    WaitForSingleObject(watch->over, INFINITE);
    Sleep(INFINITE);
  }
  return TRUE;
}

} // namespace

StopSignal::StopSignal(TerminalView &view) : watch(std::make_unique<Watch>(view)) {
  watch->requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  watch->over = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!watch->requested || !watch->over) {
    const DWORD error = GetLastError();
    if (watch->requested)
      CloseHandle(watch->requested);
    if (watch->over)
      CloseHandle(watch->over);
    throw std::system_error(static_cast<int>(error), std::system_category(), "CreateEventW");
  }
  watch->watcher = std::thread([this] { watch->Run(); });
  activeWatch = watch.get();
  // A Ctrl-C ignored by the program that started this one (as one started
  // with CREATE_NEW_PROCESS_GROUP begins) stays ignored, as an ignored
  // SIGINT does on Linux; Ctrl-Break always arrives.
  if (!SetConsoleCtrlHandler(OnControlEvent, TRUE)) {
    const DWORD error = GetLastError();
    activeWatch = nullptr;
    SetEvent(watch->over);
    watch->watcher.join();
    CloseHandle(watch->requested);
    CloseHandle(watch->over);
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            "SetConsoleCtrlHandler");
  }
}

StopSignal::~StopSignal() {
  SetConsoleCtrlHandler(OnControlEvent, FALSE);
  activeWatch = nullptr;
  // Lets the watcher leave and a handler that holds the process return.
  SetEvent(watch->over);
  watch->watcher.join();
  // A handler may still be on its way out; the events stay open (the
  // process ends soon after) rather than be closed under it.
}

void StopSignal::Watch::Run() {
  int interrupts = 0;
  const HANDLE handles[2] = {requested, over};
  for (;;) {
    const DWORD ready = WaitForMultipleObjects(2, handles, FALSE, kTickMilliseconds);
    if (ready == WAIT_TIMEOUT) {
      view.Tick();
      continue;
    }
    if (ready != WAIT_OBJECT_0)
      return; // `over`, or the wait itself failed
    std::vector<int> signals;
    {
      std::lock_guard<std::mutex> lock(pendingLock);
      signals.swap(pending);
    }
    for (const int signal : signals) {
      if (++interrupts == 1) {
        view.RequestStop(signal);
      } else if (view.FinishIfIdle()) {
        // Nothing is being copied or replaced: leave without waiting for the
        // walk. The view has written and flushed its ending.
        std::_Exit(view.ExitStatus(RunEnding::stopped));
      }
    }
  }
}

} // namespace velkor::cli

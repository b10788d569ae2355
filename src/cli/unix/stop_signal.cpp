//===- cli/stop_signal.cpp - Ctrl-C as the progress window's Stop button --===//

#include "cli/stop_signal.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <system_error>
#include <thread>

#include "cli/run_ending.h"
#include "cli/terminal_view.h"

namespace velkor::cli {

/// The blocked signals, the descriptors the watcher waits on, and the
/// watcher.
struct StopSignal::Watch {
  explicit Watch(TerminalView &view) : view(view) {}
  void Run();

  TerminalView &view;
  sigset_t previousMask;
  int signalFd = -1;
  int wakeFd = -1;
  std::thread watcher;
};

namespace {

static_assert(SIGINT == kInterruptSignal && SIGTERM == kTerminateSignal && SIGHUP == kHangupSignal,
              "the stopped run's exit statuses are 128 plus these signals' numbers");

/// How often the watcher lets the view draw what it held back.
constexpr int kTickMilliseconds = 100;

/// Ctrl-C, and the signals that end a program from outside: `timeout`,
/// `systemctl stop` and `kill` send SIGTERM, a closed terminal or SSH
/// session SIGHUP. All of them stop the run between documents.
sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

} // namespace

StopSignal::StopSignal(TerminalView &view) : watch(std::make_unique<Watch>(view)) {
  sigset_t &previousMask = watch->previousMask;
  int &signalFd = watch->signalFd;
  int &wakeFd = watch->wakeFd;
  const sigset_t set = InterruptSet();
  // Blocked before the watcher starts, so that it inherits the mask and no
  // thread but the watcher's signalfd ever takes the signal.
  if (int error = pthread_sigmask(SIG_BLOCK, &set, &previousMask); error != 0) {
    throw std::system_error(error, std::generic_category(), "pthread_sigmask");
  }
  signalFd = signalfd(-1, &set, SFD_CLOEXEC);
  wakeFd = eventfd(0, EFD_CLOEXEC);
  if (signalFd < 0 || wakeFd < 0) {
    const int error = errno;
    if (signalFd >= 0)
      close(signalFd);
    if (wakeFd >= 0)
      close(wakeFd);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    throw std::system_error(error, std::generic_category(), "signalfd");
  }
  watch->watcher = std::thread([this] { watch->Run(); });
}

StopSignal::~StopSignal() {
  const int signalFd = watch->signalFd;
  const int wakeFd = watch->wakeFd;
  const std::uint64_t one = 1;
  if (write(wakeFd, &one, sizeof one) < 0) {
    // An eventfd write fails only when the counter would overflow.
  }
  watch->watcher.join();
  close(signalFd);
  close(wakeFd);
  const sigset_t set = InterruptSet();
  const timespec zero{};
  while (sigtimedwait(&set, nullptr, &zero) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &watch->previousMask, nullptr);
}

void StopSignal::Watch::Run() {
  int interrupts = 0;
  for (;;) {
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = poll(fds, 2, kTickMilliseconds);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (ready == 0) {
      view.Tick();
      continue;
    }
    if (fds[1].revents != 0)
      return;
    if (fds[0].revents == 0)
      continue;
    signalfd_siginfo info;
    if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
      continue;
    if (++interrupts == 1) {
      view.RequestStop(static_cast<int>(info.ssi_signo));
    } else if (view.FinishIfIdle()) {
      // Nothing is being copied or replaced: leave without waiting for the
      // walk. The view has written and flushed its ending.
      _exit(view.ExitStatus(RunEnding::stopped));
    }
  }
}

} // namespace velkor::cli

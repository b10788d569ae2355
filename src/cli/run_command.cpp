//===- cli/run_command.cpp - `velkor-cli [OPTION]... PATH...`: the compaction run ===//

#include "cli/run_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

#include "cli/idle_priority.h"
#include "cli/run_arguments.h"
#include "cli/run_ending.h"
#include "cli/stop_signal.h"
#include "cli/terminal_view.h"
#include "engine/compaction_run.h"
#include "engine/run_failure.h"
#include "engine/user_abort.h"

namespace velkor::cli {
namespace {

/// The stream that shows the live line, when it is a terminal that can.
std::FILE *LiveTerminal(std::FILE *stream) {
  const char *term = std::getenv("TERM");
  if (!IsTerminal(stream) || (term && std::strcmp(term, "dumb") == 0))
    return nullptr;
  return stream;
}

} // namespace

int RunCommand(int argc, const char *const *argv) {
  int status = kExitUsage;
  const std::optional<RunArguments> request = ParseRunArguments(argc, argv, stdout, stderr, status);
  if (!request)
    return status;

  std::vector<PathEntry> paths;
  std::string error;
  if (!ResolvePaths(request->paths, paths, error)) {
    std::fprintf(stderr, "velkor-cli: %s\n", error.c_str());
    return kExitUsage;
  }

  // Before any thread starts: the workers and the watcher of Ctrl-C inherit
  // the priorities of the thread that starts them.
  if (request->idle) {
    if (const std::string failure = EnterIdlePriority(); !failure.empty()) {
      std::fprintf(stderr, "velkor-cli: --idle: %s\n", failure.c_str());
      return kExitFailure;
    }
  }

  // A reader that goes away (`velkor-cli --list | head`) must not kill the
  // program in the middle of a document: writes then fail, and the view
  // ends the run before the next document.
  IgnoreBrokenPipes();

  TerminalSettings settings;
  settings.list = request->list;
  settings.json = request->json;
  settings.estimate = request->estimate;
  settings.live = LiveTerminal(request->json ? stderr : stdout);
  TerminalView view(settings);

  RunOptions options;
  options.allFiles = request->allFiles;
  options.recursive = request->recursive;
  options.allDrives = request->allDrives;
  options.compress = !request->estimate;
  options.wildcards = TTString(request->masks.c_str());
  options.workers = request->jobs;
  options.minAge = request->minAge;

  BaseEntryList source(view);
  for (const PathEntry &entry : paths) {
    source.Add(TTString(entry.path.c_str()), entry.isFile); // argv holds no NUL byte
  }

  RunEnding ending = RunEnding::complete;
  {
    // Ctrl-C, SIGTERM and SIGHUP (on Windows the console's control events)
    // are the Stop button. Should it be impossible to watch for them (no
    // signalfd, no thread), the run still goes on, and they end the program
    // as they end any other.
    std::optional<StopSignal> interrupts;
    try {
      interrupts.emplace(view);
    } catch (const std::system_error &e) {
      std::fprintf(stderr, "velkor-cli: signals cannot stop the run softly: %s\n", e.what());
    }
    ending = RunToItsEnd(options, source, view);
  }
  if (view.OutputFailed()) {
    if (view.OutputError() == EPIPE) {
      // The reader went away (`velkor-cli --list | head`): like the GNU
      // tools, leave without a word, as SIGPIPE would have ended us had it
      // been safe to let it cut a document short.
      return LeaveForBrokenPipe();
    }
    if (ending == RunEnding::stopped &&
        view.ExitStatus(ending) == ExitStatusOfStopSignal(kHangupSignal))
      return ExitStatusOfStopSignal(
          kHangupSignal); // the terminal that hung up took the output along
    std::fprintf(stderr, "velkor-cli: write error: %s\n", std::strerror(view.OutputError()));
    return kExitFailure;
  }
  return view.ExitStatus(ending);
}

} // namespace velkor::cli

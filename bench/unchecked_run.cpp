//===- bench/unchecked_run.cpp - A compressing run without the check of its copies ===//
///
/// \file
/// velkor-unchecked-run PATH...: the compressing run `velkor-cli PATH...`
/// makes, with the same engine and the same plain lines, but with the check
/// that reads every copy back before it replaces its document turned off.
/// The benchmarks time it against velkor-cli to measure what the check
/// costs; the programs that are shipped cannot turn the check off.
///
//===----------------------------------------------------------------------===//

#include "cli/run_arguments.h"
#include "cli/terminal_view.h"
#include "core/heap_reuse.h"
#include "engine/compaction_run.h"
#include "engine/copy_check.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  using namespace velkor::cli;
  if (argc < 2) {
    std::fprintf(stderr, "usage: velkor-unchecked-run PATH...\n");
    return 2;
  }
  KeepFreedMemoryForReuse();
  std::vector<PathEntry> paths;
  std::string error;
  if (!ResolvePaths(std::vector<std::string>(argv + 1, argv + argc), paths, error)) {
    std::fprintf(stderr, "velkor-unchecked-run: %s\n", error.c_str());
    return 2;
  }
  SetCopyCheckEnabled(false);

  TerminalView view(TerminalSettings{});
  RunOptions options;
  options.allFiles = false;
  options.allDrives = false;
  BaseEntryList source(view);
  for (const PathEntry &entry : paths)
    source.Add(TTString(entry.path.c_str()), entry.isFile);
  return RunToItsEnd(options, source, view) == RunEnding::complete ? 0 : 1;
}

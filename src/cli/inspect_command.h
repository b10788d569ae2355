//===- cli/inspect_command.h - velkor-cli inspect: a document's tree -------===//
///
/// \file
/// `velkor-cli inspect FILE [--json]` shows a compound document's storage tree
/// (kinds, sizes, class ids, state bits), the file's size, the size of a fresh
/// copy and the bytes it would save, or the reason the file is refused.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace velkor::cli {

struct InspectOptions {
  std::string file;
  bool json = false;
};

/// The help of `velkor-cli inspect --help`, in the run's layout.
std::string InspectHelpText();

/// Adds the `inspect` subcommand to `app`, filling `options` when parsed.
CLI::App *AddInspectCommand(CLI::App &app, InspectOptions &options);

/// Runs the command; returns the exit status. Reports go to `out`, errors
/// to `err` (in JSON mode, errors go to `out` as a JSON object as well).
int RunInspect(const InspectOptions &options, std::ostream &out, std::ostream &err);

} // namespace velkor::cli

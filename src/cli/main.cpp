//===- cli/main.cpp - velkor-cli: dispatches to its commands ---------------===//
///
/// \file
/// `velkor-cli inspect FILE` and `velkor-cli copy SRC DST` are commands of
/// their own, parsed with CLI11 as subcommands; every other command line is
/// the compaction run, `velkor-cli [OPTION]... PATH...` (run_command). Each
/// command lives in its own file pair and registers itself here.
///
//===----------------------------------------------------------------------===//

#include "cli/command_line.h"
#include "cli/command_support.h"
#include "cli/copy_command.h"
#include "cli/inspect_command.h"
#include "cli/run_arguments.h"
#include "cli/run_command.h"
#include "cli/terminal_view.h"
#include "core/heap_reuse.h"

#include <CLI/CLI.hpp>

#include <cstring>
#include <iostream>

namespace {

/// True when the first argument names one of the file commands; a PATH of
/// that name is written ./inspect or ./copy.
bool IsFileCommand(int argc, char **argv) {
  return argc > 1 && (std::strcmp(argv[1], "inspect") == 0 || std::strcmp(argv[1], "copy") == 0);
}

int RunFileCommand(int argc, char **argv) {
  using namespace velkor::cli;

  CLI::App app(
      "Velkor makes compound documents (*.doc, *.xls) smaller without changing their content.",
      "velkor-cli");
  // The one version text of every command (run_arguments.h), without the
  // line feed that CLI11 adds itself.
  app.set_version_flag("-V,--version", [] {
    std::string text = VersionText();
    if (!text.empty() && text.back() == '\n')
      text.pop_back();
    return text;
  });
  app.require_subcommand(1, 1);
  // Options are GNU style on every system: "/x" is a path, never an option.
  app.allow_windows_style_options(false);

  InspectOptions inspectOptions;
  CLI::App *inspect = AddInspectCommand(app, inspectOptions);
  CopyOptions copyOptions;
  CLI::App *copy = AddCopyCommand(app, copyOptions);
  // As in the run, an option without a value refuses one.
  for (CLI::App *command : {inspect, copy}) {
    for (CLI::Option *option : command->get_options()) {
      if (option->get_expected_min() == 0)
        option->disable_flag_override();
    }
  }
  // The help and the usage line in the run's GNU layout.
  const bool isCopy = std::strcmp(argv[1], "copy") == 0;
  const std::string helpText = isCopy ? CopyHelpText() : InspectHelpText();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    std::cout << helpText;
    return kExitSuccess;
  } catch (const CLI::CallForVersion &version) {
    return app.exit(version);
  } catch (const CLI::ParseError &error) {
    std::cerr << "velkor-cli: " << argv[1] << ": " << error.what() << '\n'
              << helpText.substr(0, helpText.find('\n') + 1) << "Try 'velkor-cli " << argv[1]
              << " --help' for more information.\n";
    return kExitUsage;
  }

  if (inspect->parsed())
    return RunInspect(inspectOptions, std::cout, std::cerr);
  if (copy->parsed())
    return RunCopy(copyOptions, std::cout, std::cerr);
  return kExitUsage;
}

} // namespace

int main(int argc, char **argv) {
  KeepFreedMemoryForReuse();
  velkor::cli::PrepareStandardStreams();
  velkor::cli::CommandLine commandLine(argc, argv);
  argc = commandLine.Count();
  argv = commandLine.Arguments();
  if (IsFileCommand(argc, argv))
    return RunFileCommand(argc, argv);
  return velkor::cli::RunCommand(argc, argv);
}

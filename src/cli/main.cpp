//===- cli/main.cpp - velkor-cli: dispatches to its commands ---------------===//
///
/// \file
/// Parses the command line with CLI11 and hands over to one command. Each
/// command lives in its own file pair (`inspect_command`, `copy_command`) and
/// registers itself here with an Add...Command call.
///
//===----------------------------------------------------------------------===//

#include "cli/command_support.h"
#include "cli/copy_command.h"
#include "cli/inspect_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
  using namespace velkor::cli;

  CLI::App app("Velkor makes compound documents (*.doc, *.xls) smaller without changing their content.",
               "velkor-cli");
  app.set_version_flag("--version", std::string("velkor-cli ") + VELKOR_VERSION);
  app.require_subcommand(1, 1);

  InspectOptions inspectOptions;
  CLI::App* inspect = AddInspectCommand(app, inspectOptions);
  CopyOptions copyOptions;
  CLI::App* copy = AddCopyCommand(app, copyOptions);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version);
  } catch (const CLI::ParseError& error) {
    std::cerr << "velkor-cli: " << error.what() << "\n\n" << app.help();
    return kExitUsage;
  }

  if (inspect->parsed()) return RunInspect(inspectOptions, std::cout, std::cerr);
  if (copy->parsed()) return RunCopy(copyOptions, std::cout, std::cerr);
  return kExitUsage;
}

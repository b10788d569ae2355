//===- tests/support/process.cpp - Programs run as child processes --------===//
///
/// \file
/// What the runner does alike on both systems; unix/ and windows/ start,
/// read, signal and wait for the child.
///
//===----------------------------------------------------------------------===//

#include "support/process.h"

#include <gtest/gtest.h>

#include <regex>

namespace velkor::test {

namespace {

std::vector<std::string> CliCommand(const std::vector<std::string> &args) {
  std::vector<std::string> command = {CliProgram()};
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

} // namespace

std::string FixturesDir() { return std::string(VELKOR_BINARY_DIR) + "/fixtures"; }

ProcessResult RunProcess(const std::vector<std::string> &args,
                         const std::string &workingDirectory) {
  return CliProcess(args, workingDirectory).Finish();
}

ProcessResult RunCli(const std::vector<std::string> &args, const std::string &workingDirectory) {
  return RunProcess(CliCommand(args), workingDirectory);
}

ProcessResult RunCliOnTerminal(const std::vector<std::string> &args, int columns,
                               const char *term) {
  return CliProcess(CliCommand(args), CliProcess::OnTerminal{columns, term}).Finish();
}

bool HasControlCharacters(const std::string &text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\n') || c == 0x7F)
      return true;
  }
  return false;
}

std::string WithoutElapsedTime(const std::string &out) {
  return std::regex_replace(out, std::regex("(^|\n)Elapsed time: +[0-9:.]+(\r?\n|$)"), "$1");
}

} // namespace velkor::test

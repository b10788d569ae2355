//===- cli/command_line.cpp - The program's arguments as UTF-8 ------------===//

#include "cli/command_line.h"

namespace velkor::cli {

CommandLine::CommandLine(int argc, char **argv) : arguments(ArgumentsOfProcess(argc, argv)) {
  for (std::string &argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
}

} // namespace velkor::cli

//===- cli/unix/command_line.cpp - argv as it is --------------------------===//

#include "cli/command_line.h"

namespace velkor::cli {

std::vector<std::string> ArgumentsOfProcess(int argc, char **argv) {
  return std::vector<std::string>(argv, argv + argc);
}

} // namespace velkor::cli

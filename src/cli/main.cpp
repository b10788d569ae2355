//===- cli/main.cpp - velkor-cli: Velkor from a terminal and from scripts --===//

#include "cli/run_command.h"

int main(int argc, char** argv) { return cli::RunCommand(argc, argv); }

//===- cli/unix/command_support.cpp - System error texts from errno -------===//

#include "cli/command_support.h"

#include <cerrno>
#include <cstring>

namespace velkor::cli {

std::string SystemErrorText(unsigned long error) { return std::strerror(static_cast<int>(error)); }

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }

} // namespace velkor::cli

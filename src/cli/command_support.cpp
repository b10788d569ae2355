//===- cli/command_support.cpp - Shared helpers of the velkor-cli commands -===//

#include "cli/command_support.h"

#include "cfb/error.h"

#include <cstdio>
#include <cstring>

namespace velkor::cli {

std::string DescribeError(const std::exception &error) {
  if (auto *format = dynamic_cast<const cfb::FormatError *>(&error)) {
    return std::string("not a compound file that can be copied: ") + format->what();
  }
  if (dynamic_cast<const cfb::InUseError *>(&error)) {
    return "in use: another program holds a write lock on it";
  }
  if (auto *io = dynamic_cast<const cfb::IoError *>(&error)) {
    return std::string(std::strerror(io->GetErrorNumber())) + " (" + io->GetOperation() + ")";
  }
  return error.what();
}

std::string FormatBytes(unsigned long long bytes) {
  std::string digits = std::to_string(bytes);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      out += ',';
    out += digits[i];
  }
  return out;
}

} // namespace velkor::cli

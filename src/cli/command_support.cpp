//===- cli/command_support.cpp - Shared helpers of the velkor-cli commands -===//

#include "cli/command_support.h"

#include "cfb/error.h"
#include "core/utf8.h"

#include <cstdio>
#include <cstring>

namespace velkor::cli {

std::string DescribeError(const std::exception& error) {
  if (auto* format = dynamic_cast<const cfb::FormatError*>(&error)) {
    return std::string("not a compound file that can be copied: ") + format->what();
  }
  if (dynamic_cast<const cfb::InUseError*>(&error)) {
    return "in use: another program holds a write lock on it";
  }
  if (auto* io = dynamic_cast<const cfb::IoError*>(&error)) {
    return std::string(std::strerror(io->GetErrorNumber())) + " (" + io->GetOperation() + ")";
  }
  return error.what();
}

std::string EscapeForTerminal(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = Utf8SequenceLength(std::string_view(text).substr(i));
    // C1 controls (U+0080..U+009F) are valid UTF-8 but move terminals too.
    bool c1Control = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (c < 0x20 || c == 0x7F || c == '\\' || length == 0 || c1Control) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
      if (c1Control) {
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i + 1]));
        out += escaped;
        ++i;
      }
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string FormatBytes(unsigned long long bytes) {
  std::string digits = std::to_string(bytes);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace velkor::cli

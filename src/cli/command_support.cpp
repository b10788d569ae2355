//===- cli/command_support.cpp - Shared helpers of the velkor-cli commands -===//

#include "cli/command_support.h"

#include "cfb/error.h"

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

// Length of the valid UTF-8 sequence starting at text[i], or 0 if invalid.
static size_t Utf8SequenceLength(const std::string& text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  if (length == 2 && lead < 0xC2) return 0;                     // overlong
  if (length == 3 && lead == 0xE0 && byte(i + 1) < 0xA0) return 0;  // overlong
  if (length == 3 && lead == 0xED && byte(i + 1) >= 0xA0) return 0;  // surrogate
  if (length == 4 && (lead > 0xF4 || (lead == 0xF0 && byte(i + 1) < 0x90) ||
                      (lead == 0xF4 && byte(i + 1) >= 0x90))) return 0;
  return length;
}

std::string EscapeForTerminal(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = Utf8SequenceLength(text, i);
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

//===- cli/byte_text.cpp - File-name bytes made safe for terminals and JSON ===//

#include "cli/byte_text.h"

#include "core/utf8.h"

namespace velkor::cli {
namespace {

void AppendHexByte(std::string &out, unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  out += kDigits[b >> 4];
  out += kDigits[b & 0x0F];
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t n = Utf8SequenceLength(bytes);
    if (n == 0)
      return false;
    bytes.remove_prefix(n);
  }
  return true;
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t n = Utf8SequenceLength(bytes);
    if (n == 0) {
      out += "\xEF\xBF\xBD"; // U+FFFD REPLACEMENT CHARACTER
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.substr(0, n));
      bytes.remove_prefix(n);
    }
  }
  return out;
}

std::string HexBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes)
    AppendHexByte(out, static_cast<unsigned char>(c));
  return out;
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  while (!text.empty()) {
    const std::size_t n = Utf8SequenceLength(text);
    text.remove_prefix(n == 0 ? 1 : n);
    ++width;
  }
  return width;
}

std::string KeepTail(std::string_view text, std::size_t columns) {
  const std::size_t width = DisplayWidth(text);
  if (width <= columns)
    return std::string(text);
  if (columns <= 3)
    return std::string(columns, '.');
  // Drop whole code points from the front until the rest fits after "...".
  std::size_t drop = width - (columns - 3);
  while (drop > 0 && !text.empty()) {
    const std::size_t n = Utf8SequenceLength(text);
    text.remove_prefix(n == 0 ? 1 : n);
    --drop;
  }
  return "..." + std::string(text);
}

std::string KeepHead(std::string_view text, std::size_t columns) {
  std::size_t taken = 0;
  std::size_t bytes = 0;
  while (bytes < text.size() && taken < columns) {
    const std::size_t n = Utf8SequenceLength(text.substr(bytes));
    bytes += n == 0 ? 1 : n;
    ++taken;
  }
  return std::string(text.substr(0, bytes));
}

} // namespace velkor::cli

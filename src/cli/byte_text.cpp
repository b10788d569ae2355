//===- cli/byte_text.cpp - File-name bytes made safe for terminals and JSON ===//

#include "cli/byte_text.h"

#include "core/utf8.h"

namespace cli {
namespace {

void AppendHexByte(std::string& out, unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  out += kDigits[b >> 4];
  out += kDigits[b & 0x0F];
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t n = Utf8SequenceLength(bytes);
    if (n == 0) return false;
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
      out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
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
  for (char c : bytes) AppendHexByte(out, static_cast<unsigned char>(c));
  return out;
}

std::string EscapeForTerminal(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    // A C1 control written as UTF-8 (C2 80..C2 9F) is honoured by some
    // terminals just like an ESC sequence.
    const bool c1 = b == 0xC2 && i + 1 < bytes.size() &&
                    static_cast<unsigned char>(bytes[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(bytes[i + 1]) <= 0x9F;
    if (b == '\\') {
      out += "\\\\";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\t') {
      out += "\\t";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      AppendHexByte(out, b);
    } else if (c1) {
      out += "\\xc2\\x";
      AppendHexByte(out, static_cast<unsigned char>(bytes[++i]));
    } else {
      out += static_cast<char>(b);
    }
  }
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
  if (width <= columns) return std::string(text);
  if (columns <= 3) return std::string(columns, '.');
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

}  // namespace cli

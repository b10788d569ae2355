//===- core/escape_text.cpp - File-name bytes as one safe line of text ----===//

#include "core/escape_text.h"

namespace {

void AppendHexByte(std::string &out, unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  out += kDigits[b >> 4];
  out += kDigits[b & 0x0F];
}

/// Where a name may hold a backslash (Linux), it is doubled, so that an
/// escape is never taken for a name's own bytes. On Windows it is the path
/// separator, which no name holds, and a path prints in its own form:
/// C:\Archive\q1.doc.
#ifdef _WIN32
constexpr bool kDoubledBackslash = false;
#else
constexpr bool kDoubledBackslash = true;
#endif

} // namespace

std::string EscapeControlBytes(std::string_view bytes) {
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
      out += kDoubledBackslash ? "\\\\" : "\\";
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

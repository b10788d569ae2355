//===- desktop/display_text.cpp - File-system bytes as readable text ------===//

#include "desktop/display_text.h"

#include "core/escape_text.h"
#include "core/utf8.h"

std::string DisplayText(std::string_view name) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  // Control characters first, exactly as every other front end writes them.
  // Their escapes are plain ASCII and every byte they replace is a whole
  // UTF-8 sequence, so the bytes that are not UTF-8 stay just those, and the
  // backslashes of their escapes below are never doubled.
  const std::string escaped = EscapeControlBytes(name);
  const std::string_view bytes = escaped;
  std::string text;
  text.reserve(bytes.size());
  size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t length = Utf8SequenceLength(bytes.substr(at));
    if (length > 0) {
      text.append(bytes.substr(at, length));
      at += length;
      continue;
    }
    const auto invalid = static_cast<unsigned char>(bytes[at]);
    text += "\\x";
    text += kHexDigits[invalid >> 4];
    text += kHexDigits[invalid & 0x0F];
    ++at;
  }
  return text;
}

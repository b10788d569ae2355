//===- ui/display_name.cpp - File-system bytes as readable text -----------===//

#include "ui/display_name.h"

#include "core/escape_text.h"
#include "core/utf8.h"

#include <string>

QString DisplayName(std::string_view name) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  // Control characters first, exactly as every other front end writes them.
  // Their escapes are plain ASCII and every byte they replace is a whole
  // UTF-8 sequence, so the bytes that are not UTF-8 stay just those, and the
  // backslashes of their escapes below are never doubled.
  const std::string escaped = EscapeControlBytes(name);
  const std::string_view bytes = escaped;
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  size_t runStart = 0; // start of the valid UTF-8 run not yet decoded
  size_t at = 0;
  const auto flushRun = [&] {
    text += QString::fromUtf8(bytes.data() + runStart, static_cast<qsizetype>(at - runStart));
  };
  while (at < bytes.size()) {
    const std::size_t length = Utf8SequenceLength(bytes.substr(at));
    if (length > 0) {
      at += length;
      continue;
    }
    flushRun();
    const auto invalid = static_cast<unsigned char>(bytes[at]);
    text += QLatin1String("\\x");
    text += QLatin1Char(kHexDigits[invalid >> 4]);
    text += QLatin1Char(kHexDigits[invalid & 0x0F]);
    runStart = ++at;
  }
  flushRun();
  return text;
}

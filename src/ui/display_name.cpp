//===- ui/display_name.cpp - File-system bytes as readable text -----------===//

#include "ui/display_name.h"

namespace {

/// Length of the valid UTF-8 sequence that starts at `at`, or 0 when the byte
/// there does not start one. Overlong forms, surrogates and code points above
/// U+10FFFF are not valid.
int Utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80)
    return 1;
  int length;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > bytes.size())
    return 0;
  if (byte(at + 1) < low || byte(at + 1) > high)
    return 0;
  for (int i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
      return 0;
  return length;
}

} // namespace

QString DisplayName(std::string_view bytes) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  size_t runStart = 0;  // start of the valid UTF-8 run not yet decoded
  size_t at = 0;
  const auto flushRun = [&] {
    text += QString::fromUtf8(bytes.data() + runStart, static_cast<qsizetype>(at - runStart));
  };
  while (at < bytes.size()) {
    const int length = Utf8SequenceLength(bytes, at);
    if (length > 0) {
      at += static_cast<size_t>(length);
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

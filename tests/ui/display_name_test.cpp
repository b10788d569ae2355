//===- tests/ui/display_name_test.cpp - Names shown from their bytes -------===//

#include "core/escape_text.h"
#include "ui/display_name.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace std::string_view_literals;

TEST(DisplayName, ValidUtf8IsDecoded) {
  EXPECT_EQ(DisplayName("report.doc"), QStringLiteral("report.doc"));
  EXPECT_EQ(DisplayName("Gr\xC3\xBC\xC3\x9F"
                        "e.xls"),
            QString::fromUtf8("Grüße.xls"));
  EXPECT_EQ(DisplayName("\xF0\x9F\x93\x84"), QString::fromUtf8("📄"));
  EXPECT_EQ(DisplayName(""), QString());
}

TEST(DisplayName, InvalidBytesBecomeVisibleEscapes) {
  // A Latin-1 name from an old system: the lone 0xE9 is not UTF-8.
  EXPECT_EQ(DisplayName("caf\xE9.doc"), QStringLiteral("caf\\xE9.doc"));
  // Truncated sequence at the end, stray continuation byte, overlong form,
  // an encoded surrogate, a code point above U+10FFFF.
  EXPECT_EQ(DisplayName("a\xC3"), QStringLiteral("a\\xC3"));
  EXPECT_EQ(DisplayName("\x80z"), QStringLiteral("\\x80z"));
  EXPECT_EQ(DisplayName("\xC0\xAF"), QStringLiteral("\\xC0\\xAF"));
  EXPECT_EQ(DisplayName("\xED\xA0\x80"), QStringLiteral("\\xED\\xA0\\x80"));
  EXPECT_EQ(DisplayName("\xF4\x90\x80\x80"), QStringLiteral("\\xF4\\x90\\x80\\x80"));
  // Valid text around the bad byte is decoded as usual.
  EXPECT_EQ(DisplayName("\xC3\xA9\xFF\xC3\xA9"), QString::fromUtf8("é\\xFFé"));
}

TEST(DisplayName, DifferentBytesNeverLookAlike) {
  EXPECT_NE(DisplayName("caf\xE9"), DisplayName("caf\xC3\xA9"));
  EXPECT_NE(DisplayName("\xE9"), DisplayName("\xEA"));
}

TEST(DisplayName, ControlCharactersAreEscapedAsInTheTerminal) {
  // Valid UTF-8 comes out exactly as velkor-cli writes it.
  for (std::string_view name :
       {"two\nlines.doc"sv, "tab\there.xls"sv, "cr\r.doc"sv, "\x1b[31mred.doc"sv, "del\x7f.doc"sv,
        "nul\0byte"sv, "c1 \xC2\x85 \xC2\x9B.doc"sv, "back\\slash\\x41.doc"sv,
        "Gr\xC3\xBC\xC3\x9F"
        "e\n.xls"sv,
        "\xF0\x9F\x93\x84\t"sv})
    EXPECT_EQ(DisplayName(name), QString::fromStdString(EscapeControlBytes(name)))
        << EscapeControlBytes(name);
  EXPECT_EQ(DisplayName("two\nlines.doc"), QStringLiteral("two\\nlines.doc"));
  EXPECT_EQ(DisplayName("\x1b[2J"), QStringLiteral("\\x1b[2J"));
  // Both escapes together, each once: a control character beside a byte
  // that is not UTF-8, and a backslash typed in a name beside one.
  EXPECT_EQ(DisplayName("caf\xE9\n.doc"), QStringLiteral("caf\\xE9\\n.doc"));
  EXPECT_EQ(DisplayName("\xE2\n\x80"), QStringLiteral("\\xE2\\n\\x80"));
  EXPECT_EQ(DisplayName("\xC2\xC2\x85"), QStringLiteral("\\xC2\\xc2\\x85"));
  EXPECT_NE(DisplayName("caf\xE9"), DisplayName("caf\\xE9"));
  EXPECT_EQ(DisplayName("caf\\xE9"), QStringLiteral("caf\\\\xE9"));
  EXPECT_FALSE(DisplayName("a\nb\rc\x0b").contains(QRegularExpression("[\\x00-\\x1f\\x7f]")));
}

//===- tests/cli/byte_text_test.cpp - Names made safe for terminals -------===//

#include "cli/byte_text.h"
#include "core/escape_text.h"

#include <gtest/gtest.h>

namespace {

using namespace velkor::cli;

TEST(ByteText, Utf8ValidityFollowsTheUnicodeTable) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain.doc"));
  EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9.doc"));               // é
  EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC \xF0\x9F\x93\x84")); // € and a 4-byte emoji
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));              // U+10FFFF
  EXPECT_FALSE(IsValidUtf8("caf\xE9.doc"));                  // Latin-1 é
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));                     // overlong NUL
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));                 // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                 // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));             // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));                     // cut short
  EXPECT_FALSE(IsValidUtf8("\x80"));                         // a lone continuation
}

TEST(ByteText, ReplacementKeepsValidTextAndMarksEachStrayByte) {
  EXPECT_EQ(ReplaceInvalidUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(ReplaceInvalidUtf8("a\xE9"
                               "b\xFF\xFE"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_TRUE(IsValidUtf8(ReplaceInvalidUtf8("\xE2\x82\xC3\xA9\xED\xA0\x80")));
  EXPECT_EQ(HexBytes(std::string("\x00\x7F\xFFz", 4)), "007fff7a");
}

TEST(ByteText, TerminalEscapesLeaveNoControlCharacter) {
  const std::string hostile = "a\nb\tc\rd\x1b[31mred\x07\x7F\xC2\x9B"
                              "2J\\e";
  const std::string escaped = EscapeControlBytes(hostile);
  EXPECT_EQ(escaped, "a\\nb\\tc\\rd\\x1b[31mred\\x07\\x7f\\xc2\\x9b2J\\\\e");
  for (unsigned char c : escaped)
    EXPECT_TRUE(c >= 0x20 && c != 0x7F) << int(c);
  // Printable UTF-8 and bytes that are no control pass unchanged.
  EXPECT_EQ(EscapeControlBytes("R\xC3\xA9sum\xC3\xA9 \xE9.doc"), "R\xC3\xA9sum\xC3\xA9 \xE9.doc");
}

TEST(ByteText, CuttingKeepsWholeCodePoints) {
  EXPECT_EQ(DisplayWidth("caf\xC3\xA9"), 4u);
  EXPECT_EQ(KeepTail("short", 10), "short");
  EXPECT_EQ(KeepTail("/srv/docs/reports/q1.doc", 12), "...ts/q1.doc");
  EXPECT_EQ(KeepTail("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 4), "...\xC3\xA9");
  EXPECT_EQ(KeepHead("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(KeepHead("abc", 10), "abc");
}

} // namespace

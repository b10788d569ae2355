//===- tests/core/utf8_test.cpp - Well-formed UTF-8 at the start of bytes --===//

#include "core/utf8.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using namespace std::string_literals;

TEST(Utf8SequenceLength, WellFormedSequencesOfEachLength) {
  EXPECT_EQ(1u, Utf8SequenceLength("a"));
  EXPECT_EQ(2u, Utf8SequenceLength("\xC3\xA9tude"));         // é
  EXPECT_EQ(3u, Utf8SequenceLength("\xE2\x82\xAC"));         // €
  EXPECT_EQ(4u, Utf8SequenceLength("\xF0\x9F\x93\x84.doc")); // a page emoji
  EXPECT_EQ(4u, Utf8SequenceLength("\xF4\x8F\xBF\xBF"));     // U+10FFFF, the last one
}

TEST(Utf8SequenceLength, RefusesWhatIsNotWellFormed) {
  EXPECT_EQ(0u, Utf8SequenceLength(""));
  EXPECT_EQ(0u, Utf8SequenceLength("\xE9t\xE9.doc"));    // Latin-1 é
  EXPECT_EQ(0u, Utf8SequenceLength("\x80"));             // a lone continuation byte
  EXPECT_EQ(0u, Utf8SequenceLength("\xC0\xAF"));         // overlong '/'
  EXPECT_EQ(0u, Utf8SequenceLength("\xE0\x80\xAF"));     // overlong '/'
  EXPECT_EQ(0u, Utf8SequenceLength("\xF0\x80\x80\xAF")); // overlong '/'
  EXPECT_EQ(0u, Utf8SequenceLength("\xED\xA0\x80"));     // a surrogate
  EXPECT_EQ(0u, Utf8SequenceLength("\xF4\x90\x80\x80")); // above U+10FFFF
  EXPECT_EQ(0u, Utf8SequenceLength("\xE2\x82"));         // cut short by the end
  EXPECT_EQ(0u, Utf8SequenceLength("\xE2\x82"
                                   "a"));    // cut short by another byte
  EXPECT_EQ(1u, Utf8SequenceLength("\0a"s)); // a NUL is one byte
}

} // namespace

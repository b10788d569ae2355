//===- tests/core/byte_string_test.cpp - Growable byte string ---------------===//

#include "core/exceptions.h"
#include "core/byte_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

/// Runs `operation` and gives the text of the TTExceptionMessage it threw, or
/// "(no throw)".
template <typename F> std::string MessageOf(F operation) {
  try {
    operation();
  } catch (const TTExceptionMessage &e) {
    return e.Message();
  }
  return "(no throw)";
}

/// A string of `n` bytes 'x' whose capacity is exactly `n`: no room left.
TTString FullString(std::int32_t n) {
  TTString s(std::string(n, 'x').c_str());
  EXPECT_EQ(s.Capacity(), n);
  return s;
}

} // namespace

TEST(StringTest, ConstructionSetsCapacity) {
  TTString empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Capacity(), 15);
  EXPECT_STREQ(empty.CStr(), "");

  TTString text("abcdef");
  EXPECT_EQ(text.Length(), 6);
  EXPECT_EQ(text.Capacity(), 6);

  TTString grown;
  grown += "abc";
  TTString copy(grown);
  EXPECT_EQ(copy.Capacity(), 3);
  EXPECT_STREQ(copy.CStr(), "abc");

  TTString fromNull(static_cast<const char *>(nullptr));
  EXPECT_TRUE(fromNull.IsEmpty());
}

TEST(StringTest, GrowthSteps) {
  // An empty default string given 20 bytes at once grows by 16 to 32.
  TTString s;
  s += "01234567890123456789";
  EXPECT_EQ(s.Capacity(), 32);

  // 100 bytes allocated and full: one more byte grows by a quarter, to 125.
  TTString hundred = FullString(99);
  hundred += 'y';
  EXPECT_EQ(hundred.Capacity(), 125);
  EXPECT_EQ(hundred.Length(), 100);

  // 8 bytes allocated and full: one more byte grows by 4, to 12.
  TTString eight = FullString(7);
  eight += 'y';
  EXPECT_EQ(eight.Capacity(), 12);

  // The boundaries of the middle step: 9 and 64 bytes allocated grow by 16,
  // 65 bytes by 65 / 4.
  TTString nine = FullString(8);
  nine += 'y';
  EXPECT_EQ(nine.Capacity(), 9 + 16);
  TTString sixtyFour = FullString(63);
  sixtyFour += 'y';
  EXPECT_EQ(sixtyFour.Capacity(), 64 + 16);
  TTString sixtyFive = FullString(64);
  sixtyFive += 'y';
  EXPECT_EQ(sixtyFive.Capacity(), 65 + 16);

  // A request larger than the step takes what is missing, counted from the
  // allocation (which includes the terminator): 3 + 10.
  TTString small = FullString(2);
  small += "0123456789";
  EXPECT_EQ(small.Capacity(), 13);

  // Room left: no growth.
  TTString roomy;
  roomy += "abc";
  EXPECT_EQ(roomy.Capacity(), 15);
}

TEST(StringTest, SingleByteAppendsFollowThePolicy) {
  TTString s;
  std::int32_t capacity = s.Capacity();
  std::string expected;
  for (int i = 0; i < 500; ++i) {
    if (s.Length() == capacity) {
      std::int32_t allocated = capacity + 1;
      std::int32_t step = allocated <= 8 ? 4 : allocated <= 64 ? 16 : allocated / 4;
      capacity = allocated + step;
    }
    char c = static_cast<char>('a' + i % 26);
    s += c;
    expected += c;
    ASSERT_EQ(s.Capacity(), capacity) << "after " << i + 1 << " bytes";
  }
  EXPECT_EQ(expected, s.CStr());
}

TEST(StringTest, SetCapacityLimits) {
  TTString s("hello");
  EXPECT_EQ(MessageOf([&] { s.SetCapacity(4); }), kStringCapacityError);
  EXPECT_EQ(MessageOf([&] { s.SetCapacity(TTString::kMaxCapacity + 1LL); }), kStringCapacityError);
  EXPECT_EQ(MessageOf([&] { s.SetCapacity(-1); }), kStringCapacityError);
  EXPECT_STREQ(s.CStr(), "hello");
  EXPECT_EQ(s.Capacity(), 5);

  s.SetCapacity(40);
  EXPECT_EQ(s.Capacity(), 40);
  s.SetCapacity(5); // shrinking down to the length is allowed
  EXPECT_EQ(s.Capacity(), 5);
  EXPECT_STREQ(s.CStr(), "hello");
}

TEST(StringTest, AssignSetsCapacityToTheOthersLength) {
  TTString s;
  s.SetCapacity(200);
  s += "something long enough";
  TTString three("abc");
  s = three;
  EXPECT_EQ(s.Capacity(), 3);
  EXPECT_STREQ(s.CStr(), "abc");

  s = "a longer text";
  EXPECT_EQ(s.Capacity(), 13);
  EXPECT_STREQ(s.CStr(), "a longer text");
}

TEST(StringTest, AliasingIsSafe) {
  TTString s("abc");
  s = s;
  EXPECT_STREQ(s.CStr(), "abc");

  s += s;
  EXPECT_STREQ(s.CStr(), "abcabc");

  // Appending a tail of its own buffer while growing.
  TTString t = FullString(10);
  t += t.CStr() + 7;
  EXPECT_STREQ(t.CStr(), "xxxxxxxxxxxxx");

  TTString u("prefix-tail");
  u = u.CStr() + 7;
  EXPECT_STREQ(u.CStr(), "tail");
}

TEST(StringTest, AtChecksPositions) {
  TTString s("abc");
  const TTString &c = s;
  EXPECT_EQ(c.At(0), 'a');
  EXPECT_EQ(c.At(3), 0);
  EXPECT_EQ(s.At(3), 0);
  EXPECT_EQ(MessageOf([&] { (void)c.At(4); }), kStringIndexError);
  EXPECT_EQ(MessageOf([&] { (void)c.At(-1); }), kStringIndexError);
  s.At(1) = 'B';
  EXPECT_STREQ(s.CStr(), "aBc");
}

TEST(StringTest, MidAndLeft) {
  TTString s("hello");
  EXPECT_STREQ(s.Mid(1, 3).CStr(), "ell");
  EXPECT_STREQ(s.Mid(2).CStr(), "llo");
  EXPECT_STREQ(s.Mid(5).CStr(), "");
  EXPECT_STREQ(s.Mid(3, 100).CStr(), "lo");
  EXPECT_EQ(s.Mid(3, 100).Length(), 2);
  EXPECT_EQ(s.Left(100).Length(), 5);
  EXPECT_EQ(MessageOf([&] { s.Mid(6); }), kStringIndexError);
  EXPECT_EQ(MessageOf([&] { s.Mid(6, 1); }), kStringIndexError);
  EXPECT_EQ(MessageOf([&] { s.Mid(1, -1); }), kStringCapacityError);
  EXPECT_STREQ(s.Left(100).CStr(), "hello");
  EXPECT_STREQ(s.Left(0).CStr(), "");
  EXPECT_EQ(MessageOf([&] { s.Left(-1); }), kStringCapacityError);
  EXPECT_STREQ(s.CStr(), "hello");
}

TEST(StringTest, Delete) {
  TTString s("abcdef");
  EXPECT_EQ(s.Delete(6, 1), 6);
  EXPECT_EQ(s.Delete(1, 0), 6);
  EXPECT_EQ(s.Delete(1, -3), 6);
  EXPECT_EQ(MessageOf([&] { s.Delete(7, 1); }), kStringIndexError);
  EXPECT_EQ(MessageOf([&] { s.Delete(-1, 1); }), kStringIndexError);
  EXPECT_STREQ(s.CStr(), "abcdef");
  EXPECT_EQ(s.Delete(1, 2), 4);
  EXPECT_STREQ(s.CStr(), "adef");
  EXPECT_EQ(s.Delete(2, 100), 2);
  EXPECT_STREQ(s.CStr(), "ad");
  EXPECT_EQ(s.Capacity(), 6); // deleting keeps the capacity
}

TEST(StringTest, Replace) {
  TTString s("a/b/c");
  EXPECT_EQ(s.Replace('/', '\\'), 2);
  EXPECT_STREQ(s.CStr(), "a\\b\\c");
  EXPECT_EQ(s.Replace('a', 'a'), 0);
  EXPECT_EQ(s.Replace('z', 'y'), 0);
  EXPECT_STREQ(s.CStr(), "a\\b\\c");
}

TEST(StringTest, Trim) {
  TTString s(" \t a b \n");
  s.Trim();
  EXPECT_STREQ(s.CStr(), "a b");

  TTString cr("\r x \r");
  cr.Trim();
  EXPECT_STREQ(cr.CStr(), "\r x \r"); // carriage return is not trimmed

  TTString blank(" \t\n ");
  blank.Trim();
  EXPECT_TRUE(blank.IsEmpty());

  TTString left("xxyabcyx");
  EXPECT_EQ(left.TrimLeft("xy"), 5);
  EXPECT_STREQ(left.CStr(), "abcyx");
  EXPECT_EQ(left.TrimRight("xy"), 3);
  EXPECT_STREQ(left.CStr(), "abc");
  EXPECT_EQ(left.TrimRight(""), 3);

  TTString defaults("  a  ");
  EXPECT_EQ(defaults.TrimLeft(), 3);
  EXPECT_EQ(defaults.TrimRight(), 1);
}

TEST(StringTest, FindAndFindOneOf) {
  TTString s("abcabc");
  EXPECT_EQ(s.Find('c'), 2);
  EXPECT_EQ(s.Find('c', 3), 5);
  EXPECT_EQ(s.Find('z'), -1);
  EXPECT_EQ(s.Find('a', 6), -1);
  EXPECT_EQ(MessageOf([&] { s.Find('a', 7); }), kStringIndexError);

  EXPECT_EQ(TTString("doc?.xls").FindOneOf(TTWildcardChars()), 3);
  EXPECT_EQ(TTString("plain.doc").FindOneOf(TTWildcardChars()), -1);
  EXPECT_EQ(TTString("abc").FindOneOf(""), -1);
}

TEST(StringTest, Compare) {
  EXPECT_EQ(TTString("abc").Compare("abd"), -1);
  EXPECT_EQ(TTString("abd").Compare("abc"), 1);
  EXPECT_EQ(TTString("abc").Compare("abc"), 0);
  EXPECT_EQ(TTString("ab").Compare("abc"), -1);
  EXPECT_EQ(TTString("ABC").CompareNoCase("abc"), 0);
  EXPECT_EQ(TTString("_").Compare("A"), 1);
  EXPECT_EQ(TTString("_").CompareNoCase("A"), -1);
  // Bytes compare as unsigned values and do not fold above 0x7f.
  EXPECT_EQ(TTString("\xe9").Compare("a"), 1);
  EXPECT_NE(TTString("\xe9").CompareNoCase("\xc9"), 0);
  EXPECT_TRUE(TTString("a") != TTString("b"));
  EXPECT_FALSE(TTString("a") != TTString("a"));
}

TEST(StringTest, ConcatenationLeavesOperandsAlone) {
  TTString a("dir/");
  TTString b("name");
  TTString joined = a + b;
  EXPECT_STREQ(joined.CStr(), "dir/name");
  EXPECT_STREQ((a + "*").CStr(), "dir/*");
  EXPECT_STREQ(a.CStr(), "dir/");
}

TEST(StringTest, ClearKeepsCapacity) {
  TTString s;
  s += "0123456789012345678901234";
  std::int32_t capacity = s.Capacity();
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_STREQ(s.CStr(), "");
  EXPECT_EQ(s.Capacity(), capacity);
}

TEST(StringTest, ErrorsAreCatchableAsTheRoot) {
  TTString s("x");
  try {
    (void)s.At(5);
    FAIL() << "no throw";
  } catch (const TTException &e) {
    auto *message = dynamic_cast<const TTExceptionMessage *>(&e);
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message->Message(), "String: Index Error");
  }
}

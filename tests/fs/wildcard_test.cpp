//===- tests/fs/wildcard_test.cpp - Wildcard matching ---------------------===//

#include "fs/wildcard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

/// The straightforward backtracking matcher: "?" tries zero then one byte,
/// "*" tries zero bytes then one more. `budget` counts the steps; the match
/// gives up (returns -1) when it runs out.
int ReferenceMatch(const std::string &mask, std::size_t i, const std::string &name, std::size_t j,
                   long &budget) {
  for (;;) {
    if (--budget < 0)
      return -1;
    if (i == mask.size())
      return j == name.size();
    char c = mask[i];
    if (c == '?' || c == '*') {
      int rest = ReferenceMatch(mask, i + 1, name, j, budget);
      if (rest != 0)
        return rest;
      if (j == name.size())
        return 0;
      if (c == '?')
        ++i;
      ++j;
    } else {
      if (j == name.size() || Upper(name[j]) != Upper(c))
        return 0;
      ++i;
      ++j;
    }
  }
}

} // namespace

TEST(WildcardTest, StarAndEmpty) {
  EXPECT_TRUE(MatchWildcard("*", ""));
  EXPECT_TRUE(MatchWildcard("*", "anything at all"));
  EXPECT_TRUE(MatchWildcard("", ""));
  EXPECT_FALSE(MatchWildcard("", "a"));
  EXPECT_TRUE(MatchWildcard("**", ""));
}

TEST(WildcardTest, QuestionMarkIsZeroOrOneByte) {
  EXPECT_TRUE(MatchWildcard("?", ""));
  EXPECT_TRUE(MatchWildcard("?", "x"));
  EXPECT_FALSE(MatchWildcard("?", "ab"));
  EXPECT_TRUE(MatchWildcard("a?c", "ac"));
  EXPECT_TRUE(MatchWildcard("a?c", "abc"));
  EXPECT_FALSE(MatchWildcard("a?c", "abbc"));
  EXPECT_TRUE(MatchWildcard("??", "a"));
}

TEST(WildcardTest, DotIsAnOrdinaryByte) {
  EXPECT_FALSE(MatchWildcard("*.*", "README"));
  EXPECT_TRUE(MatchWildcard("*.*", "a."));
  EXPECT_TRUE(MatchWildcard("*.*", ".profile"));
  EXPECT_TRUE(MatchWildcard("*.doc", "LETTER.DOC"));
  EXPECT_TRUE(MatchWildcard("*.doc", "x.doc"));
  EXPECT_FALSE(MatchWildcard("*.doc", "x.doc.bak"));
  EXPECT_FALSE(MatchWildcard("*.doc", "x.docx"));
  EXPECT_TRUE(MatchWildcard("*.do?", "x.do"));
  EXPECT_TRUE(MatchWildcard("*.do?", "x.doc"));
}

TEST(WildcardTest, CaseFoldsForAsciiOnly) {
  EXPECT_TRUE(MatchWildcard("Report.XLS", "report.xls"));
  // é (0xe9) and É (0xc9) in Latin-1, and the two bytes of UTF-8 "é".
  EXPECT_FALSE(MatchWildcard("\xe9.doc", "\xc9.doc"));
  EXPECT_TRUE(MatchWildcard("\xc3\xa9*", "\xc3\xa9t\xc3\xa9.doc"));
  EXPECT_FALSE(MatchWildcard("\xc3\xa9*", "\xc3\x89T\xc3\x89.doc"));
  // '[' and '{' are not the folded forms of anything.
  EXPECT_FALSE(MatchWildcard("[", "{"));
  EXPECT_FALSE(MatchWildcard("@", "`"));
}

TEST(WildcardTest, SeparatorsAreOrdinaryBytes) {
  EXPECT_TRUE(MatchWildcard("*", "a\\b:c"));
  EXPECT_TRUE(MatchWildcard("a?b", "a\\b"));
}

TEST(WildcardTest, AgreesWithBacktrackingMatcher) {
  std::mt19937 random(20261208);
  const char maskBytes[] = {'a', 'b', 'A', '.', '?', '?', '*', '*', '\xe9'};
  const char nameBytes[] = {'a', 'a', 'b', 'B', '.', '\xe9', '\xc9'};
  int matches = 0;
  for (int round = 0; round < 50000; ++round) {
    std::string mask(random() % 9, ' ');
    for (char &c : mask)
      c = maskBytes[random() % sizeof maskBytes];
    std::string name(random() % 11, ' ');
    for (char &c : name)
      c = nameBytes[random() % sizeof nameBytes];
    long budget = 10'000'000;
    int expected = ReferenceMatch(mask, 0, name, 0, budget);
    ASSERT_GE(expected, 0) << "reference gave up on " << mask;
    ASSERT_EQ(MatchWildcard(mask.c_str(), name.c_str()), expected == 1)
        << "mask '" << mask << "' name '" << name << "'";
    matches += expected;
  }
  // Both outcomes are well represented.
  EXPECT_GT(matches, 5000);
  EXPECT_LT(matches, 45000);
}

TEST(WildcardTest, LongNamesAgreeWithBacktrackingMatcher) {
  // Names longer than the matcher's on-stack table.
  std::string name(700, 'a');
  name += ".doc";
  EXPECT_TRUE(MatchWildcard("*.doc", name.c_str()));
  EXPECT_TRUE(MatchWildcard("a*a?.DOC", name.c_str()));
  EXPECT_FALSE(MatchWildcard("*.xls", name.c_str()));
  EXPECT_FALSE(MatchWildcard("b*", name.c_str()));
}

// Many stars against a long name that does not match: the backtracking
// matcher runs out of a budget of 20 million steps (its work grows
// exponentially with the number of stars), while MatchWildcard answers in
// mask x name steps.
TEST(WildcardTest, ManyStarsAgainstLongNameAnswersAtOnce) {
  const std::string mask = "*a*a*a*a*a*a*a*a*a*b";
  const std::string name(250, 'a');
  long budget = 20'000'000;
  EXPECT_EQ(ReferenceMatch(mask, 0, name, 0, budget), -1);

  for (int i = 0; i < 1000; ++i)
    ASSERT_FALSE(MatchWildcard(mask.c_str(), name.c_str()));
  EXPECT_TRUE(MatchWildcard(mask.c_str(), (name + "b").c_str()));
  std::string stars(200, '*');
  EXPECT_FALSE(MatchWildcard((stars + "b").c_str(), name.c_str()));
  EXPECT_TRUE(MatchWildcard((stars + "?").c_str(), name.c_str()));
}

TEST(WildcardTest, LiteralNameMaskMatchesItsNameOnly) {
  const TTString mask = LiteralNameMask("r?.DOC");
  EXPECT_TRUE(IsLiteralNameMask(mask));
  EXPECT_FALSE(IsLiteralNameMask("r?.doc"));
  EXPECT_TRUE(MatchWildcard(mask, "R?.doc"));
  EXPECT_FALSE(MatchWildcard(mask, "r.doc"));
  EXPECT_FALSE(MatchWildcard(mask, "r1.doc"));
  EXPECT_TRUE(MatchWildcard(LiteralNameMask("*"), "*"));
  EXPECT_FALSE(MatchWildcard(LiteralNameMask("*"), "a"));
  EXPECT_TRUE(HasWildcards(LiteralNameMask("plain.doc"))) << "matched against a listing";
}

TEST(WildcardTest, HasWildcardsAndLists) {
  EXPECT_TRUE(HasWildcards("*.doc"));
  EXPECT_TRUE(HasWildcards("a?"));
  EXPECT_FALSE(HasWildcards("plain.doc"));
  EXPECT_FALSE(HasWildcards(""));

  TTStringList masks;
  EXPECT_FALSE(AnyMaskMatches(masks, "x.doc"));
  EXPECT_FALSE(AnyHasWildcards(masks));
  masks.AddCopy("report.doc");
  masks.AddCopy("*.xls");
  EXPECT_TRUE(AnyHasWildcards(masks));
  EXPECT_TRUE(AnyMaskMatches(masks, "REPORT.DOC"));
  EXPECT_TRUE(AnyMaskMatches(masks, "sheet.xls"));
  EXPECT_FALSE(AnyMaskMatches(masks, "sheet.doc"));

  TTStringList names;
  names.AddCopy("a.doc");
  EXPECT_FALSE(AnyHasWildcards(names));
  names.AddCopy("b?.doc");
  EXPECT_TRUE(AnyHasWildcards(names));
}

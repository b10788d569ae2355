//===- tests/fs/wildcard_test.cpp - Wildcard matching ---------------------===//

#include "fs/wildcard.h"

#include <gtest/gtest.h>

TEST(WildcardTest, StarMatchesEverything) {
  EXPECT_TRUE(MatchWildcard("*", ""));
  EXPECT_TRUE(MatchWildcard("*", "abc"));
}

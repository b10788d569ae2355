//===- tests/core/tt_string_test.cpp - Growable byte string ---------------===//

#include "core/tt_string.h"

#include <gtest/gtest.h>

TEST(StringTest, DefaultIsEmpty) {
  TTString s;
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.Capacity(), 15);
}

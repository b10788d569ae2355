//===- tests/core/tt_list_test.cpp - Growable lists -----------------------===//

#include "core/tt_list.h"

#include <gtest/gtest.h>

TEST(PointerListTest, AddReturnsIndex) {
  TTPointerList list;
  EXPECT_EQ(list.Add(nullptr), 0);
  EXPECT_EQ(list.Capacity(), 4);
}

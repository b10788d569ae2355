//===- tests/fs/mask_set_test.cpp - The mask tree and selection -----------===//

#include "fs/mask_set.h"

#include <gtest/gtest.h>

TEST(MaskSetTest, RootSelectsLocalMask) {
  TTMaskSet set;
  set.Add("*.doc", true, false);
  EXPECT_TRUE(MaskSelects(set.Root(), true, "a.doc"));
}

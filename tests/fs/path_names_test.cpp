//===- tests/fs/path_names_test.cpp - Path names --------------------------===//

#include "fs/path_names.h"

#include <gtest/gtest.h>

TEST(PathNamesTest, DirectoryOfBareName) {
  EXPECT_STREQ(DirectoryOf("b.doc").CStr(), "./");
}

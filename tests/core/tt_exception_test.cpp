//===- tests/core/tt_exception_test.cpp - Exceptions and error codes ------===//

#include "core/tt_exception.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(FileErrorTest, ZeroMeansNoError) {
  EXPECT_EQ(SystemErrorToFileError(0), TTFileError::none);
  EXPECT_EQ(ErrnoToFileError(0), TTFileError::none);
  EXPECT_NO_THROW(ThrowIfSystemError(0));
}

//===- tests/engine/run_failure_test.cpp - The text of an error that ends a run =//

#include "core/exceptions.h"
#include "core/lists.h"
#include "engine/run_failure.h"
#include "engine/user_abort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <exception>

namespace {

/// `inner` as it reaches the command's entry after ending a run at `place`.
template <typename T> std::exception_ptr EndedRun(const T &inner, const RunFailure &place) {
  try {
    try {
      throw inner;
    } catch (...) {
      std::throw_with_nested(place);
    }
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

template <typename T> std::exception_ptr Thrown(const T &value) {
  return std::make_exception_ptr(value);
}

TEST(RunFailure, NamesTheFileAbsolutelyAfterTheDirectoryWasRestored) {
  RunFailure place("/srv/docs/", "Reports/a.doc");
  // A named error: its own (relative) name, made absolute.
  EXPECT_EQ(
      "access denied: /srv/docs/Reports/vkr1A.tmp",
      DescribeException(EndedRun(
          TTFileWithNameException("Reports/vkr1A.tmp", TTFileError::accessDenied, EACCES), place)));
  EXPECT_EQ("disk full: /srv/docs/vkr2.tmp",
            DescribeException(EndedRun(
                TTFileWithNameException("./vkr2.tmp", TTFileError::diskFull, ENOSPC), place)));
  EXPECT_EQ(
      "file not found: /elsewhere/x.doc",
      DescribeException(EndedRun(
          TTFileWithNameException("/elsewhere/x.doc", TTFileError::fileNotFound, ENOENT), place)));
  // An error without a name: the document in hand.
  EXPECT_EQ("access denied: /srv/docs/Reports/a.doc",
            DescribeException(EndedRun(TTFileException(TTFileError::accessDenied, EROFS), place)));
  // Outside a base entry: the file being read.
  EXPECT_EQ("generic (Invalid argument): /proc/self/mountinfo",
            DescribeException(EndedRun(TTFileException(TTFileError::generic, EINVAL),
                                       RunFailure("", "/proc/self/mountinfo"))));
  // During a scan there is no document in hand: the base directory.
  EXPECT_EQ("List: Index Error: /srv/docs/", DescribeException(EndedRun<const char *>(
                                                 kListIndexError, RunFailure("/srv/docs/", ""))));
}

TEST(RunFailure, DescribesEveryKindOfThrownValue) {
  EXPECT_EQ("file not found: x.doc", DescribeException(Thrown(TTFileWithNameException(
                                         "x.doc", TTFileError::fileNotFound, ENOENT))));
  EXPECT_EQ("String: Index Error",
            DescribeException(Thrown(TTExceptionMessage("String: Index Error"))));
  EXPECT_EQ("internal error 98112723", DescribeException(Thrown<std::int32_t>(98112723)));
  EXPECT_EQ("generic (Operation not supported)",
            DescribeException(Thrown(TTFileException(TTFileError::generic, EOPNOTSUPP))));
  EXPECT_EQ("", DescribeException(Thrown(UserAbort())));
  EXPECT_EQ("", DescribeException(nullptr));
}

} // namespace

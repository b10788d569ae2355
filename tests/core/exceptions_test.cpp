//===- tests/core/exceptions_test.cpp - Exceptions and error codes ------===//

#include "core/exceptions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <unistd.h>
#include <vector>

TEST(FileErrorTest, Texts) {
  const char *expected[] = {"none",
                            "call not implemented",
                            "generic",
                            "file not found",
                            "bad path",
                            "too many open files",
                            "access denied",
                            "invalid file",
                            "remove current dir",
                            "directory full",
                            "bad seek",
                            "hard IO",
                            "sharing violation",
                            "lock violation",
                            "disk full",
                            "end of file",
                            "write fault",
                            "read fault",
                            "file exists",
                            "Cannot create a file when that file already exists"};
  for (int code = 0; code < kFileErrorCount; ++code)
    EXPECT_STREQ(FileErrorText(static_cast<TTFileError>(code)), expected[code]);
  EXPECT_STREQ(FileErrorText(static_cast<TTFileError>(20)), "generic");
  EXPECT_EQ(static_cast<int>(TTFileError::alreadyExists), 19);
  EXPECT_EQ(static_cast<int>(TTFileError::sharingViolation), 12);
}

TEST(FileErrorTest, WindowsNumbers) {
  const std::map<int, std::vector<std::uint32_t>> table = {
      {0, {0}},
      {1, {120}},
      {3, {2, 6, 18, 107}},
      {4,
       {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
      {5, {4, 36, 68, 113}},
      {6, {5, 12, 19, 54, 58, 64, 65, 71, 82, 86, 170, 999}},
      {7, {11, 26, 60, 66, 114, 182, 191, 193}},
      {8, {16, 145}},
      {9, {62}},
      {10, {24, 25, 27, 131, 132}},
      {11, {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
      {12, {32}},
      {13, {33, 108, 167}},
      {14, {39, 112}},
      {15, {38}},
      {16, {29}},
      {17, {30}},
      {18, {80}},
      {19, {183}},
  };
  std::map<std::uint32_t, int> expected;
  for (const auto &[code, numbers] : table)
    for (std::uint32_t number : numbers)
      expected[number] = code;
  for (std::uint32_t number = 0; number <= 1100; ++number) {
    auto it = expected.find(number);
    int code = it == expected.end() ? 2 : it->second;
    EXPECT_EQ(static_cast<int>(SystemErrorToFileError(number)), code) << "Windows error " << number;
  }
  EXPECT_EQ(SystemErrorToFileError(0xffffffffu), TTFileError::generic);
  EXPECT_EQ(SystemErrorToFileError(1), TTFileError::generic);
  EXPECT_EQ(SystemErrorToFileError(268), TTFileError::generic);
}

TEST(FileErrorTest, ErrnoValues) {
  const std::pair<int, TTFileError> table[] = {
      {0, TTFileError::none},
      {ENOENT, TTFileError::fileNotFound},
      {ENOTDIR, TTFileError::badPath},
      {ENAMETOOLONG, TTFileError::badPath},
      {ELOOP, TTFileError::badPath},
      {EACCES, TTFileError::accessDenied},
      {EPERM, TTFileError::accessDenied},
      {EROFS, TTFileError::accessDenied},
      {EMFILE, TTFileError::tooManyOpenFiles},
      {ENFILE, TTFileError::tooManyOpenFiles},
      {ENOSPC, TTFileError::diskFull},
#ifdef EDQUOT
      {EDQUOT, TTFileError::diskFull},
#endif
      {EEXIST, TTFileError::fileExists},
      {EIO, TTFileError::hardIO},
      {EBUSY, TTFileError::sharingViolation},
      {ETXTBSY, TTFileError::sharingViolation},
      {EAGAIN, TTFileError::lockViolation},
      {EWOULDBLOCK, TTFileError::lockViolation},
      {ENOTEMPTY, TTFileError::removeCurrentDir},
      {ESPIPE, TTFileError::badSeek},
      {EINVAL, TTFileError::generic},
      {EBADF, TTFileError::generic},
      {EXDEV, TTFileError::generic},
      {-1, TTFileError::generic},
  };
  for (const auto &[error, code] : table)
    EXPECT_EQ(ErrnoToFileError(error), code) << "errno " << error;
}

TEST(ThrowTest, ZeroReturnsNormally) {
  EXPECT_NO_THROW(ThrowIfSystemError(0));
  EXPECT_NO_THROW(ThrowIfSystemErrorWithName("a.doc", 0));
}

TEST(ThrowTest, NamedExceptionIsCaughtAsFileException) {
  TTString path("dir/missing.doc");
  try {
    ThrowIfSystemErrorWithName(path, ENOENT);
    FAIL() << "no throw";
  } catch (const TTFileException &e) {
    EXPECT_EQ(e.code, TTFileError::fileNotFound);
    EXPECT_EQ(e.systemError, static_cast<std::uint32_t>(ENOENT));
    auto *named = dynamic_cast<const TTFileWithNameException *>(&e);
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(named->fileName.CStr(), "dir/missing.doc");
  }
  EXPECT_THROW(ThrowIfSystemError(EACCES), TTException);
  EXPECT_THROW(ThrowFileException(TTFileError::hardIO, 5), TTFileException);
  try {
    ThrowFileException(TTFileError::writeFault, 29);
  } catch (const TTFileException &e) {
    EXPECT_EQ(e.code, TTFileError::writeFault);
    EXPECT_EQ(e.systemError, 29u);
  }
}

TEST(ThrowTest, LastErrorReadsErrno) {
  ASSERT_EQ(::open("/nonexistent-velkor-dir/x", O_RDONLY), -1);
  try {
    ThrowLastErrorWithName("/nonexistent-velkor-dir/x");
    FAIL() << "no throw";
  } catch (const TTFileWithNameException &e) {
    EXPECT_EQ(e.code, TTFileError::fileNotFound);
    EXPECT_EQ(e.systemError, static_cast<std::uint32_t>(ENOENT));
    EXPECT_STREQ(e.fileName.CStr(), "/nonexistent-velkor-dir/x");
  }

  ASSERT_EQ(::lseek(-1, 0, SEEK_SET), -1);
  try {
    ThrowLastError();
    FAIL() << "no throw";
  } catch (const TTFileException &e) {
    EXPECT_EQ(e.code, TTFileError::generic); // EBADF
    EXPECT_EQ(e.systemError, static_cast<std::uint32_t>(EBADF));
  }
}

// A failure that left errno at 0 must not pass for success.
TEST(ThrowTest, LastErrorWithErrnoZeroStillThrows) {
  errno = 0;
  try {
    ThrowLastError();
    FAIL() << "no throw";
  } catch (const TTFileException &e) {
    EXPECT_EQ(e.code, TTFileError::generic);
    EXPECT_EQ(e.systemError, 0u);
  }
  errno = 0;
  EXPECT_THROW(ThrowLastErrorWithName("x"), TTFileWithNameException);
}

TEST(ExceptionMessageTest, CopyOwnsItsText) {
  auto *first = new TTExceptionMessage("String: Index Error");
  TTExceptionMessage copy(*first);
  EXPECT_NE(copy.Message(), first->Message());
  delete first;
  EXPECT_STREQ(copy.Message(), "String: Index Error");

  TTExceptionMessage assigned("other");
  assigned = copy;
  EXPECT_STREQ(assigned.Message(), "String: Index Error");
  assigned = assigned;
  EXPECT_STREQ(assigned.Message(), "String: Index Error");
}

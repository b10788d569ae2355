//===- tests/fs/file_handle_test.cpp - File handle over POSIX descriptors -----===//

#include "fs/file_handle.h"

#include "core/exceptions.h"
#include "support/fs_helpers.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using velkor::test::Exists;
using velkor::test::OpenDescriptorCount;
using velkor::test::ReadFile;
using velkor::test::RunAsNobody;
using velkor::test::TempDir;
using velkor::test::WriteFile;

namespace {

/// Runs `action` and gives the file exception it raised; fails the test when
/// it raised none.
template <typename Action> TTFileWithNameException ExpectNamedFailure(Action action) {
  try {
    action();
  } catch (const TTFileWithNameException &e) {
    return e;
  }
  ADD_FAILURE() << "no TTFileWithNameException";
  return TTFileWithNameException(TTString(""), TTFileError::none, 0);
}

TEST(TTFile, OpenOfAMissingFileRaisesFileNotFoundAndKeepsTheName) {
  TempDir dir;
  TTOutputFile file;
  file.SetCreationDisposition(OPEN_EXISTING);
  const TTString name((dir / "missing.doc").c_str());
  const auto e = ExpectNamedFailure([&] { file.Open(name); });
  EXPECT_EQ(e.code, TTFileError::fileNotFound);
  EXPECT_EQ(e.systemError, static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(e.fileName, name);
  EXPECT_EQ(file.Name(), name);
  EXPECT_FALSE(file.IsOpen());

  const auto inMissingFolder =
      ExpectNamedFailure([&] { file.Open(TTString((dir / "nofolder/x.doc").c_str())); });
  EXPECT_EQ(inMissingFolder.code, TTFileError::badPath);
}

TEST(TTFile, CreateNewRefusesAnExistingFile) {
  TempDir dir;
  WriteFile(dir / "a.doc", "keep");
  TTOutputFile file; // CREATE_NEW is the default
  const auto e = ExpectNamedFailure([&] { file.Open(TTString((dir / "a.doc").c_str())); });
  EXPECT_EQ(e.code, TTFileError::fileExists);
  EXPECT_EQ(ReadFile(dir / "a.doc"), "keep");

  file.Open(TTString((dir / "b.doc").c_str()));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_TRUE(Exists(dir / "b.doc"));
}

TEST(TTFile, OpeningAgainClosesTheFirstFileAndCloseIsIdempotent) {
  TempDir dir;
  WriteFile(dir / "a", "1");
  WriteFile(dir / "b", "22");
  const int before = OpenDescriptorCount();
  {
    TTFile file;
    file.Close(); // never opened: nothing happens
    file.Open(TTString((dir / "a").c_str()), GENERIC_READ, OPEN_EXISTING);
    file.Open(TTString((dir / "b").c_str()), GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(OpenDescriptorCount(), before + 1);
    EXPECT_EQ(file.GetSize(), 2u);
    file.Close();
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(OpenDescriptorCount(), before);
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(TTFile, WriteSeekAndSetSize) {
  TempDir dir;
  TTOutputFile file;
  EXPECT_EQ(file.Write("x", 0), 0u); // no system call, so no failure on a closed file
  file.Open(TTString((dir / "w").c_str()));
  EXPECT_EQ(file.Write("hello world", 11), 11u);
  EXPECT_EQ(file.GetPosition(), 11u);
  EXPECT_EQ(file.GetSize(), 11u);
  EXPECT_EQ(file.Seek(6), 6u);
  EXPECT_EQ(file.Write("W", 1), 1u);
  file.SetSize(7);
  EXPECT_EQ(file.GetPosition(), 7u);
  EXPECT_EQ(file.GetSize(), 7u);
  file.SetSize(9); // extends with zeros
  file.Flush();
  file.Close();
  EXPECT_EQ(ReadFile(dir / "w"), std::string("hello W\0\0", 9));
}

TEST(TTFile, ASecondOpenerMeetsASharingViolation) {
  TempDir dir;
  const TTString name((dir / "doc").c_str());
  WriteFile(name.CStr(), "content");
  TTOutputFile first;
  first.SetCreationDisposition(OPEN_EXISTING);
  first.Open(name);

  TTOutputFile second;
  second.SetCreationDisposition(OPEN_EXISTING);
  const auto e = ExpectNamedFailure([&] { second.Open(name); });
  EXPECT_EQ(e.code, TTFileError::sharingViolation);
  EXPECT_FALSE(second.IsOpen());

  TTFile reader;
  EXPECT_EQ(ExpectNamedFailure([&] { reader.Open(name, GENERIC_READ, OPEN_EXISTING); }).code,
            TTFileError::sharingViolation);

  // A truncating open that is refused must not have cut the file short.
  TTOutputFile truncating;
  truncating.SetCreationDisposition(CREATE_ALWAYS);
  EXPECT_EQ(ExpectNamedFailure([&] { truncating.Open(name); }).code, TTFileError::sharingViolation);
  EXPECT_EQ(ReadFile(name.CStr()), "content");

  // Another process is refused the same way.
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    TTOutputFile file;
    file.SetCreationDisposition(OPEN_EXISTING);
    try {
      file.Open(name);
      _exit(1);
    } catch (const TTFileException &e) {
      _exit(e.code == TTFileError::sharingViolation ? 0 : 2);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  first.Close();
  second.Open(name);
  EXPECT_TRUE(second.IsOpen());
}

TEST(TTFile, DirectoriesAndPipesAreRefusedWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.doc").c_str(), 0644), 0);
  TTFile file;
  EXPECT_EQ(ExpectNamedFailure([&] {
              file.Open(TTString((dir / "pipe.doc").c_str()), GENERIC_READ, OPEN_EXISTING);
            }).code,
            TTFileError::accessDenied);
  TTOutputFile output;
  output.SetCreationDisposition(OPEN_EXISTING);
  EXPECT_NE(ExpectNamedFailure([&] { output.Open(TTString(dir.Path().c_str())); }).code,
            TTFileError::none);
  EXPECT_EQ(ExpectNamedFailure([&] {
              file.Open(TTString(dir.Path().c_str()), GENERIC_READ, OPEN_EXISTING);
            }).code,
            TTFileError::accessDenied);
}

TEST(TTFile, AReadOnlyFileCannotBeOpenedForWritingByItsReaders) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  const std::string path = dir / "ro.doc";
  WriteFile(path, "x");
  chmod(path.c_str(), 0444);
  const std::string result = RunAsNobody([&](std::string &out) {
    TTOutputFile file;
    file.SetCreationDisposition(OPEN_EXISTING);
    try {
      file.Open(TTString(path.c_str()));
      out = "opened";
    } catch (const TTFileWithNameException &e) {
      out = std::to_string(static_cast<int>(e.code)) + " " + e.fileName.CStr();
    }
  });
  EXPECT_EQ(result, std::to_string(static_cast<int>(TTFileError::accessDenied)) + " " + path);
}

TEST(TTFile, TimesSurviveToTheNanosecond) {
  TempDir dir;
  const TTString name((dir / "t").c_str());
  TTOutputFile file;
  file.Open(name);

  timespec access{};
  access.tv_sec = 1262304000; // 2010-01-01
  access.tv_nsec = 123456789;
  timespec write{};
  write.tv_sec = 946684800; // 2000-01-01
  write.tv_nsec = 987654321;
  file.SetTimes(access, write);
  struct stat info;
  ASSERT_EQ(stat(name.CStr(), &info), 0);
  EXPECT_EQ(info.st_atim.tv_sec, access.tv_sec);
  EXPECT_EQ(info.st_atim.tv_nsec, access.tv_nsec);
  EXPECT_EQ(info.st_mtim.tv_sec, write.tv_sec);
  EXPECT_EQ(info.st_mtim.tv_nsec, write.tv_nsec);

  // File times carry 100-nanosecond ticks and arrive unchanged.
  const TTFileTime lastAccess = TTFileTime::FromValue(129000000001234567ULL);
  const TTFileTime lastWrite = TTFileTime::FromValue(125000000007654321ULL);
  file.SetTimes(TTFileTime::FromValue(1), lastAccess, lastWrite);
  ASSERT_EQ(stat(name.CStr(), &info), 0);
  EXPECT_EQ(TimespecToFileTime(info.st_atim), lastAccess);
  EXPECT_EQ(TimespecToFileTime(info.st_mtim), lastWrite);
  EXPECT_EQ(info.st_mtim.tv_nsec % 100, 0);
}

TEST(TTFile, FailuresOnAClosedDescriptorCarryTheRightKind) {
  TTOutputFile file;
  // No descriptor held: the calls fail with EBADF, unnamed for the position
  // and size, named for the rest.
  EXPECT_THROW(file.GetSize(), TTFileException);
  try {
    file.GetPosition();
    ADD_FAILURE();
  } catch (const TTFileWithNameException &) {
    ADD_FAILURE() << "the position's failure carries no name";
  } catch (const TTFileException &e) {
    EXPECT_EQ(e.systemError, static_cast<std::uint32_t>(EBADF));
  }
  EXPECT_THROW(file.Flush(), TTFileWithNameException);
  EXPECT_THROW(file.Write("x", 1), TTFileWithNameException);
}

} // namespace

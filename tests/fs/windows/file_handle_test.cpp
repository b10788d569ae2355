//===- tests/fs/windows/file_handle_test.cpp - Files held on Win32 --------===//

#include "fs/file_handle.h"

#include "core/exceptions.h"
#include "support/windows/temp_folder.h"

#include <gtest/gtest.h>

using velkor::test::T;
using velkor::test::TempFolder;
using velkor::test::UnderWine;
using velkor::test::WideOf;

namespace {

/// The code and system error of the file exception `action` raises, or
/// "none".
template <typename Action> std::string Failure(Action action) {
  try {
    action();
  } catch (const TTFileException &e) {
    return std::to_string(static_cast<int>(e.code)) + "/" + std::to_string(e.systemError);
  }
  return "none";
}

std::string Code(TTFileError code, DWORD error) {
  return std::to_string(static_cast<int>(code)) + "/" + std::to_string(error);
}

// A name outside every ANSI code page: Cyrillic and CJK in one.
const std::string kForeignName =
    "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82-\xE5\xA0\xB1\xE5\x91\x8A.doc";

TEST(WindowsFile, ASecondOpenerMeetsASharingViolationUntilTheFirstCloses) {
  TempFolder folder;
  const std::string name = folder / kForeignName;
  TTOutputFile writer;
  writer.Open(T(name)); // CREATE_NEW
  EXPECT_EQ(writer.Write("abc", 3), 3u);

  TTFile reader;
  EXPECT_EQ(Failure([&] { reader.Open(T(name), GENERIC_READ, OPEN_EXISTING); }),
            Code(TTFileError::sharingViolation, ERROR_SHARING_VIOLATION));
  EXPECT_STREQ(reader.Name().CStr(), name.c_str());
  EXPECT_FALSE(reader.IsOpen());

  writer.Close();
  reader.Open(T(name), GENERIC_READ, OPEN_EXISTING);
  EXPECT_EQ(reader.GetSize(), 3u);
  reader.Close();
  EXPECT_EQ(Failure([&] { writer.Open(T(name)); }),
            Code(TTFileError::fileExists, ERROR_FILE_EXISTS));
}

TEST(WindowsFile, MissingFilesFoldersAndNonFilesAreRefused) {
  TempFolder folder;
  TTFile file;
  EXPECT_EQ(Failure([&] { file.Open(T(folder / "missing.doc"), GENERIC_READ, OPEN_EXISTING); }),
            Code(TTFileError::fileNotFound, ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Failure([&] {
              file.Open(T(folder / "no-folder\\missing.doc"), GENERIC_READ, OPEN_EXISTING);
            }),
            Code(TTFileError::badPath, ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Failure([&] { file.Open(T(folder.Path()), GENERIC_READ, OPEN_EXISTING); }),
            Code(TTFileError::accessDenied, ERROR_ACCESS_DENIED));
  EXPECT_EQ(Failure([&] { file.Open(T("NUL"), GENERIC_READ, OPEN_EXISTING); }),
            Code(TTFileError::accessDenied, ERROR_ACCESS_DENIED));
  // Not UTF-8: refused, never turned into another name.
  EXPECT_EQ(
      Failure([&] { file.Open(T(folder.Path() + "\\bad\xFF.doc"), GENERIC_READ, OPEN_EXISTING); }),
      Code(TTFileError::badPath, 1113));
}

TEST(WindowsFile, WriteSeekSetSizeAndFlush) {
  TempFolder folder;
  TTOutputFile file;
  file.Open(T(folder / "data.bin"));
  EXPECT_EQ(file.Write("0123456789", 10), 10u);
  EXPECT_EQ(file.Write("", 0), 0u);
  EXPECT_EQ(file.GetPosition(), 10u);
  EXPECT_EQ(file.Seek(4), 4u);
  file.SetSize(6);
  EXPECT_EQ(file.GetPosition(), 6u);
  EXPECT_EQ(file.GetSize(), 6u);
  file.Flush();
  file.Close();
  EXPECT_EQ(velkor::test::ReadText(folder / "data.bin"), "012345");
}

TEST(WindowsFile, SetTimesGivesAllThreeTimes) {
  TempFolder folder;
  const std::string name = folder / kForeignName;
  const TTFileTime creation = TTFileTime::FromValue(0x01D0000011111100ull);
  const TTFileTime access = TTFileTime::FromValue(0x01D1000022222200ull);
  const TTFileTime write = TTFileTime::FromValue(0x01D2000033333300ull);
  {
    TTOutputFile file;
    file.Open(T(name));
    file.SetTimes(creation, access, write);
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(WideOf(name).c_str(), GetFileExInfoStandard, &data));
  const auto value = [](const FILETIME &time) {
    return TTFileTime{time.dwLowDateTime, time.dwHighDateTime}.Value();
  };
  EXPECT_EQ(value(data.ftLastAccessTime), access.Value());
  EXPECT_EQ(value(data.ftLastWriteTime), write.Value());
  if (UnderWine()) {
    // Wine keeps no creation time on a Linux file system; NTFS does.
    RecordProperty("creation", "not kept under Wine");
  } else {
    EXPECT_EQ(value(data.ftCreationTime), creation.Value());
  }
}

TEST(WindowsFile, ALongPathIsReachedThroughTheLongForm) {
  TempFolder folder;
  std::string path = folder.Path();
  const std::string part(60, 'd');
  while (path.size() < 300) {
    path += "\\" + part;
    ASSERT_TRUE(CreateDirectoryW(WideOf(path).c_str(), nullptr)) << GetLastError();
  }
  const std::string name = path + "\\" + kForeignName;
  ASSERT_GT(name.size(), 300u);
  {
    TTOutputFile file;
    file.Open(T(name));
    EXPECT_EQ(file.Write("long", 4), 4u);
  }
  TTFile reader;
  reader.Open(T(name), GENERIC_READ, OPEN_EXISTING);
  EXPECT_EQ(reader.GetSize(), 4u);
}

} // namespace

//===- tests/cfb/windows/source_test.cpp - The Win32 part of cfb, under Wine =//
///
/// Real files in a fresh folder, opened through the Windows build of the
/// compound-file layer: sharing modes instead of locks, wide names, long
/// paths, positioned reads and the copy's writes. The copies this test
/// writes into VELKOR_CFB_COPIES are read afterwards by python3-olefile on
/// the Linux side (cfb_windows.OlefileReadsTheCopies).
///
//===----------------------------------------------------------------------===//
#include "cfb/compare.h"
#include "cfb/compound_file.h"
#include "support/windows/temp_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <io.h>
#include <string>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

/// A Linux path as this Windows program reaches it: Wine's drive Z: is the
/// Linux root.
std::string OnDriveZ(const std::string &linuxPath) { return "Z:" + linuxPath; }

std::wstring Wide(const std::string &utf8) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  for (wchar_t &c : wide)
    if (c == L'/')
      c = L'\\';
  return wide;
}

std::string Fixture(const char *name) {
  return OnDriveZ(std::string(VELKOR_CFB_FIXTURES) + "/office/" + name);
}

/// A name no ANSI code page holds: Cyrillic, CJK and a check mark.
const std::string kWideName = "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 "
                              "\xE5\xA0\xB1\xE5\x91\x8A \xE2\x9C\x93.doc";

/// A handle another program would hold: opened with `access` and `sharing`,
/// closed by the destructor.
class OtherProgram {
public:
  OtherProgram(const std::string &path, DWORD access, DWORD sharing)
      : handle(CreateFileW(Wide(path).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OtherProgram() { Close(); }
  bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
  void Close() {
    if (IsOpen())
      CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }

private:
  HANDLE handle;
};

class WindowsSourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = OnDriveZ("/tmp/velkor-cfb-windows-") + std::to_string(GetCurrentProcessId()) + "-" +
             test->name();
    ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override { velkor::test::RemoveFolderTree(Wide(folder)); }

  std::string Path(const std::string &name) const { return folder + "\\" + name; }

  /// Copies the fixture `name` to `to` with the system's own copy.
  void Place(const char *name, const std::string &to) {
    ASSERT_TRUE(CopyFileW(Wide(Fixture(name)).c_str(), Wide(to).c_str(), FALSE))
        << Fixture(name) << ": " << GetLastError();
  }

  /// Copies the compound file `from` to `to` through cfb and checks the copy
  /// against it, tree and stream bytes.
  void CopyAndCompare(const std::string &from, const std::string &to) {
    cfb::Source source = cfb::Source::Open(from, cfb::FinalLink::refuse);
    const std::uint64_t planned = source.PlannedCopySize();
    cfb::Destination destination = cfb::Destination::Create(to);
    int checkpoints = 0;
    destination.SetCheckpoint([&] { ++checkpoints; });
    source.CopyTo(destination);
    {
      // Read back while its writer is still open, as the engine's check does.
      cfb::Source copy = cfb::Source::OpenCopy(destination);
      EXPECT_EQ(planned, copy.FileSize());
      std::optional<cfb::Difference> difference = cfb::CompareTrees(source, copy);
      EXPECT_FALSE(difference.has_value()) << difference->path << ": " << difference->detail;
    }
    destination.Release();
    EXPECT_GE(checkpoints, 1) << "the checkpoint runs before the final flush";
    cfb::Source copy = cfb::Source::Open(to);
    EXPECT_FALSE(cfb::CompareTrees(source, copy).has_value());
  }

  std::string folder;
};

TEST_F(WindowsSourceTest, CopiesFixtureDocumentsForTheIndependentReader) {
  const std::string copies = OnDriveZ(VELKOR_CFB_COPIES);
  CreateDirectoryW(Wide(copies).c_str(), nullptr);
  // large.xls crosses many megabytes: positioned reads of every size, and
  // the checkpoint after each megabyte written.
  for (const char *name : {"text.doc", "table.doc", "sheets.xls", "large.xls"}) {
    SCOPED_TRACE(name);
    CopyAndCompare(Fixture(name), copies + "/" + name);
  }
}

TEST_F(WindowsSourceTest, NameOutsideTheAnsiCodePageIsOpenedAndWritten) {
  const std::string copies = OnDriveZ(VELKOR_CFB_COPIES);
  CreateDirectoryW(Wide(copies).c_str(), nullptr);
  const std::string document = Path(kWideName);
  Place("text.doc", document);
  CopyAndCompare(document, copies + "/" + kWideName);
}

TEST_F(WindowsSourceTest, DocumentOpenForWritingElsewhereIsInUse) {
  const std::string document = Path("open.doc");
  Place("text.doc", document);
  {
    OtherProgram writer(document, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.IsOpen());
    try {
      cfb::Source::Open(document, cfb::FinalLink::refuse);
      FAIL() << "opened beside a writer";
    } catch (const cfb::InUseError &e) {
      EXPECT_EQ(document, e.GetPath());
    }
  }
  // Once the other program has closed it, the document opens; while we read
  // it, no other program can open it for writing, but readers can.
  cfb::Source source = cfb::Source::Open(document, cfb::FinalLink::refuse);
  OtherProgram writer(document, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  OtherProgram reader(document, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_TRUE(reader.IsOpen());
}

TEST_F(WindowsSourceTest, CopyWhoseHolderSharesNothingIsReadBackThroughItsHandle) {
  // As a run makes its copies: the temporary file is held open with no
  // sharing, and the copy is written through a duplicate of that handle.
  const std::string document = Path("text.doc");
  Place("text.doc", document);
  const std::string temporary = Path("vkr1F.tmp");
  HANDLE held = CreateFileW(Wide(temporary).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(held), 0);
  cfb::Source source = cfb::Source::Open(document);
  cfb::Destination destination =
      cfb::Destination::Create(temporary, cfb::Destination::Durability::flushed, descriptor);
  source.CopyTo(destination);
  EXPECT_THROW(cfb::Source::Open(temporary), cfb::InUseError) << "nobody opens it by name";
  {
    cfb::Source copy = cfb::Source::OpenCopy(destination);
    EXPECT_FALSE(cfb::CompareTrees(source, copy).has_value());
  }
  destination.Release();
  _close(descriptor);
  cfb::Source copy = cfb::Source::Open(temporary);
  EXPECT_EQ(source.PlannedCopySize(), copy.FileSize());
}

TEST_F(WindowsSourceTest, DestinationHeldByAnotherProgramIsRefusedAndKept) {
  const std::string target = Path("held.tmp");
  Place("text.doc", target);
  const std::string document = Path("text.doc");
  Place("text.doc", document);
  cfb::Source source = cfb::Source::Open(document);
  OtherProgram other(target, GENERIC_READ, 0);
  ASSERT_TRUE(other.IsOpen());
  EXPECT_THROW(cfb::Destination::Create(target), cfb::InUseError);
  other.Close();
  // Nothing of the held file was lost by the refused attempt.
  cfb::Source kept = cfb::Source::Open(target);
  EXPECT_FALSE(cfb::CompareTrees(source, kept).has_value());
}

TEST_F(WindowsSourceTest, LongPathIsReached) {
  // Beyond MAX_PATH characters: the layer gives the system the \\?\ form.
  std::string deep = folder;
  while (deep.size() < 300) {
    deep += "\\a-folder-name-of-forty-characters-long-x";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + Wide(deep)).c_str(), nullptr)) << GetLastError();
  }
  const std::string document = deep + "\\long.doc";
  ASSERT_TRUE(
      CopyFileW(Wide(Fixture("table.doc")).c_str(), (L"\\\\?\\" + Wide(document)).c_str(), FALSE));
  CopyAndCompare(document, deep + "\\long-copy.doc");
}

TEST_F(WindowsSourceTest, WhatCannotBeReadIsToldApart) {
  // A folder is no compound file.
  try {
    cfb::Source::Open(folder, cfb::FinalLink::refuse);
    FAIL() << "a folder opened";
  } catch (const cfb::FormatError &e) {
    EXPECT_EQ(cfb::Reason::NotRegularFile, e.GetReason());
  }
  // A missing file and a name that is not UTF-8 carry errno values.
  try {
    cfb::Source::Open(Path("missing.doc"));
    FAIL() << "a missing file opened";
  } catch (const cfb::IoError &e) {
    EXPECT_EQ(ENOENT, e.GetErrorNumber());
  }
  try {
    cfb::Source::Open(Path("bad\xFF"
                           "name.doc"));
    FAIL() << "a name that is not UTF-8 opened";
  } catch (const cfb::IoError &e) {
    EXPECT_EQ(EILSEQ, e.GetErrorNumber());
  }
  // A file that is no compound file.
  const std::string text = Path("plain.doc");
  HANDLE file = CreateFileW(Wide(text).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, "plain text, not a compound document", 35, &written, nullptr);
  CloseHandle(file);
  EXPECT_THROW(cfb::Source::Open(text), cfb::FormatError);
}

} // namespace

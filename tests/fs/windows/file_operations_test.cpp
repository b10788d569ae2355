//===- tests/fs/windows/file_operations_test.cpp - Named files on Win32 ---===//

#include "fs/file_operations.h"

#include "core/exceptions.h"
#include "fs/file_handle.h"
#include "fs/temp_file.h"
#include "support/windows/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <regex>

using velkor::test::AttributesOf;
using velkor::test::Exists;
using velkor::test::ReadText;
using velkor::test::T;
using velkor::test::TempFolder;
using velkor::test::UnderWine;
using velkor::test::WideOf;
using velkor::test::WriteText;

namespace {

template <typename Action> std::string Failure(Action action) {
  try {
    action();
  } catch (const TTFileWithNameException &e) {
    return "named " + std::to_string(static_cast<int>(e.code));
  } catch (const TTFileException &e) {
    return "unnamed " + std::to_string(static_cast<int>(e.code));
  }
  return "none";
}

std::string Code(TTFileError code, bool named) {
  return std::string(named ? "named " : "unnamed ") + std::to_string(static_cast<int>(code));
}

const std::string kCyrillic = "\xD0\xB4\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82";
const std::string kCjk = "\xE6\x96\x87\xE6\x9B\xB8";
const std::string kCompoundSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

std::uint64_t CreationTimeOf(const std::string &path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(WideOf(path).c_str(), GetFileExInfoStandard, &data);
  return TTFileTime{data.ftCreationTime.dwLowDateTime, data.ftCreationTime.dwHighDateTime}.Value();
}

/// Whether the copy's mark is still found for `path`: on NTFS its named
/// stream, under Wine a file of that name beside it.
bool MarkRemains(const std::string &path) { return Exists(path + ":" + kCopyMarkStream); }

/// Makes a copy with TTTempFile in `folder`, writes `content` and lets the
/// holder go without removing it: the file a killed run leaves behind.
std::string AbandonedCopy(const std::string &folder, const std::string &content) {
  TTTempFile holder;
  const std::string name = holder.Create(T(folder), T(kTempFilePrefix)).CStr();
  DWORD written = 0;
  WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(holder.Descriptor())), content.data(),
            static_cast<DWORD>(content.size()), &written, nullptr);
  holder.Release();
  return name;
}

timespec SecondsFromNow(long seconds) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  now.tv_sec += seconds;
  return now;
}

TEST(WindowsRemoveFileIfExists, MissingFileMissingFolderAndReadOnly) {
  TempFolder folder;
  EXPECT_EQ(Failure([&] { RemoveFileIfExists(T(folder / "missing.doc")); }), "none");
  EXPECT_EQ(Failure([&] { RemoveFileIfExists(T(folder / "no-folder\\missing.doc")); }),
            Code(TTFileError::badPath, true));
  WriteText(folder / "ro.doc", "x");
  SetFileAttributesW(WideOf(folder / "ro.doc").c_str(), FILE_ATTRIBUTE_READONLY);
  RemoveFileIfExists(T(folder / "ro.doc"));
  EXPECT_FALSE(Exists(folder / "ro.doc"));
}

TEST(WindowsRemoveFileIfExists, AFileThatCannotGoKeepsItsReadOnlyAttribute) {
  TempFolder folder;
  const std::string name = folder / "held.doc";
  WriteText(name, "x");
  SetFileAttributesW(WideOf(name).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  HANDLE held =
      CreateFileW(WideOf(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NE(Failure([&] { RemoveFileIfExists(T(name)); }), "none");
  CloseHandle(held);
  EXPECT_TRUE(Exists(name));
  EXPECT_EQ(AttributesOf(name) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
}

TEST(WindowsRenameFile, FailsWhenTheTargetExistsAndRaisesNoName) {
  TempFolder folder;
  WriteText(folder / "a.doc", "a");
  WriteText(folder / "b.doc", "b");
  // ERROR_ALREADY_EXISTS from MoveFileExW: the target is there.
  EXPECT_EQ(Failure([&] { RenameFile(T(folder / "a.doc"), T(folder / "b.doc")); }),
            Code(TTFileError::alreadyExists, false));
  EXPECT_EQ(ReadText(folder / "b.doc"), "b");
  RenameFile(T(folder / "a.doc"), T(folder / kCyrillic));
  EXPECT_EQ(ReadText(folder / kCyrillic), "a");
}

// The document is read-only and hidden and has a creation time of its own;
// the copy must take its place with exactly those, and its own content.
TEST(WindowsMoveFileReplacing, AReadOnlyHiddenDocumentKeepsItsAttributesAndCreationTime) {
  for (const bool relative : {false, true}) {
    SCOPED_TRACE(relative ? "relative names" : "full names");
    TempFolder folder;
    const std::string document = folder / (kCyrillic + ".doc");
    const TTFileTime created = TTFileTime::FromValue(0x01D0000011111100ull);
    {
      TTOutputFile file;
      file.Open(T(document));
      file.Write("the old document", 16);
      file.SetTimes(created, created, created);
    }
    const DWORD look = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(WideOf(document).c_str(), look));
    const std::uint64_t creation = CreationTimeOf(document);

    TTTempFile holder;
    std::string copy = holder.Create(T(folder.Path()), T(kTempFilePrefix)).CStr();
    ASSERT_TRUE(MarkRemains(copy));
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(holder.Descriptor())), "copy", 4, &written,
              nullptr);
    holder.Close();

    TTSavedDirectory saved;
    std::string target = document;
    if (relative) {
      ASSERT_TRUE(SetCurrentDir(T(folder.Path())));
      copy = copy.substr(copy.find_last_of('\\') + 1);
      target = kCyrillic + ".doc";
    }
    MoveFileReplacing(T(copy), T(target));
    saved.Restore();

    EXPECT_EQ(ReadText(document), "copy");
    EXPECT_FALSE(Exists(folder / copy.substr(copy.find_last_of('\\') + 1)));
    EXPECT_FALSE(MarkRemains(document));
    EXPECT_FALSE(MarkRemains(folder / copy.substr(copy.find_last_of('\\') + 1)));
    EXPECT_EQ(AttributesOf(document) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
    if (!UnderWine()) { // Wine keeps no creation time on a Linux file system
      EXPECT_EQ(CreationTimeOf(document), creation);
    }
    holder.Release();
  }
}

TEST(WindowsMoveFileReplacing, OntoAMissingTargetTheCopyTakesTheName) {
  TempFolder folder;
  const std::string copy = AbandonedCopy(folder.Path(), kCompoundSignature);
  MoveFileReplacing(T(copy), T(folder / (kCjk + ".xls")));
  EXPECT_EQ(ReadText(folder / (kCjk + ".xls")), kCompoundSignature);
  EXPECT_FALSE(Exists(copy));
  EXPECT_FALSE(MarkRemains(folder / (kCjk + ".xls")));
  EXPECT_FALSE(MarkRemains(copy));
}

// A copy on another drive replaces the document all the same, keeping its
// attributes. Under Wine Z:\dev\shm is another file system than the
// prefix's drive C: (tmpfs), so ReplaceFileW meets another volume there.
TEST(WindowsMoveFileReplacing, FromAnotherVolumeTheDocumentIsReplacedAllTheSame) {
  if (!Exists("Z:\\dev\\shm"))
    GTEST_SKIP() << "no second volume at Z:\\dev\\shm";
  TempFolder folder;
  const std::string document = folder / (kCjk + ".doc");
  WriteText(document, "document");
  ASSERT_TRUE(SetFileAttributesW(WideOf(document).c_str(),
                                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  const std::string copy =
      "Z:\\dev\\shm\\" + folder.Path().substr(folder.Path().find_last_of('\\') + 1) + "-copy.tmp";
  WriteText(copy, "copy");
  MoveFileReplacing(T(copy), T(document));
  EXPECT_EQ(ReadText(document), "copy");
  EXPECT_FALSE(Exists(copy));
  EXPECT_EQ(AttributesOf(document) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
  DeleteFileW(WideOf(copy).c_str());
}

TEST(WindowsMoveFileReplacing, AFailedReplacementLeavesDocumentAndCopy) {
  TempFolder folder;
  const std::string document = folder / "open.doc";
  WriteText(document, "document");
  const std::string copy = AbandonedCopy(folder.Path(), "copy");
  HANDLE held =
      CreateFileW(WideOf(document).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NE(Failure([&] { MoveFileReplacing(T(copy), T(document)); }), "none");
  CloseHandle(held);
  EXPECT_EQ(ReadText(document), "document");
  EXPECT_EQ(ReadText(copy), "copy");
}

TEST(WindowsAttributes, ReadAndSetCarryTheAttributeBitsAndDropTheMark) {
  TempFolder folder;
  const std::string document = folder / (kCjk + ".doc");
  WriteText(document, "d");
  SetFileAttributesW(WideOf(document).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  const TTFileAttributes attributes = ReadAttributes(T(document));
  EXPECT_EQ(attributes.fileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});

  const std::string copy = AbandonedCopy(folder.Path(), "c");
  ASSERT_TRUE(MarkRemains(copy));
  SetAttributes(T(copy), attributes);
  EXPECT_FALSE(MarkRemains(copy));
  EXPECT_EQ(AttributesOf(copy) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
  SetAttributes(T(copy), TTFileAttributes{});
  EXPECT_EQ(AttributesOf(copy) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_EQ(Failure([&] { ReadAttributes(T(folder / "missing.doc")); }),
            Code(TTFileError::fileNotFound, true));
}

TEST(WindowsCurrentDir, SetAndGetThroughAForeignName) {
  TempFolder folder;
  const std::string inner = folder / kCyrillic;
  ASSERT_TRUE(CreateDirectoryW(WideOf(inner).c_str(), nullptr));
  TTSavedDirectory saved;
  ASSERT_TRUE(SetCurrentDir(T(inner)));
  EXPECT_STREQ(GetCurrentDir().CStr(), inner.c_str());
  ASSERT_TRUE(SetCurrentDir(T(inner.substr(0, 3))));
  EXPECT_STREQ(GetCurrentDir().CStr(), inner.substr(0, 3).c_str()); // "C:\" keeps it
  EXPECT_FALSE(SetCurrentDir(T(folder / "missing")));
  EXPECT_FALSE(SetCurrentDir(T("")));
  ASSERT_TRUE(saved.Restore());
  ASSERT_TRUE(SetCurrentDir(T(inner)));
}

TEST(WindowsMakeTempFileName, TheSystemsNamesInTheCallersFolder) {
  TempFolder folder;
  const std::string inner = folder / kCjk;
  ASSERT_TRUE(CreateDirectoryW(WideOf(inner).c_str(), nullptr));
  const std::string first = MakeTempFileName(T(inner), T("vkrx")).CStr();
  const std::string second = MakeTempFileName(T(inner + "\\"), T("vkr")).CStr();
  const std::regex form("vkr[0-9A-Fa-f]{1,4}\\.(tmp|TMP)");
  for (const std::string &name : {first, second}) {
    ASSERT_EQ(name.rfind(inner + "\\", 0), 0u) << name;
    EXPECT_TRUE(std::regex_match(name.substr(inner.size() + 1), form)) << name;
    EXPECT_EQ(ReadText(name), "");
    EXPECT_TRUE(Exists(name));
  }
  EXPECT_NE(first, second);
  EXPECT_EQ(Failure([&] { MakeTempFileName(T(folder / "missing"), T("vkr")); }),
            Code(TTFileError::badPath, false));

  // With a descriptor the file is held with no sharing.
  int descriptor = -1;
  const std::string held = MakeTempFileName(T(inner), T("vkr"), &descriptor).CStr();
  ASSERT_GE(descriptor, 0);
  TTFile other;
  EXPECT_EQ(Failure([&] { other.Open(T(held), GENERIC_READ, OPEN_EXISTING); }),
            Code(TTFileError::sharingViolation, true));
  _close(descriptor);
}

TEST(WindowsLongPath, EveryOperationReachesAPathBeyondMaxPath) {
  TempFolder folder;
  std::string path = folder.Path();
  while (path.size() < 300) {
    path += "\\" + std::string(50, 'p') + kCyrillic;
    ASSERT_TRUE(CreateDirectoryW(WideOf(path).c_str(), nullptr)) << GetLastError();
  }
  const std::string document = path + "\\" + kCjk + ".doc";
  WriteText(document, "old");
  ASSERT_TRUE(SetFileAttributesW(WideOf(document).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReadAttributes(T(document)).fileAttributes & FILE_ATTRIBUTE_READONLY,
            DWORD{FILE_ATTRIBUTE_READONLY});

  TTTempFile holder;
  const std::string copy = holder.Create(T(path), T(kTempFilePrefix)).CStr();
  ASSERT_GT(copy.size(), 300u);
  EXPECT_TRUE(MarkRemains(copy));
  DWORD written = 0;
  WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(holder.Descriptor())), "new", 3, &written,
            nullptr);
  holder.Close();
  MoveFileReplacing(T(copy), T(document));
  holder.Release();
  EXPECT_EQ(ReadText(document), "new");
  EXPECT_EQ(AttributesOf(document) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});

  RenameFile(T(document), T(path + "\\renamed.doc"));
  SetAttributes(T(path + "\\renamed.doc"), TTFileAttributes{});
  RemoveFile(T(path + "\\renamed.doc"));
  EXPECT_FALSE(Exists(path + "\\renamed.doc"));
  RemoveFileIfExists(T(path + "\\renamed.doc"));

  // A folder just short of MAX_PATH, too long for GetTempFileNameW.
  std::string edge = folder.Path();
  while (edge.size() < MAX_PATH - 13) {
    edge += "\\" + std::string(std::clamp<std::size_t>(MAX_PATH - 14 - edge.size(), 1, 50), 'e');
    ASSERT_TRUE(CreateDirectoryW(WideOf(edge).c_str(), nullptr)) << GetLastError();
  }
  const std::string temporary = MakeTempFileName(T(edge), T(kTempFilePrefix)).CStr();
  EXPECT_TRUE(Exists(temporary)) << temporary;

  TTSavedDirectory saved;
  if (SetCurrentDir(T(path))) {
    EXPECT_STREQ(GetCurrentDir().CStr(), path.c_str());
  }
}

TEST(WindowsSweep, TakesOnlyMarkedAbandonedCopiesInEitherCase) {
  TempFolder folder;
  const std::string dir = folder / kCyrillic;
  ASSERT_TRUE(CreateDirectoryW(WideOf(dir).c_str(), nullptr));

  // Copies a killed run left, renamed to the forms Windows and Wine write.
  const auto marked = [&](const std::string &name, const std::string &content) {
    const std::string made = AbandonedCopy(dir, content);
    // Marked again under its new name: Wine keeps the mark beside the file,
    // and it would not follow a rename.
    const std::string target = dir + "\\" + name;
    TTFile file;
    file.Open(T(target), GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(_get_osfhandle(file.Handle())), content.data(),
              static_cast<DWORD>(content.size()), &written, nullptr);
    EXPECT_TRUE(MarkAsTemporaryCopy(file.Handle()));
    file.Close();
    RemoveFileIfExists(T(made));
    DeleteFileW(WideOf(made + ":" + kCopyMarkStream).c_str());
    return target;
  };
  const std::string upper = marked("vkrAB1.tmp", kCompoundSignature + "rest");
  const std::string lower = marked("vkrab2.tmp", "");
  const std::string shouting = marked("VKR3C.TMP", kCompoundSignature);
  const std::string notCompound = marked("vkr5E.tmp", "plain text");
  const std::string leadingZero = marked("vkr0A.tmp", "");
  const std::string fiveDigits = marked("vkr12345.tmp", "");
  const std::string unmarked = dir + "\\vkr4D.tmp";
  WriteText(unmarked, "a document's old file");
  // A mark carried to another file marks nothing.
  const std::string carried = dir + "\\vkr6F.tmp";
  WriteText(carried, "");
  ASSERT_TRUE(CopyFileW(WideOf(upper + ":" + kCopyMarkStream).c_str(),
                        WideOf(carried + ":" + kCopyMarkStream).c_str(), FALSE));
  // A live run's copy, held open.
  TTTempFile live;
  const std::string held = live.Create(T(dir), T(kTempFilePrefix)).CStr();

  std::map<std::string, TempFileFinding> findings;
  const auto record = [&](const TTString &name, TempFileFinding finding) {
    findings[name.CStr()] = finding;
  };
  const timespec later = SecondsFromNow(60);

  SweepAbandonedTempFiles(T(dir), T(kTempFilePrefix), later, false, record);
  EXPECT_EQ(findings.size(), 5u);
  EXPECT_EQ(findings[upper], TempFileFinding::abandonedCopy);
  EXPECT_TRUE(Exists(upper));

  findings.clear();
  SweepAbandonedTempFiles(T(dir), T(kTempFilePrefix), later, true, record);
  const std::map<std::string, TempFileFinding> expected = {
      {upper, TempFileFinding::removedCopy},    {lower, TempFileFinding::removedCopy},
      {shouting, TempFileFinding::removedCopy}, {unmarked, TempFileFinding::leftover},
      {carried, TempFileFinding::leftover},
  };
  EXPECT_EQ(findings, expected);
  for (const std::string &gone : {upper, lower, shouting}) {
    EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_FALSE(MarkRemains(gone)) << gone;
  }
  for (const std::string &kept : {notCompound, leadingZero, fiveDigits, unmarked, carried, held})
    EXPECT_TRUE(Exists(kept)) << kept;

  // Nothing made after the run started is touched.
  findings.clear();
  SweepAbandonedTempFiles(T(dir), T(kTempFilePrefix), SecondsFromNow(-60), true, record);
  EXPECT_TRUE(findings.empty());
  live.Remove();
  EXPECT_FALSE(Exists(held));
  EXPECT_FALSE(MarkRemains(held));
}

TEST(WindowsExchange, NoExchangeAndNothingToFlush) {
  TempFolder folder;
  WriteText(folder / "a.doc", "a");
  WriteText(folder / "b.doc", "b");
  EXPECT_FALSE(ExchangeFiles(T(folder / "a.doc"), T(folder / "b.doc")));
  EXPECT_EQ(ReadText(folder / "a.doc"), "a");
  FlushDirectoryOf(T(folder / "a.doc"));
}

} // namespace

//===- tests/engine/windows/document_identity_test.cpp - Identity and hold ===//
///
/// The Windows side of the checks around a document's replacement, on real
/// files under Wine: identity through a path and through a handle, the hold
/// that refuses a document in use or changed, the hold kept open across
/// ReplaceFileW, the copy's three times, the lease that sharing modes stand
/// in for, and the office owner file.
///
//===----------------------------------------------------------------------===//
#include "engine/document_identity.h"
#include "engine/document_lease.h"
#include "engine/open_file.h"
#include "engine/worker_count.h"
#include "support/windows/wide_text.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <string>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

using velkor::test::Wide;

/// A handle as another program would hold it; closed by the destructor.
class Handle {
public:
  Handle(const std::string &path, DWORD access, DWORD sharing, DWORD disposition = OPEN_EXISTING)
      : handle(CreateFileW(Wide(path).c_str(), access, sharing, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~Handle() {
    if (IsOpen())
      CloseHandle(handle);
  }
  bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle; }

private:
  HANDLE handle;
};

bool SameTime(const timespec &a, const timespec &b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

class WindowsIdentityTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = "Z:/tmp/velkor-engine-windows-" + std::to_string(GetCurrentProcessId()) + "-" +
             test->name();
    ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr));
  }
  void TearDown() override {
    for (const std::string &file : made)
      DeleteFileW(Wide(file).c_str());
    RemoveDirectoryW(Wide(folder).c_str());
  }

  /// Makes the file `name` with `content`; gives its path.
  std::string Make(const std::string &name, const std::string &content) {
    const std::string path = folder + "/" + name;
    Handle file(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_TRUE(file.IsOpen()) << path << ": " << GetLastError();
    DWORD written = 0;
    WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    made.push_back(path);
    return path;
  }

  std::string folder;
  std::vector<std::string> made;
};

TEST_F(WindowsIdentityTest, IdentityThroughAHandleIsThePathsIdentity) {
  // A name outside the ANSI code page (Greek and CJK).
  const std::string path =
      Make("\xCE\xB1\xCE\xB2\xCE\xB3 \xE6\x96\x87\xE6\x9B\xB8.doc", "twelve bytes");
  DocumentIdentity byName;
  ASSERT_EQ(0, ReadDocumentIdentity(path.c_str(), byName));
  Handle open(path, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(open.IsOpen());
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(open.Get()), _O_RDONLY);
  DocumentIdentity byHandle;
  ASSERT_EQ(0, ReadOpenIdentity(descriptor, byHandle));
  EXPECT_TRUE(byName.SameFile(byHandle));
  EXPECT_TRUE(byName.IsRegularFile());
  EXPECT_NE(0u, byName.inode);
  EXPECT_EQ(12u, byName.size);
  EXPECT_EQ(1u, byName.links);
  EXPECT_NE(0, byName.modified.tv_sec);
  EXPECT_NE(0, byName.changed.tv_sec);

  DocumentIdentity other;
  ASSERT_EQ(0, ReadDocumentIdentity(Make("other.doc", "x").c_str(), other));
  EXPECT_FALSE(other.SameFile(byName));

  DocumentIdentity directory;
  ASSERT_EQ(0, ReadDocumentIdentity(folder.c_str(), directory));
  EXPECT_TRUE(directory.IsDirectory());
  EXPECT_FALSE(directory.IsRegularFile());

  DocumentIdentity missing;
  EXPECT_EQ(ENOENT, ReadDocumentIdentity((folder + "/missing.doc").c_str(), missing));
}

TEST_F(WindowsIdentityTest, IdentityIsReadBesideAProgramThatSharesNothing) {
  const std::string path = Make("exclusive.doc", "content");
  Handle exclusive(path, GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_TRUE(exclusive.IsOpen());
  DocumentIdentity identity;
  EXPECT_EQ(0, ReadDocumentIdentity(path.c_str(), identity));
  EXPECT_EQ(7u, identity.size);
}

TEST_F(WindowsIdentityTest, HoldRefusesADocumentInUseOrChanged) {
  const std::string path = Make("held.doc", "the copied content");
  DocumentIdentity copied;
  ASSERT_EQ(0, ReadDocumentIdentity(path.c_str(), copied));
  {
    // Another program has it open for writing, sharing reading and writing.
    Handle writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.IsOpen());
    DocumentHold hold;
    EXPECT_EQ("in use by another program", hold.Acquire(path.c_str(), copied));
  }
  {
    DocumentHold hold;
    EXPECT_EQ("", hold.Acquire(path.c_str(), copied));
    // While held, no program can open the document for writing.
    Handle writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    EXPECT_FALSE(writer.IsOpen());
  }
  // A program saved it in place after the copy was made.
  {
    Handle writer(path, GENERIC_WRITE, 0);
    ASSERT_TRUE(writer.IsOpen());
    SetFilePointer(writer.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(writer.Get(), " and a save", 11, &written, nullptr);
  }
  {
    DocumentHold hold;
    EXPECT_EQ("changed while it was being copied", hold.Acquire(path.c_str(), copied));
  }
  // A file put in the document's place is not the copied file either.
  DeleteFileW(Wide(path).c_str());
  Make("held.doc", "the copied content");
  DocumentHold again;
  EXPECT_EQ("changed while it was being copied", again.Acquire(path.c_str(), copied));
}

TEST_F(WindowsIdentityTest, HoldStaysOpenAcrossReplaceFileW) {
  const std::string document = Make("doc.xls", "the document");
  const std::string copy = Make("vkr1A2B.tmp", "copy");
  DocumentIdentity copied;
  ASSERT_EQ(0, ReadDocumentIdentity(document.c_str(), copied));
  DocumentHold hold;
  ASSERT_EQ("", hold.Acquire(document.c_str(), copied));
  ASSERT_TRUE(ReplaceFileW(Wide(document).c_str(), Wide(copy).c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
      << GetLastError();
  DocumentIdentity now;
  ASSERT_EQ(0, ReadDocumentIdentity(document.c_str(), now));
  EXPECT_EQ(4u, now.size) << "the copy has the document's name";
}

TEST_F(WindowsIdentityTest, CopyIsGivenTheDocumentsThreeTimes) {
  DocumentIdentity document;
  ASSERT_EQ(0, ReadDocumentIdentity(Make("document.doc", "d").c_str(), document));
  // Times far apart and in 100-nanosecond steps, all three distinct.
  document.created = {946684800, 123456700};   // 2000-01-01
  document.accessed = {1262304000, 500000000}; // 2010-01-01
  document.modified = {1577836800, 900};       // 2020-01-01
  const std::string copy = Make("vkr00FF.tmp", "copy");
  Handle open(copy, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(open.IsOpen());
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(open.Get()), 0);
  ASSERT_TRUE(SetOpenFileTimes(descriptor, document)) << GetLastError();
  ASSERT_TRUE(FlushOpenFile(descriptor)) << GetLastError();
  DocumentIdentity stamped;
  ASSERT_EQ(0, ReadOpenIdentity(descriptor, stamped));
  // The creation time is given too (SetFileTime), but Wine keeps files on a
  // Linux file system, whose birth time cannot be set: it is not checked here.
  EXPECT_TRUE(SameTime(document.accessed, stamped.accessed));
  EXPECT_TRUE(SameTime(document.modified, stamped.modified));
}

TEST_F(WindowsIdentityTest, SharingModesStandInForTheLease) {
  const std::string path = Make("leased.doc", "content");
  Handle open(path, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(open.IsOpen());
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(open.Get()), _O_RDONLY);
  DocumentLease lease;
  EXPECT_EQ(DocumentLease::State::held, lease.Take(descriptor));
  EXPECT_TRUE(lease.Taken());
  EXPECT_FALSE(lease.Broken());
  lease.Drop();
  EXPECT_FALSE(lease.Taken());
}

TEST_F(WindowsIdentityTest, OfficeOwnerFileIsSeen) {
  const std::string document = Make("budget.xls", "document");
  EXPECT_EQ("", OfficeOwnerFileOf(document));
  Make("~$budget.xls", "owner");
  EXPECT_EQ("~$budget.xls", OfficeOwnerFileOf(document));
}

TEST(WindowsWorkerCount, ProcessorsAreCounted) {
  EXPECT_GE(AvailableCores(), 1);
  EXPECT_LE(AvailableCores(), 64);
}

} // namespace

//===- tests/fs/find_handle_test.cpp - Directory search -------------------===//

#include "fs/find_handle.h"

#include "fs/mount_table.h"
#include "support/fs_helpers.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <sys/stat.h>

using velkor::test::MakeDir;
using velkor::test::OpenDescriptorCount;
using velkor::test::RunAsNobody;
using velkor::test::TempDir;
using velkor::test::WriteFile;

namespace {

TTString T(const std::string &text) { return TTString(text.c_str()); }

/// Every record of a listing, by name.
std::map<std::string, TTFindRecord> List(const std::string &pattern) {
  std::map<std::string, TTFindRecord> entries;
  TTFindHandle search;
  TTFindRecord record;
  for (bool found = search.FindFirst(T(pattern), record); found; found = search.FindNext(record)) {
    entries[record.name.CStr()] = record;
  }
  return entries;
}

TEST(TTFindHandle, ListsEveryEntryWithDotAndDotDot) {
  TempDir dir;
  WriteFile(dir / "a.doc", "12345");
  MakeDir(dir / "sub");
  WriteFile(dir / ".hidden");
  const auto entries = List(dir.Path() + "/*");
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_TRUE(IsDirectory(entries.at(".")));
  EXPECT_TRUE(IsDirectory(entries.at("..")));
  EXPECT_TRUE(IsDirectory(entries.at("sub")));
  EXPECT_FALSE(IsDirectory(entries.at("a.doc")));
  EXPECT_EQ(entries.at("a.doc").attributes, 0x80u);
  EXPECT_EQ(entries.at(".hidden").attributes & 0x02u, 0x02u);

  const TTFindRecord &doc = entries.at("a.doc");
  struct stat info;
  ASSERT_EQ(lstat((dir / "a.doc").c_str(), &info), 0);
  EXPECT_EQ(doc.sizeLow, 5u);
  EXPECT_EQ(doc.sizeHigh, 0u);
  EXPECT_EQ(doc.inode, info.st_ino);
  EXPECT_EQ(doc.device, info.st_dev);
  EXPECT_EQ(doc.linkCount, 1u);
  EXPECT_EQ(doc.mode, info.st_mode);
  EXPECT_EQ(doc.lastWrite.tv_sec, info.st_mtim.tv_sec);
  EXPECT_EQ(doc.lastWrite.tv_nsec, info.st_mtim.tv_nsec);
  EXPECT_EQ(doc.change.tv_nsec, info.st_ctim.tv_nsec);
  EXPECT_EQ(doc.lastWriteTime, TimespecToFileTime(info.st_mtim));
  EXPECT_EQ(doc.lastAccessTime, TimespecToFileTime(info.st_atim));
  EXPECT_LE(doc.creationTime.Value(), doc.lastWriteTime.Value());
}

TEST(TTFindHandle, TheCurrentDirectoryIsListedWithTheBarePattern) {
  TempDir dir;
  WriteFile(dir / "only.xls");
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  const auto entries = List("*");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries.count("only.xls"), 1u);
}

TEST(TTFindHandle, NothingFoundLeavesTheRecordUnchanged) {
  TempDir dir;
  TTFindRecord record;
  record.name = "before";
  record.sizeLow = 7;
  TTFindHandle missing;
  EXPECT_FALSE(missing.FindFirst(T(dir / "nofolder/*"), record));
  EXPECT_STREQ(record.name.CStr(), "before");
  EXPECT_EQ(record.sizeLow, 7u);
  EXPECT_FALSE(FindOne(T(dir / "missing.doc"), record));
  EXPECT_FALSE(FindOne(T(dir.Path() + "/"), record)) << "a trailing slash names no entry";
  EXPECT_STREQ(record.name.CStr(), "before");

  WriteFile(dir / "one");
  TTFindHandle search;
  int found = 0;
  for (bool more = search.FindFirst(T(dir / "*"), record); more; more = search.FindNext(record)) {
    ++found;
  }
  EXPECT_EQ(found, 3);
  const std::string last = record.name.CStr();
  EXPECT_FALSE(search.FindNext(record)) << "stays at the end";
  EXPECT_EQ(last, record.name.CStr());
}

TEST(TTFindHandle, FindOneGivesTheEntryAndLeavesNoSearchOpen) {
  TempDir dir;
  WriteFile(dir / "Report.doc", "abc");
  const int before = OpenDescriptorCount();
  TTFindRecord record;
  ASSERT_TRUE(FindOne(T(dir / "Report.doc"), record));
  EXPECT_STREQ(record.name.CStr(), "Report.doc");
  EXPECT_EQ(record.sizeLow, 3u);
  EXPECT_FALSE(IsDirectory(record));
  ASSERT_TRUE(FindOne(T(dir.Path()), record));
  EXPECT_TRUE(IsDirectory(record));
  EXPECT_EQ(OpenDescriptorCount(), before);
  // The file system decides about letter case: here it is exact.
  EXPECT_FALSE(FindOne(T(dir / "report.DOC"), record));
}

TEST(TTFindHandle, LargeFilesReportTheirHighHalf) {
  TempDir dir;
  const std::string path = dir / "big.doc";
  WriteFile(path, "");
  ASSERT_EQ(truncate(path.c_str(), (5LL << 30) + 7), 0); // sparse: no space used
  TTFindRecord record;
  ASSERT_TRUE(FindOne(T(path), record));
  EXPECT_EQ(record.sizeHigh, 1u);
  EXPECT_EQ(record.sizeLow, (1u << 30) + 7);
  EXPECT_EQ(record.Size(), (5ULL << 30) + 7);
}

TEST(TTFindHandle, SymbolicLinksAndPipesAreReportedAsWhatTheyAre) {
  TempDir dir;
  MakeDir(dir / "folder");
  ASSERT_EQ(symlink("folder", (dir / "link").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  TTFindRecord record;
  ASSERT_TRUE(FindOne(T(dir / "link"), record));
  EXPECT_TRUE(IsSymbolicLink(record));
  EXPECT_FALSE(IsDirectory(record)) << "the link itself, not its target";
  const auto entries = List(dir / "*");
  EXPECT_TRUE(IsSymbolicLink(entries.at("dangling")));
  TTFindHandle throughLink;
  EXPECT_FALSE(throughLink.FindFirst(T(dir / "link/*"), record)) << "no listing through a link";
  EXPECT_EQ(List(dir / "link//*").size(), 0u);
  EXPECT_EQ(List(dir / "folder//*").size(), 2u);
  EXPECT_GT(List("/*").count("tmp"), 0u);
  EXPECT_TRUE(IsSpecialFile(entries.at("pipe")));
}

TEST(TTFindHandle, TheQuickListingFillsNamesAndTypesAndCompletesOnRequest) {
  TempDir dir;
  WriteFile(dir / "x.doc", "123");
  MakeDir(dir / "d");
  TTFindHandle search;
  TTFindRecord record;
  std::map<std::string, std::uint32_t> seen;
  for (bool more = search.FindFirstEntry(T(dir / "*"), record); more;
       more = search.FindNextEntry(record)) {
    seen[record.name.CStr()] = record.attributes;
    if (std::string(record.name.CStr()) == "x.doc") {
      ASSERT_TRUE(search.CompleteRecord(record));
      EXPECT_EQ(record.sizeLow, 3u);
      EXPECT_STREQ(record.name.CStr(), "x.doc");
    }
  }
  EXPECT_TRUE(seen.at("d") & 0x10u);
  EXPECT_FALSE(seen.at("x.doc") & 0x10u);
  std::uint64_t device = 0;
  EXPECT_TRUE(search.DirectoryMount(device));
  std::uint64_t mount = 0;
  ASSERT_TRUE(MountKeyOf(dir.Path().c_str(), mount));
  EXPECT_EQ(device, mount);
}

TEST(TTFindHandle, AFolderThatCannotBeReadFindsNothing) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  MakeDir(dir / "closed", 0711);
  WriteFile(dir / "closed/inside.doc");
  const std::string result = RunAsNobody([&](std::string &out) {
    TTFindRecord record;
    TTFindHandle search;
    out += search.FindFirst(T(dir / "closed/*"), record) ? "listed" : "refused";
    // A search permission without read permission still finds a known name.
    out += FindOne(T(dir / "closed/inside.doc"), record) ? " found" : " missing";
  });
  EXPECT_EQ(result, "refused found");
}

} // namespace

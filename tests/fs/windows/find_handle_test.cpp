//===- tests/fs/windows/find_handle_test.cpp - The Win32 directory search -===//

#include "fs/find_handle.h"

#include "fs/mask_set.h"
#include "fs/wildcard.h"
#include "walk_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using walk_test::LinksFolder;
using walk_test::TempFolder;
using walk_test::WriteBytes;

namespace {

/// Every record of a listing, by name.
std::map<std::string, TTFindRecord> List(const std::string &pattern) {
  std::map<std::string, TTFindRecord> entries;
  TTFindHandle search;
  TTFindRecord record;
  for (bool found = search.FindFirst(pattern.c_str(), record); found;
       found = search.FindNext(record))
    entries[record.name.CStr()] = record;
  return entries;
}

std::uint64_t Value(const FILETIME &time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

BY_HANDLE_FILE_INFORMATION InformationOf(const std::filesystem::path &path) {
  BY_HANDLE_FILE_INFORMATION info{};
  const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  return info;
}

constexpr std::uint32_t kTypeBits = 0170000;

} // namespace

TEST(Win32FindHandle, ListsInWindowsFormWithDotAndDotDot) {
  TempFolder folder;
  WriteBytes(folder.Native() / "a.doc", "12345");
  std::filesystem::create_directory(folder.Native() / "sub");
  const auto entries = List(folder.Text() + "*");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(IsDirectory(entries.at(".")));
  EXPECT_TRUE(IsDirectory(entries.at("..")));
  EXPECT_TRUE(IsDirectory(entries.at("sub")));
  EXPECT_EQ(entries.at("sub").mode & kTypeBits, 0040000u);
  EXPECT_FALSE(IsDirectory(entries.at("a.doc")));
  EXPECT_FALSE(IsSymbolicLink(entries.at("a.doc")));

  // A folder written with slashes, and one without its closing separator
  // before the "*", list the same entries.
  std::string slashed = folder.Text() + "sub/*";
  EXPECT_EQ(List(slashed).size(), 2u);
  EXPECT_TRUE(List(folder.Text() + "missing\\*").empty());
}

TEST(Win32FindHandle, RecordsCarryAttributesTimesSizeAndIdentity) {
  TempFolder folder;
  WriteBytes(folder.Native() / "a.doc", "12345");
  WriteBytes(folder.Native() / "b.xls", std::string(70000, 'x'));
  SetFileAttributesW((folder.Native() / "b.xls").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto entries = List(folder.Text() + "*");
  const TTFindRecord &doc = entries.at("a.doc");
  const TTFindRecord &xls = entries.at("b.xls");

  const BY_HANDLE_FILE_INFORMATION info = InformationOf(folder.Native() / "a.doc");
  EXPECT_EQ(doc.attributes, info.dwFileAttributes);
  EXPECT_EQ(doc.Size(), 5u);
  EXPECT_EQ(doc.creationTime.Value(), Value(info.ftCreationTime));
  EXPECT_EQ(doc.lastAccessTime.Value(), Value(info.ftLastAccessTime));
  EXPECT_EQ(doc.lastWriteTime.Value(), Value(info.ftLastWriteTime));
  EXPECT_EQ(doc.device, info.dwVolumeSerialNumber);
  EXPECT_EQ(doc.inode,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
  EXPECT_EQ(doc.linkCount, 1u);
  EXPECT_EQ(doc.mode, 0100666u);

  EXPECT_EQ(xls.Size(), 70000u);
  EXPECT_EQ(xls.attributes & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(xls.mode, 0100444u);
  EXPECT_NE(xls.inode, doc.inode);
  SetFileAttributesW((folder.Native() / "b.xls").c_str(), FILE_ATTRIBUTE_NORMAL);

  // A single lookup gives the same record, with the name as the folder holds
  // it, whatever the letters' case asked for.
  TTFindRecord one;
  ASSERT_TRUE(FindOne((folder.Text() + "A.DOC").c_str(), one));
  EXPECT_STREQ(one.name.CStr(), "a.doc");
  EXPECT_EQ(one.inode, doc.inode);
  EXPECT_EQ(one.lastWriteTime, doc.lastWriteTime);
  EXPECT_FALSE(FindOne((folder.Text() + "missing.doc").c_str(), one));
  EXPECT_FALSE(FindOne((folder.Text() + "a.do?").c_str(), one)) << "no wildcard is looked up";
  EXPECT_FALSE(FindOne(folder.Text().c_str(), one)) << "a closing separator finds nothing";

  // The quick listing fills what the listing gives; CompleteRecord the rest.
  TTFindHandle search;
  TTFindRecord record;
  bool found = search.FindFirstEntry((folder.Text() + "*").c_str(), record);
  while (found && std::string(record.name.CStr()) != "a.doc")
    found = search.FindNextEntry(record);
  ASSERT_TRUE(found);
  EXPECT_EQ(record.Size(), 5u);
  ASSERT_TRUE(search.CompleteRecord(record));
  EXPECT_EQ(record.inode, doc.inode);
  std::uint64_t volume = 0;
  ASSERT_TRUE(search.DirectoryMount(volume));
  EXPECT_EQ(volume, info.dwVolumeSerialNumber);
}

TEST(Win32FindHandle, AReparsePointIsALinkAndNoSearchGoesThroughIt) {
  const std::string links = LinksFolder();
  const auto entries = List(links + "*");
  ASSERT_EQ(entries.count("link"), 1u) << links;
  const TTFindRecord &link = entries.at("link");
  EXPECT_TRUE(IsSymbolicLink(link)) << std::hex << link.attributes;
  EXPECT_EQ(link.mode & kTypeBits, 0120000u);
  // Wine shows a link to a file as the file it leads to.
  EXPECT_FALSE(IsSymbolicLink(entries.at("file-link.doc")));
  EXPECT_FALSE(IsSymbolicLink(entries.at("real")));

  // Through the link nothing is listed or found; the real folder is.
  EXPECT_TRUE(List(links + "link\\*").empty());
  EXPECT_TRUE(List(links + "link\\inner\\*").empty());
  TTFindRecord record;
  EXPECT_FALSE(FindOne((links + "link\\inner\\x.doc").c_str(), record));
  EXPECT_TRUE(FindOne((links + "real\\inner\\x.doc").c_str(), record));
  // The link itself can be looked up, and is reported as what it is.
  ASSERT_TRUE(FindOne((links + "link").c_str(), record));
  EXPECT_TRUE(IsSymbolicLink(record));
}

TEST(Win32FindHandle, ANameOutsideTheAnsiCodePageIsListedFoundAndMatched) {
  TempFolder folder;
  const std::wstring wide = L"\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C \U0001F4C4.doc";
  WriteBytes(folder.Native() / wide, "doc");
  const std::string name = velkor::test::Utf8Of(wide);
  const auto entries = List(folder.Text() + "*");
  ASSERT_EQ(entries.count(name), 1u);
  EXPECT_EQ(entries.at(name).Size(), 3u);

  TTFindRecord record;
  ASSERT_TRUE(FindOne((folder.Text() + name).c_str(), record));
  EXPECT_STREQ(record.name.CStr(), name.c_str());

  // Masks match the UTF-8 bytes: ASCII letters in any case, the rest exactly.
  EXPECT_TRUE(MatchWildcard("*.DOC", record.name));
  EXPECT_TRUE(
      MatchWildcard(velkor::test::Utf8Of(L"\u041E\u0442\u0447\u0451\u0442*").c_str(), record.name));
  EXPECT_FALSE(
      MatchWildcard(velkor::test::Utf8Of(L"\u043E\u0442\u0447\u0451\u0442*").c_str(), record.name));
  TTMaskSet masks;
  masks.Add("*.doc", true, false);
  EXPECT_TRUE(MaskSelects(masks.Root(), true, record.name));
}

TEST(Win32FindHandle, PathsLongerThanMaxPathAreListedAndLookedUp) {
  TempFolder folder;
  std::wstring deep = L"\\\\?\\" + folder.Native().wstring();
  std::string text = folder.Text();
  for (int i = 0; i < 8; ++i) {
    const std::wstring part(40, static_cast<wchar_t>(L'a' + i));
    deep += L"\\" + part;
    text += std::string(40, static_cast<char>('a' + i)) + "\\";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
  }
  WriteBytes(deep + L"\\deep.doc", "deep");
  ASSERT_GT(text.size(), 300u);

  const auto entries = List(text + "*");
  ASSERT_EQ(entries.count("deep.doc"), 1u);
  EXPECT_EQ(entries.at("deep.doc").Size(), 4u);
  EXPECT_NE(entries.at("deep.doc").inode, 0u);
  TTFindRecord record;
  ASSERT_TRUE(FindOne((text + "deep.doc").c_str(), record));
  EXPECT_EQ(record.Size(), 4u);
}

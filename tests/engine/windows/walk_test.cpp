//===- tests/engine/windows/walk_test.cpp - The walk on Win32 -------------===//

#include "engine/candidate.h"
#include "engine/folder_checks.h"
#include "engine/mask_walker.h"
#include "engine/system_error_words.h"
#include "fs/mask_set.h"
#include "walk_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using walk_test::LinksFolder;
using walk_test::TempFolder;
using walk_test::WriteBytes;

namespace {

/// The full names the walk over `masks` yields from `start` (made current).
std::set<std::string> Walk(const std::string &start, const TTMaskSet &masks) {
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  const std::wstring wide(start.begin(), start.end());
  EXPECT_TRUE(SetCurrentDirectoryW(wide.c_str())) << start;
  std::set<std::string> names;
  TTMaskWalker walker(masks);
  walker.SetStayOnFileSystem(true);
  TTCandidate candidate;
  while (walker.Next(candidate))
    names.insert(candidate.FullName().CStr());
  SetCurrentDirectoryW(saved);
  return names;
}

} // namespace

TEST(Win32Walk, YieldsWindowsPathsAndNeverEntersAReparsePoint) {
  TTMaskSet masks;
  masks.Add("*", true, true);
  const std::set<std::string> names = Walk(LinksFolder(), masks);
  // The link to a folder is neither yielded nor walked into; Wine shows the
  // link to a file as a plain file, so it is yielded like one.
  EXPECT_EQ(names, (std::set<std::string>{"top.doc", "file-link.doc", "real", "real\\inner",
                                          "real\\inner\\x.doc"}));

  TTMaskSet named;
  named.Add("link\\inner\\*.doc", true, false);
  named.Add("real\\inner\\*.doc", true, false);
  EXPECT_EQ(Walk(LinksFolder(), named), (std::set<std::string>{"real\\inner\\x.doc"}));

  // A mask with a drive reaches its folder from any current directory, and
  // the candidate's path is that folder's, in Windows form.
  TTMaskSet absolute;
  absolute.Add((LinksFolder() + "real\\inner\\*.doc").c_str(), true, false);
  absolute.Add((LinksFolder() + "link\\inner\\*.doc").c_str(), true, false);
  EXPECT_EQ(Walk("C:\\", absolute), (std::set<std::string>{LinksFolder() + "real\\inner\\x.doc"}));
}

TEST(Win32Walk, MountRootsAndFolderKeys) {
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  TempFolder folder;
  std::filesystem::create_directory(folder.Native() / "sub");

  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  EXPECT_TRUE(CurrentDirectoryIsMountRoot());
  ASSERT_TRUE(SetCurrentDirectoryW(folder.Native().c_str()));
  EXPECT_FALSE(CurrentDirectoryIsMountRoot());

  std::uint64_t device = 0, inode = 0, otherDevice = 0, otherInode = 0;
  ASSERT_TRUE(FolderKeyOf("sub\\", device, inode));
  ASSERT_TRUE(FolderKeyOf(".\\sub\\..\\sub\\", otherDevice, otherInode));
  EXPECT_EQ(device, otherDevice);
  EXPECT_EQ(inode, otherInode);
  ASSERT_TRUE(FolderKeyOf("", otherDevice, otherInode));
  EXPECT_NE(inode, otherInode);
  EXPECT_FALSE(FolderKeyOf("missing\\", otherDevice, otherInode));
  SetCurrentDirectoryW(saved);
}

TEST(Win32Walk, FileErrorsAreDescribedInTheSystemsOwnWords) {
  // A Win32 error number, not an errno value: ERROR_PATH_NOT_FOUND is 3,
  // which strerror would call "No such process".
  const std::string words = FileSystemErrorWords(ERROR_PATH_NOT_FOUND);
  EXPECT_NE(words.find("ath"), std::string::npos) << words;
  EXPECT_NE(words.back(), '\n');
  EXPECT_NE(words.back(), '.');
}

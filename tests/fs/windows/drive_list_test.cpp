//===- tests/fs/windows/drive_list_test.cpp - The logical drives ----------===//

#include "fs/drive_list.h"

#include "fs/drive_kind.h"
#include "walk_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// <windows.h> names the wide call GetDriveTypeW so; here it is the drive
// list's own.
#undef GetDriveType

namespace {

std::vector<std::string> Roots() {
  TTStringList list;
  list.AddCopy("left over from before");
  ListLogicalDrives(list);
  std::vector<std::string> roots;
  for (const TTString &root : list)
    roots.push_back(root.CStr());
  return roots;
}

} // namespace

TEST(Win32DriveList, TheLogicalDrivesInOrderWithTheirTypes) {
  const std::vector<std::string> roots = Roots();
  // Wine's prefix has at least C: (its drive_c) and Z: (the Linux root).
  ASSERT_GE(roots.size(), 2u);
  for (std::size_t i = 0; i < roots.size(); ++i) {
    ASSERT_EQ(roots[i].size(), 3u) << roots[i];
    EXPECT_EQ(roots[i].substr(1), ":\\");
    if (i > 0) {
      EXPECT_LT(roots[i - 1], roots[i]) << "in drive-letter order";
    }
  }
  EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());
  EXPECT_NE(std::find(roots.begin(), roots.end(), "Z:\\"), roots.end());

  EXPECT_EQ(GetDriveType("C:\\"), static_cast<std::uint32_t>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveType("C:"), static_cast<std::uint32_t>(DRIVE_FIXED)) << "without its backslash";
  const std::unique_ptr<TTDriveTable> table = ReadDriveTable();
  for (const std::string &root : roots) {
    EXPECT_EQ(table->DriveType(root.c_str()),
              GetDriveTypeW(std::wstring(root.begin(), root.end()).c_str()))
        << root;
    EXPECT_STREQ(table->CoveringRoot(root.c_str()).CStr(), "");
  }
  EXPECT_EQ(table->DriveType("C:\\Windows\\"), static_cast<std::uint32_t>(DRIVE_NO_ROOT_DIR));
  EXPECT_STREQ(DriveTableSource().CStr(), "");
}

TEST(Win32DriveList, DriveKindsFromTheDriveType) {
  // Wine's disks answer no storage query: a fixed drive is of unknown kind
  // there, and never a network or memory drive.
  walk_test::TempFolder folder;
  const DriveKind kind = DriveKindOf(folder.Text().c_str());
  EXPECT_NE(kind, DriveKind::network);
  EXPECT_NE(kind, DriveKind::memory);
  EXPECT_EQ(DriveKindOf("Q:\\no\\such\\drive"), DriveKind::unknown);
}

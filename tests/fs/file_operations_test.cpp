//===- tests/fs/file_operations_test.cpp - Operations on named files ------===//

#include "fs/file_operations.h"

#include "core/tt_exception.h"
#include "fs/tt_find_handle.h"
#include "fs/tt_temp_file.h"
#include "support/fs_helpers.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>
#include <sys/xattr.h>

using velkor::test::Exists;
using velkor::test::MakeDir;
using velkor::test::NobodyUid;
using velkor::test::NogroupGid;
using velkor::test::ReadFile;
using velkor::test::RunAsNobody;
using velkor::test::TempDir;
using velkor::test::WriteFile;

namespace {

TTString T(const std::string &text) { return TTString(text.c_str()); }

/// The code and kind of the file exception `action` raises: "named 3",
/// "unnamed 18", or "none".
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

TEST(RemoveFileIfExists, MissingReadOnlyAndBadPath) {
  TempDir dir;
  EXPECT_EQ(Failure([&] { RemoveFileIfExists(T(dir / "missing.doc")); }), "none");

  WriteFile(dir / "ro.doc");
  chmod((dir / "ro.doc").c_str(), 0444);
  RemoveFileIfExists(T(dir / "ro.doc"));
  EXPECT_FALSE(Exists(dir / "ro.doc"));

  try {
    RemoveFileIfExists(T(dir / "nofolder/x.doc"));
    ADD_FAILURE() << "no exception";
  } catch (const TTFileWithNameException &e) {
    EXPECT_EQ(e.code, TTFileError::badPath);
    EXPECT_STREQ(e.fileName.CStr(), (dir / "nofolder/x.doc").c_str());
  }
  EXPECT_EQ(Failure([&] { RemoveFile(T(dir / "missing.doc")); }),
            Code(TTFileError::fileNotFound, true));
}

TEST(RemoveFileIfExists, AFileInAProtectedFolderStaysAndTheFailureIsRaised) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  WriteFile(dir / "keep.doc");
  const std::string result = RunAsNobody([&](std::string &out) {
    out = Failure([&] { RemoveFileIfExists(T(dir / "keep.doc")); });
  });
  EXPECT_EQ(result, Code(TTFileError::accessDenied, true));
  EXPECT_TRUE(Exists(dir / "keep.doc"));
}

TEST(RenameFile, FailsWhenTheTargetExistsAndRaisesNoName) {
  TempDir dir;
  WriteFile(dir / "a", "A");
  WriteFile(dir / "b", "B");
  EXPECT_EQ(Failure([&] { RenameFile(T(dir / "a"), T(dir / "b")); }),
            Code(TTFileError::fileExists, false));
  EXPECT_EQ(ReadFile(dir / "b"), "B");
  EXPECT_EQ(Failure([&] { RenameFile(T(dir / "missing"), T(dir / "c")); }),
            Code(TTFileError::fileNotFound, false));
  RenameFile(T(dir / "a"), T(dir / "c"));
  EXPECT_EQ(ReadFile(dir / "c"), "A");
  EXPECT_FALSE(Exists(dir / "a"));
}

TEST(MoveFileReplacing, ReplacesAReadOnlyTargetAndRenamesOntoAMissingOne) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  MakeDir(dir / "docs", 0755);
  chown((dir / "docs").c_str(), NobodyUid(), NogroupGid());
  // The unprivileged owner of the folder replaces a read-only document.
  const std::string result = RunAsNobody([&](std::string &out) {
    const std::string target = dir / "docs/letter.doc";
    const std::string source = dir / "docs/vkr1.tmp";
    WriteFile(target, "old");
    chmod(target.c_str(), 0444);
    WriteFile(source, "new");
    out += Failure([&] { MoveFileReplacing(T(source), T(target)); });
    out += " " + ReadFile(target) + " " + (Exists(source) ? "source-left" : "source-gone");
    WriteFile(source, "fresh");
    out += " " + Failure([&] { MoveFileReplacing(T(source), T(dir / "docs/new.doc")); });
    out += " " + ReadFile(dir / "docs/new.doc");
  });
  EXPECT_EQ(result, "none new source-gone none fresh");
}

TEST(MoveFileReplacing, AFailedRenameLeavesTheTargetAndTheCopy) {
  TempDir dir;
  MakeDir(dir / "ro");
  WriteFile(dir / "ro/doc.doc", "document");
  MakeDir(dir / "view");
  // A read-only bind mount of the same folder: the rename is refused there.
  if (std::system(("mount --bind '" + (dir / "ro") + "' '" + (dir / "view") + "' && mount -o "
                   "remount,bind,ro '" + (dir / "view") + "'")
                      .c_str()) != 0) {
    GTEST_SKIP() << "cannot make a read-only bind mount here";
  }
  WriteFile(dir / "ro/vkr2.tmp", "copy");
  EXPECT_EQ(Failure([&] { MoveFileReplacing(T(dir / "view/vkr2.tmp"), T(dir / "view/doc.doc")); }),
            Code(TTFileError::accessDenied, false));
  EXPECT_EQ(ReadFile(dir / "ro/doc.doc"), "document");
  EXPECT_EQ(ReadFile(dir / "ro/vkr2.tmp"), "copy");
  EXPECT_EQ(Failure([&] { MoveFileReplacing(T(dir / "ro/missing"), T(dir / "ro/doc.doc")); }),
            Code(TTFileError::fileNotFound, true));
  EXPECT_EQ(ReadFile(dir / "ro/doc.doc"), "document");
}

TEST(MakeTempFileName, CreatesDistinctEmptyFiles) {
  TempDir dir;
  const TTString first = MakeTempFileName(T(dir.Path()), T("vkrextra"));
  const TTString second = MakeTempFileName(T(dir.Path() + "/"), T("vkr"));
  EXPECT_NE(first, second);
  const std::regex form(std::regex_replace(dir.Path(), std::regex("[.]"), "\\.") +
                        "/vkr[0-9A-F]{1,4}\\.tmp");
  EXPECT_TRUE(std::regex_match(first.CStr(), form)) << first.CStr();
  EXPECT_TRUE(std::regex_match(second.CStr(), form)) << second.CStr();
  struct stat info;
  ASSERT_EQ(stat(first.CStr(), &info), 0);
  EXPECT_EQ(info.st_size, 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));

  // Many more in one folder stay distinct.
  for (int i = 0; i < 200; ++i) {
    MakeTempFileName(T(dir.Path()), T("vkr"));
  }
  int count = 0;
  DIR *listing = opendir(dir.Path().c_str());
  while (const dirent *entry = readdir(listing)) {
    count += entry->d_name[0] == 'v';
  }
  closedir(listing);
  EXPECT_EQ(count, 202);
}

TEST(MakeTempFileName, MissingAndProtectedFolders) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  EXPECT_EQ(Failure([&] { MakeTempFileName(T(dir / "nofolder"), T("vkr")); }),
            Code(TTFileError::badPath, false));
  const std::string result = RunAsNobody([&](std::string &out) {
    out = Failure([&] { MakeTempFileName(T(dir.Path()), T("vkr")); });
  });
  EXPECT_EQ(result, Code(TTFileError::accessDenied, false));
}

TEST(TTTempFile, ArmReleaseAndRemoveCycle) {
  TempDir dir;
  std::string made;
  {
    TTTempFile holder;
    made = holder.Create(T(dir.Path()), T("vkr")).CStr();
    EXPECT_TRUE(holder.IsArmed());
    EXPECT_TRUE(Exists(made));
  }
  EXPECT_FALSE(Exists(made)) << "destroyed while armed: removed";

  std::string first, second;
  {
    TTTempFile holder;
    first = holder.Create(T(dir.Path()), T("vkr")).CStr();
    second = holder.Create(T(dir.Path()), T("vkr")).CStr();
    EXPECT_FALSE(Exists(first)) << "a second Create removes the first file";
    EXPECT_TRUE(Exists(second));
    holder.Release();
    EXPECT_FALSE(holder.IsArmed());
  }
  EXPECT_TRUE(Exists(second)) << "released: left alone";

  {
    TTTempFile holder;
    const std::string moved = holder.Create(T(dir.Path()), T("vkr")).CStr();
    MoveFileReplacing(T(moved), T(dir / "document.doc"));
  } // armed, but the file is gone: destroys without error
  EXPECT_TRUE(Exists(dir / "document.doc"));

  TTTempFile holder;
  const std::string removed = holder.Create(T(dir.Path()), T("vkr")).CStr();
  holder.Remove();
  EXPECT_FALSE(Exists(removed));
  EXPECT_FALSE(holder.IsArmed());
}

TEST(CurrentDir, SetAndGet) {
  VELKOR_REQUIRE_ROOT();
  const TTString saved = GetCurrentDir();
  TempDir dir;
  ASSERT_TRUE(SetCurrentDir(T("/")));
  EXPECT_STREQ(GetCurrentDir().CStr(), "/");
  ASSERT_TRUE(SetCurrentDir(T(dir.Path() + "/")));
  EXPECT_STREQ(GetCurrentDir().CStr(), dir.Path().c_str());
  EXPECT_FALSE(SetCurrentDir(T(dir / "missing")));
  EXPECT_FALSE(SetCurrentDir(T("")));
  EXPECT_STREQ(GetCurrentDir().CStr(), dir.Path().c_str());
  MakeDir(dir / "closed", 0700);
  const std::string result = RunAsNobody([&](std::string &out) {
    out = SetCurrentDir(T(dir / "closed")) ? "entered" : "refused";
  });
  EXPECT_EQ(result, "refused");
  ASSERT_TRUE(SetCurrentDir(saved));
}

/// True when the folder's file system keeps user.* extended attributes.
bool HasUserXattrs(const std::string &path) {
  return setxattr(path.c_str(), "user.velkor.probe", "1", 1, 0) == 0;
}

TEST(Attributes, ACopyIsGivenModeOwnerGroupAndExactlyTheExtendedAttributes) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  const std::string document = dir / "doc.doc";
  const std::string copy = dir / "vkr1.tmp";
  WriteFile(document);
  WriteFile(copy);
  if (!HasUserXattrs(document)) {
    GTEST_SKIP() << "the temporary folder's file system keeps no user.* attributes";
  }
  ASSERT_EQ(chown(document.c_str(), NobodyUid(), NogroupGid()), 0);
  ASSERT_EQ(setxattr(document.c_str(), "user.DOSATTRIB", "\0\x01\x02", 3, 0), 0);
  ASSERT_EQ(std::system(("setfacl -m u:root:r-- '" + document + "'").c_str()), 0);
  ASSERT_EQ(chmod(document.c_str(), 02640), 0);
  ASSERT_EQ(setxattr(copy.c_str(), "user.stale", "x", 1, 0), 0);

  const TTFileAttributes wanted = ReadAttributes(T(document));
  SetAttributes(T(copy), wanted);
  const TTFileAttributes got = ReadAttributes(T(copy));
  EXPECT_EQ(got.mode, wanted.mode);
  EXPECT_EQ(got.owner, NobodyUid());
  EXPECT_EQ(got.group, NogroupGid());
  auto sorted = [](std::vector<std::pair<std::string, std::string>> list) {
    std::sort(list.begin(), list.end());
    return list;
  };
  EXPECT_EQ(sorted(got.extended), sorted(wanted.extended));
  bool hasAcl = false;
  for (const auto &[name, value] : got.extended) {
    hasAcl |= name == "system.posix_acl_access";
    EXPECT_NE(name, "user.stale");
  }
  EXPECT_TRUE(hasAcl);

  // From a directory entry's record: mode, owner and group only.
  TTFindRecord record;
  ASSERT_TRUE(FindOne(T(document), record));
  WriteFile(dir / "other");
  SetAttributes(T(dir / "other"), record);
  struct stat info;
  ASSERT_EQ(stat((dir / "other").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 02640u);
  EXPECT_EQ(info.st_uid, NobodyUid());
}

TEST(Attributes, AnOwnerThatCannotBeGivenRaisesAccessDenied) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  MakeDir(dir / "mine");
  chown((dir / "mine").c_str(), NobodyUid(), NogroupGid());
  const std::string result = RunAsNobody([&](std::string &out) {
    const std::string copy = dir / "mine/vkr1.tmp";
    WriteFile(copy);
    TTFileAttributes attributes = ReadAttributes(T(copy));
    attributes.mode = 0600;
    out += Failure([&] { SetAttributes(T(copy), attributes); }); // already its own: fine
    attributes.owner = 0;
    out += " " + Failure([&] { SetAttributes(T(copy), attributes); });
  });
  EXPECT_EQ(result, "none " + Code(TTFileError::accessDenied, true));
}

} // namespace

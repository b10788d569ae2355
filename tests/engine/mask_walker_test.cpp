//===- tests/engine/mask_walker_test.cpp - The mask-steered walk ----------===//

#include "engine/mask_walker.h"

#include "core/exceptions.h"
#include "fs/mask_set.h"
#include "support/fs_helpers.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <set>
#include <string>
#include <vector>

using velkor::test::MakeDir;
using velkor::test::MountTmpfs;
using velkor::test::OpenDescriptorCount;
using velkor::test::RunAsNobody;
using velkor::test::TempDir;
using velkor::test::WriteFile;

namespace {

TTString T(const std::string &text) { return TTString(text.c_str()); }

/// Makes `directory` current for the life of the object.
class InDirectory {
public:
  explicit InDirectory(const std::string &directory) {
    EXPECT_NE(getcwd(saved_, sizeof saved_), nullptr);
    EXPECT_EQ(chdir(directory.c_str()), 0);
  }
  ~InDirectory() { EXPECT_EQ(chdir(saved_), 0); }

private:
  char saved_[PATH_MAX];
};

struct Mask {
  std::string path;
  bool include;
  bool recursive;
};

/// The full names a walk of `masks` yields in `directory`, in order; a
/// directory's name ends with "/" here so the tests can tell them apart.
std::vector<std::string> Walk(const std::string &directory, const std::vector<Mask> &masks,
                              bool stayOnFileSystem = false) {
  InDirectory in(directory);
  TTMaskSet set;
  for (const Mask &mask : masks) {
    set.Add(T(mask.path), mask.include, mask.recursive);
  }
  TTMaskWalker walker(set);
  walker.SetStayOnFileSystem(stayOnFileSystem);
  std::vector<std::string> names;
  TTCandidate candidate;
  while (walker.Next(candidate)) {
    names.push_back(std::string(candidate.FullName().CStr()) + (IsDirectory(candidate) ? "/" : ""));
  }
  EXPECT_FALSE(walker.Next(candidate)) << "a finished walk stays finished";
  return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

/// A small tree:
///   a.doc  b.xls  c.txt  old.doc/  sub/  other/
///   old.doc/in.doc   sub/s.doc  sub/s.xls  sub/deep/d.doc  sub/deep/d.xls
///   other/o.doc  other/o.xls
void BuildTree(const TempDir &dir) {
  for (const char *file : {"a.doc", "b.xls", "c.txt"}) {
    WriteFile(dir / file);
  }
  for (const char *folder : {"old.doc", "sub", "sub/deep", "other"}) {
    MakeDir(dir / folder);
  }
  for (const char *file : {"old.doc/in.doc", "sub/s.doc", "sub/s.xls", "sub/deep/d.doc",
                           "sub/deep/d.xls", "other/o.doc", "other/o.xls"}) {
    WriteFile(dir / file);
  }
}

TEST(TTMaskWalker, LocalMaskAtTheRootStaysInTheStartDirectory) {
  TempDir dir;
  BuildTree(dir);
  EXPECT_EQ(Sorted(Walk(dir.Path(), {{"*.doc", true, false}})),
            (std::vector<std::string>{"a.doc", "old.doc/"}));
}

TEST(TTMaskWalker, AllFilesRecursivelyInPreOrder) {
  TempDir dir;
  BuildTree(dir);
  const std::vector<std::string> names = Walk(dir.Path(), {{"*", true, true}});
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{
                               "a.doc", "b.xls", "c.txt", "old.doc/", "old.doc/in.doc", "other/",
                               "other/o.doc", "other/o.xls", "sub/", "sub/deep/", "sub/deep/d.doc",
                               "sub/deep/d.xls", "sub/s.doc", "sub/s.xls"}));
  // Each directory comes before its content, and its content follows it
  // without anything from elsewhere in between.
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string &name = names[i];
    if (name.back() != '/') {
      continue;
    }
    std::size_t j = i + 1;
    while (j < names.size() && names[j].rfind(name, 0) == 0) {
      ++j;
    }
    for (std::size_t k = j; k < names.size(); ++k) {
      EXPECT_NE(names[k].rfind(name, 0), 0u) << names[k] << " comes apart from " << name;
    }
  }
}

TEST(TTMaskWalker, ADirectoryNamedLikeADocumentIsYieldedAndWalked) {
  TempDir dir;
  BuildTree(dir);
  EXPECT_EQ(Sorted(Walk(dir.Path(), {{"*.doc", true, true}})),
            (std::vector<std::string>{"a.doc", "old.doc/", "old.doc/in.doc", "other/o.doc",
                                      "sub/deep/d.doc", "sub/s.doc"}));
}

TEST(TTMaskWalker, APlainNameIsLookedUpWithoutListing) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  BuildTree(dir);
  WriteFile(dir / "report.doc");
  EXPECT_EQ(Walk(dir.Path(), {{"report.doc", true, false}}),
            (std::vector<std::string>{"report.doc"}));
  EXPECT_EQ(Walk(dir.Path(), {{"REPORT.doc", true, false}}), std::vector<std::string>{})
      << "the file system decides about letter case";
  // A start directory that cannot be listed still yields a named entry:
  // proof that nothing listed it.
  chmod(dir.Path().c_str(), 0711);
  const std::string out = RunAsNobody([&](std::string &result) {
    for (const std::string &name : Walk(dir.Path(), {{"report.doc", true, false}})) {
      result += name + ";";
    }
    for (const std::string &name : Walk(dir.Path(), {{"*.doc", true, false}})) {
      result += name + ";";
    }
  });
  EXPECT_EQ(out, "report.doc;");
}

TEST(TTMaskWalker, TheSamePlainNameTwiceIsYieldedTwice) {
  TempDir dir;
  WriteFile(dir / "x.doc");
  EXPECT_EQ(Walk(dir.Path(), {{"x.doc", true, false}, {"x.doc", true, false}}),
            (std::vector<std::string>{"x.doc", "x.doc"}));
  EXPECT_EQ(Walk(dir.Path(), {{"*.doc", true, false}, {"x.*", true, false}}),
            (std::vector<std::string>{"x.doc"}))
      << "a listed entry comes once, however many masks select it";
}

TEST(TTMaskWalker, MasksInAMissingDirectoryYieldNothing) {
  TempDir dir;
  BuildTree(dir);
  EXPECT_EQ(Walk(dir.Path(), {{"nosuch/*.doc", true, false}}), std::vector<std::string>{});
  EXPECT_EQ(Walk(dir.Path(), {{"nosuch/x.doc", true, true}}), std::vector<std::string>{});
}

TEST(TTMaskWalker, MasksOfASubdirectoryApplyThereOnly) {
  TempDir dir;
  BuildTree(dir);
  const std::vector<std::string> names =
      Walk(dir.Path(), {{"*.xls", true, true}, {"sub/*.doc", true, true}});
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"b.xls", "other/o.xls", "sub/deep/d.doc",
                                                     "sub/deep/d.xls", "sub/s.doc", "sub/s.xls"}));
}

TEST(TTMaskWalker, ChildNodesAreVisitedAfterTheNodesOwnEntries) {
  TempDir dir;
  BuildTree(dir);
  // Not recursive at the root: the root's names first, then its children in
  // the order they were added.
  EXPECT_EQ(Walk(dir.Path(), {{"other/*.doc", true, false},
                              {"a.doc", true, false},
                              {"sub/s.xls", true, false},
                              {"b.xls", true, false}}),
            (std::vector<std::string>{"a.doc", "b.xls", "other/o.doc", "sub/s.xls"}));
}

TEST(TTMaskWalker, ExclusionsAtANamedDirectory) {
  TempDir dir;
  MakeDir(dir / "old");
  MakeDir(dir / "old/deeper");
  WriteFile(dir / "old/a.doc");
  WriteFile(dir / "old/deeper/a.doc");
  WriteFile(dir / "x.tmp");
  EXPECT_EQ(Walk(dir.Path(), {{"*.doc", true, true}, {"old/*.doc", false, false}}),
            (std::vector<std::string>{"old/deeper/a.doc"}))
      << "a local exclusion counts only directly in its directory";
  EXPECT_EQ(Walk(dir.Path(), {{"*.tmp", false, true}, {"*", true, false}}),
            (std::vector<std::string>{"old/"}));
}

TEST(TTMaskWalker, AnAbsoluteMaskBesideARecursiveRootIsNeverUsed) {
  TempDir dir;
  TempDir elsewhere;
  WriteFile(dir / "here.doc");
  WriteFile(elsewhere / "there.xls");
  EXPECT_EQ(Walk(dir.Path(), {{"*.doc", true, true}, {elsewhere.Path() + "/*.xls", true, false}}),
            (std::vector<std::string>{"here.doc"}));
  // Alone, it is walked, and its directory is the absolute path.
  EXPECT_EQ(Walk(dir.Path(), {{elsewhere.Path() + "/*.xls", true, false}}),
            (std::vector<std::string>{elsewhere.Path() + "/there.xls"}));
}

TEST(TTMaskWalker, AnUnreadableSubdirectoryIsPassedOver) {
  VELKOR_REQUIRE_ROOT();
  TempDir dir;
  for (const char *folder : {"a", "b", "c", "d"}) {
    MakeDir(dir / folder);
    WriteFile(dir / (std::string(folder) + "/f.doc"));
  }
  MakeDir(dir / "b/inner");
  WriteFile(dir / "b/inner/g.doc");
  chmod((dir / "b").c_str(), 0700);
  const std::string out = RunAsNobody([&](std::string &result) {
    for (const std::string &name : Walk(dir.Path(), {{"*.doc", true, true}})) {
      result += name + ";";
    }
  });
  std::vector<std::string> names;
  for (std::size_t start = 0, end; (end = out.find(';', start)) != std::string::npos;
       start = end + 1) {
    names.push_back(out.substr(start, end - start));
  }
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"a/f.doc", "c/f.doc", "d/f.doc"}));
  // As root the same tree is walked completely.
  EXPECT_EQ(Walk(dir.Path(), {{"*.doc", true, true}}).size(), 5u);
}

TEST(TTMaskWalker, SymbolicLinksAreNeverYieldedNorFollowed) {
  TempDir dir;
  TempDir outside;
  WriteFile(outside / "far.doc");
  MakeDir(dir / "real");
  WriteFile(dir / "real/r.doc");
  ASSERT_EQ(symlink((dir / "real/r.doc").c_str(), (dir / "link.doc").c_str()), 0);
  ASSERT_EQ(symlink(outside.Path().c_str(), (dir / "linked.doc").c_str()), 0);
  ASSERT_EQ(symlink("..", (dir / "real/loop").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "pipe.doc").c_str(), 0644), 0);
  EXPECT_EQ(Walk(dir.Path(), {{"*", true, true}}),
            (std::vector<std::string>{"real/", "real/r.doc"}));
  EXPECT_EQ(Walk(dir.Path(), {{"link.doc", true, false}, {"pipe.doc", true, false}}),
            std::vector<std::string>{});
  EXPECT_EQ(Walk(dir.Path(), {{"linked.doc/*.doc", true, true}}), std::vector<std::string>{})
      << "a mask's directory that is a link is not listed either";
  // No folder on the way may be a link either, for a lookup or a listing.
  MakeDir(outside / "in");
  WriteFile(outside / "in/deep.doc");
  EXPECT_EQ(Walk(dir.Path(), {{"linked.doc/far.doc", true, false}}), std::vector<std::string>{})
      << "a plain name behind a linked folder is not looked up";
  EXPECT_EQ(Walk(dir.Path(), {{"linked.doc/in/*.doc", true, false}}), std::vector<std::string>{})
      << "a folder below a linked folder is not listed";
  EXPECT_EQ(Walk(dir.Path(), {{"linked.doc/in/deep.doc", true, false}}),
            std::vector<std::string>{});
  EXPECT_EQ(Walk(dir.Path(), {{"real/r.doc", true, false}}),
            std::vector<std::string>{"real/r.doc"});
}

TEST(TTMaskWalker, OneOpenSearchPerLevel) {
  TempDir dir;
  std::string path;
  for (int level = 0; level < 60; ++level) {
    path += "d/";
    MakeDir(dir / path);
    WriteFile(dir / (path + "f.doc"));
  }
  InDirectory in(dir.Path());
  TTMaskSet set;
  set.Add(T("*.doc"), true, true);
  const int before = OpenDescriptorCount();
  int deepest = 0;
  int yielded = 0;
  {
    TTMaskWalker walker(set);
    TTCandidate candidate;
    while (walker.Next(candidate)) {
      ++yielded;
      if (candidate.directory.Length() == 120) {
        deepest = OpenDescriptorCount() - before;
      }
    }
  }
  EXPECT_EQ(yielded, 60);
  EXPECT_EQ(deepest, 61) << "the start directory and sixty levels below it";
  EXPECT_EQ(OpenDescriptorCount(), before) << "every search closed";
}

TEST(TTMaskWalker, CandidatesCarryTheEntrysRecord) {
  TempDir dir;
  MakeDir(dir / "s");
  WriteFile(dir / "s/x.doc", "12345");
  InDirectory in(dir.Path());
  TTMaskSet set;
  set.Add(T("*.doc"), true, true);
  TTMaskWalker walker(set);
  TTCandidate candidate;
  ASSERT_TRUE(walker.Next(candidate));
  EXPECT_STREQ(candidate.directory.CStr(), "s/");
  EXPECT_STREQ(candidate.name.CStr(), "x.doc");
  EXPECT_EQ(candidate.sizeLow, 5u);
  struct stat info;
  ASSERT_EQ(stat("s/x.doc", &info), 0);
  EXPECT_EQ(candidate.inode, info.st_ino);
  EXPECT_EQ(candidate.lastWrite.tv_nsec, info.st_mtim.tv_nsec);
  EXPECT_EQ(candidate.lastWriteTime, TimespecToFileTime(info.st_mtim));
  EXPECT_EQ(candidate.linkCount, 1u);
  TTCandidate copy = candidate;
  EXPECT_STREQ(copy.FullName().CStr(), "s/x.doc");
  EXPECT_FALSE(walker.Next(candidate));
}

/// Reaches the walker's hooks directly, as the walk itself does.
class HookProbe : public TTMaskWalker {
public:
  using TTMaskWalker::EnterDirectory;
  using TTMaskWalker::LeaveDirectory;
  using TTMaskWalker::TTMaskWalker;
};

TEST(TTMaskWalker, LeavingAboveTheRootThrowsItsIntegerCode) {
  TTMaskSet set;
  set.Add(T("sub/*.doc"), true, false);
  HookProbe walker(set);
  walker.EnterDirectory(T("SUB")); // the node sub, found without regard to case
  walker.EnterDirectory(T("below"));
  walker.LeaveDirectory();
  walker.LeaveDirectory();
  try {
    walker.LeaveDirectory();
    ADD_FAILURE() << "no exception";
  } catch (std::int32_t code) {
    EXPECT_EQ(code, 98112723);
  }
}

TEST(TTMaskWalker, StaysOnTheStartFileSystemWhenToldTo) {
  TempDir dir;
  WriteFile(dir / "top.doc");
  MakeDir(dir / "mnt");
  if (!MountTmpfs(dir / "mnt", 1024)) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  WriteFile(dir / "mnt/inside.doc");
  EXPECT_EQ(Sorted(Walk(dir.Path(), {{"*.doc", true, true}}, false)),
            (std::vector<std::string>{"mnt/inside.doc", "top.doc"}));
  EXPECT_EQ(Walk(dir.Path(), {{"*.doc", true, true}}, true), (std::vector<std::string>{"top.doc"}));
}

} // namespace

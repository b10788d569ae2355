//===- tests/fs/file_operations_test.cpp - Operations on named files ------===//

#include "fs/file_operations.h"

#include "core/exceptions.h"
#include "fs/find_handle.h"
#include "fs/temp_file.h"
#include "support/fs_helpers.h"
#include "support/process.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <regex>
#include <sys/stat.h>
#include <sys/xattr.h>

using velkor::test::CliProcess;
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
  const std::string result = RunAsNobody(
      [&](std::string &out) { out = Failure([&] { RemoveFileIfExists(T(dir / "keep.doc")); }); });
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
  if (std::system(("mount --bind '" + (dir / "ro") + "' '" + (dir / "view") +
                   "' && mount -o "
                   "remount,bind,ro '" +
                   (dir / "view") + "'")
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
  const std::string result = RunAsNobody(
      [&](std::string &out) { out = Failure([&] { MakeTempFileName(T(dir.Path()), T("vkr")); }); });
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
  const std::string result = RunAsNobody(
      [&](std::string &out) { out = SetCurrentDir(T(dir / "closed")) ? "entered" : "refused"; });
  EXPECT_EQ(result, "refused");
  ASSERT_TRUE(SetCurrentDir(saved));
}

// Only provably abandoned copies are swept: the exact name, marked as a copy
// of that very file, a regular file of ours with one link, empty or a
// compound file, older than the run, and not locked by a live writer. An
// estimate finds the same files and removes none. An unmarked regular file of
// the name (a document's old file left by a killed replacement, a file that
// carries another file's mark) is named as a leftover and never removed.
// What is not ours is looked at, never opened: a writer waiting for a reader
// of a FIFO of our name goes on waiting, and another user's file keeps the
// read lease a program holds on it.
TEST(TTTempFile, SweepTakesOnlyAbandonedCopies) {
  VELKOR_REQUIRE_ROOT();
  const std::string signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  for (const bool remove : {false, true}) {
    TempDir dir;
    struct Case {
      const char *name;
      std::string content;
      bool marked;
      bool abandoned;
    } cases[] = {
        {"vkr1.tmp", "", true, true},
        {"vkrFFFF.tmp", signature + "rest", true, true},
        {"vkr1A2.tmp", signature, true, true},
        {"vkr1a.tmp", "", true, false},
        {"vkr01.tmp", "", true, false},
        {"vkr12345.tmp", "", true, false},
        {"vkr.tmp", "", true, false},
        {"xvkr1.tmp", "", true, false},
        {"vkr1.tmp.bak", "", true, false},
        {"vkr2.tmp", "notes", false, false},
        {"vkr3.tmp", "", true, false},
        {"vkr4.tmp", "", true, false},
        {"vkr5.tmp", "", true, false},
        {"vkrB.tmp", signature + "a document's old file", false, false},
        {"vkrC.tmp", signature, false, false},
        {"vkrD.tmp", "notes", true, false},
    };
    for (const Case &c : cases) {
      WriteFile(dir / c.name, c.content);
      const int file = open((dir / c.name).c_str(), O_RDONLY);
      if (c.marked) {
        ASSERT_TRUE(MarkAsTemporaryCopy(file)) << "no user.* attributes here";
      }
      close(file);
    }
    // A mark carried along from another file marks nothing.
    ASSERT_EQ(setxattr((dir / "vkrC.tmp").c_str(), kCopyMarkAttribute, "1", 1, 0), 0);
    ASSERT_EQ(link((dir / "vkr3.tmp").c_str(), (dir / "second-link").c_str()), 0);
    ASSERT_EQ(chown((dir / "vkr4.tmp").c_str(), 65534, 65534), 0); // nobody's
    const int live = open((dir / "vkr5.tmp").c_str(), O_RDWR);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(fcntl(live, F_OFD_SETLK, &lock), 0) << "a live writer's lock";
    ASSERT_EQ(symlink("vkr1.tmp", (dir / "vkr6.tmp").c_str()), 0);
    MakeDir(dir / "vkr7.tmp");
    ASSERT_EQ(mkfifo((dir / "vkr9.tmp").c_str(), 0600), 0);
    CliProcess fifoWriter({"sh", "-c", "exec 3>\"$0\"; echo opened", dir / "vkr9.tmp"});
    CliProcess leaseHolder(
        {"python3", "-c",
         "import fcntl, os, signal, sys, time\n"
         "signal.signal(signal.SIGIO, lambda *_: print('broken', flush=True))\n"
         "fcntl.fcntl(os.open(sys.argv[1], os.O_RDONLY), fcntl.F_SETLEASE, fcntl.F_RDLCK)\n"
         "print('held', flush=True)\n"
         "time.sleep(60)\n",
         dir / "vkr4.tmp"});
    ASSERT_TRUE(leaseHolder.WaitForOutput("held"));
    timespec start{}; // everything above is older than this run
    clock_gettime(CLOCK_REALTIME, &start);
    usleep(50000);               // past the coarse clock that stamps change times
    WriteFile(dir / "vkr8.tmp"); // ... but this one is the run's own,
    const timespec ancient[2] = {{1000, 0}, {1000, 0}};
    utimensat(AT_FDCWD, (dir / "vkr8.tmp").c_str(), ancient, 0); // however old it looks
    TTTempFile holder; // a copy in the making, locked by its holder
    const std::string making = holder.Create(T(dir.Path()), T("vkr")).CStr();

    std::vector<std::string> found, leftovers;
    timespec later = start;
    later.tv_sec += 3600; // even a run started much later leaves a locked copy alone
    SweepAbandonedTempFiles(T(dir.Path()), T("vkr"), start, remove,
                            [&](const TTString &name, TempFileFinding finding) {
                              if (finding == TempFileFinding::leftover) {
                                leftovers.push_back(name.CStr());
                                return;
                              }
                              EXPECT_EQ(finding, remove ? TempFileFinding::removedCopy
                                                        : TempFileFinding::abandonedCopy);
                              found.push_back(name.CStr());
                            });
    std::sort(found.begin(), found.end());
    std::sort(leftovers.begin(), leftovers.end());
    EXPECT_EQ(found, (std::vector<std::string>{dir / "vkr1.tmp", dir / "vkr1A2.tmp",
                                               dir / "vkrFFFF.tmp"}));
    EXPECT_EQ(leftovers,
              (std::vector<std::string>{dir / "vkr2.tmp", dir / "vkrB.tmp", dir / "vkrC.tmp"}));
    for (const Case &c : cases)
      EXPECT_EQ(Exists(dir / c.name), !(remove && c.abandoned)) << c.name;
    EXPECT_TRUE(Exists(dir / "vkr8.tmp"));
    found.clear();
    SweepAbandonedTempFiles(T(dir.Path()), T("vkr"), later, true,
                            [&](const TTString &name, TempFileFinding finding) {
                              if (finding != TempFileFinding::leftover)
                                found.push_back(name.CStr());
                            });
    EXPECT_TRUE(Exists(making)) << "its holder's lock keeps it";
    EXPECT_TRUE(Exists(dir / "vkr5.tmp"));
    close(live);
    usleep(100000); // time for a broken lease's signal or an opened FIFO's line
    fifoWriter.Signal(SIGKILL);
    leaseHolder.Signal(SIGKILL);
    EXPECT_EQ(fifoWriter.Finish().out, "") << "the FIFO was opened";
    EXPECT_EQ(leaseHolder.Finish().out, "held\n") << "another user's lease was broken";
  }
}

// Both ways of opening a path refuse a link in any component and open
// everything else, absolute and relative paths alike.
TEST(OpenWithoutLinks, NoComponentIsFollowedThroughALink) {
  TempDir dir;
  MakeDir(dir / "a");
  MakeDir(dir / "a/b");
  WriteFile(dir / "a/b/f.doc");
  ASSERT_EQ(symlink("a", (dir / "la").c_str()), 0);
  ASSERT_EQ(symlink("b", (dir / "a/lb").c_str()), 0);
  ASSERT_EQ(symlink("f.doc", (dir / "a/b/lf.doc").c_str()), 0);
  const int folder = open(dir.Path().c_str(), O_PATH | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  for (auto way : {&OpenWithoutLinks, &OpenComponentwise}) {
    struct Case {
      int at;
      std::string path;
      bool opens;
    } cases[] = {
        {AT_FDCWD, dir / "a/b/f.doc", true},
        {folder, "a/b/f.doc", true},
        {folder, "a//b/./f.doc", true},
        {folder, ".", true},
        {AT_FDCWD, "/", true},
        {AT_FDCWD, dir / "la/b/f.doc", false},
        {folder, "a/lb/f.doc", false},
        {folder, "a/b/lf.doc", false},
        {folder, "a/missing/f.doc", false},
    };
    for (const Case &c : cases) {
      const int fd = way(c.at, c.path.c_str(), O_RDONLY);
      EXPECT_EQ(fd >= 0, c.opens) << c.path
                                  << (way == &OpenComponentwise ? " (by components)" : "");
      if (fd >= 0)
        close(fd);
    }
  }
  close(folder);
}

// A run started in a folder that has since been deleted still comes back to
// it, and what it does meanwhile needs no path of it.
TEST(CurrentDir, SavedAsAnOpenFolderSurvivesItsDeletion) {
  char start[4096];
  ASSERT_NE(getcwd(start, sizeof start), nullptr);
  TempDir dir;
  MakeDir(dir / "gone");
  ASSERT_EQ(chdir((dir / "gone").c_str()), 0);
  ASSERT_EQ(rmdir((dir / "gone").c_str()), 0);
  {
    TTSavedDirectory saved;
    ASSERT_TRUE(SetCurrentDir(T(dir.Path())));
    EXPECT_TRUE(saved.Restore());
    struct stat here;
    ASSERT_EQ(stat(".", &here), 0);
    EXPECT_EQ(here.st_nlink, 0u) << "back in the deleted folder";
    ASSERT_TRUE(SetCurrentDir(T("/")));
  }
  struct stat here;
  ASSERT_EQ(stat(".", &here), 0);
  EXPECT_EQ(here.st_nlink, 0u) << "restored when the holder ends";
  ASSERT_EQ(chdir(start), 0);
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
  // The copies' mark is the copy's alone: the copy loses its own, and a
  // document that carries one does not pass it on.
  ASSERT_EQ(setxattr(copy.c_str(), kCopyMarkAttribute, "1", 1, 0), 0);
  ASSERT_EQ(setxattr(document.c_str(), kCopyMarkAttribute, "2", 1, 0), 0);

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
  for (const auto &[name, value] : wanted.extended)
    EXPECT_NE(name, kCopyMarkAttribute) << "read from the document";
  EXPECT_LT(getxattr(copy.c_str(), kCopyMarkAttribute, nullptr, 0), 0) << "left on the copy";

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

//===- tests/fs/path_names_test.cpp - Path names --------------------------===//

#include "fs/path_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Components(const char *path) {
  TTStringList list;
  list.AddCopy("left over from before");
  SplitPathComponents(path, list);
  std::vector<std::string> out;
  for (const TTString &s : list)
    out.push_back(s.CStr());
  return out;
}

using Strings = std::vector<std::string>;

} // namespace

#ifdef _WIN32

TEST(PathNamesTest, BackslashAndSlashSeparateAndTheColonEndsADrive) {
  for (int c = 0; c < 256; ++c) {
    const bool separator = c == '\\' || c == '/';
    EXPECT_EQ(IsPathSeparator(static_cast<char>(c)), separator) << c;
    EXPECT_EQ(IsPathDelimiter(static_cast<char>(c)), separator || c == ':') << c;
    EXPECT_EQ(IsDirectoryEnd(static_cast<char>(c)), c == '\\' || c == ':') << c;
  }
}

TEST(PathNamesTest, SplitPathComponents) {
  EXPECT_EQ(Components(""), Strings{});
  EXPECT_EQ(Components("*.doc"), (Strings{"*.doc"}));
  EXPECT_EQ(Components("docs\\*.doc"), (Strings{"docs", "*.doc"}));
  EXPECT_EQ(Components("D:\\data\\"), (Strings{"D:", "data", ""}));
  EXPECT_EQ(Components("\\x\\a.doc"), (Strings{"", "x", "a.doc"}));
  EXPECT_EQ(Components("a//b"), (Strings{"a", "", "b"}));
  EXPECT_EQ(Components("docs/2024\\*.xls"), (Strings{"docs", "2024", "*.xls"}));
}

TEST(PathNamesTest, JoinPathComponents) {
  TTStringList list;
  EXPECT_STREQ(JoinPathComponents(list).CStr(), "");
  list.AddCopy("D:");
  list.AddCopy("data");
  EXPECT_STREQ(JoinPathComponents(list).CStr(), "D:\\data\\");
  SplitPathComponents("Archive/Reports/", list);
  list.DeleteLast();
  EXPECT_STREQ(JoinPathComponents(list).CStr(), "Archive\\Reports\\");
}

TEST(PathNamesTest, SplitPath) {
  struct Case {
    const char *path, *directory, *name;
  } cases[] = {
      {"D:\\a\\b.doc", "D:\\a\\", "b.doc"}, {"D:b.doc", "D:", "b.doc"}, {"b.doc", "", "b.doc"},
      {"D:\\a\\", "D:\\a\\", ""},           {"a/b.doc", "a/", "b.doc"}, {"", "", ""},
  };
  for (const Case &c : cases) {
    TTString directory("old"), name("old");
    SplitPath(c.path, directory, name);
    EXPECT_STREQ(directory.CStr(), c.directory) << c.path;
    EXPECT_STREQ(name.CStr(), c.name) << c.path;
  }
}

TEST(PathNamesTest, MakeDirectoryPath) {
  struct Case {
    const char *before, *after;
  } cases[] = {
      {"a/b", "a\\b\\"}, {"a\\b\\", "a\\b\\"}, {"D:", "D:"}, {"D:\\", "D:\\"},
      {"", ""},          {"a/", "a\\"},
  };
  for (const Case &c : cases) {
    TTString path(c.before);
    MakeDirectoryPath(path);
    EXPECT_STREQ(path.CStr(), c.after) << c.before;
  }
}

TEST(PathNamesTest, DirectoryOf) {
  EXPECT_STREQ(DirectoryOf("D:\\a\\b.doc").CStr(), "D:\\a\\");
  EXPECT_STREQ(DirectoryOf("b.doc").CStr(), ".\\");
  EXPECT_STREQ(DirectoryOf("D:b.doc").CStr(), "D:");
  EXPECT_STREQ(DirectoryOf("a/b.doc").CStr(), "a\\");
  EXPECT_STREQ(DirectoryOf("Reports\\q1.doc").CStr(), "Reports\\");
}

TEST(PathNamesTest, ContainingFolderRootedPathsAndTheCurrentDirPrefix) {
  EXPECT_STREQ(ContainingFolder("C:\\Archive\\q1.doc").CStr(), "C:\\Archive");
  EXPECT_STREQ(ContainingFolder("C:\\q1.doc").CStr(), "C:\\");
  EXPECT_STREQ(ContainingFolder("C:q1.doc").CStr(), "C:");
  EXPECT_STREQ(ContainingFolder("\\q1.doc").CStr(), "\\");
  EXPECT_STREQ(ContainingFolder("q1.doc").CStr(), ".");
  EXPECT_TRUE(IsRootedPath("C:\\Archive"));
  EXPECT_TRUE(IsRootedPath("C:q1.doc"));
  EXPECT_TRUE(IsRootedPath("\\\\server\\share\\q1.doc"));
  EXPECT_TRUE(IsRootedPath("/Archive"));
  EXPECT_FALSE(IsRootedPath("Archive\\q1.doc"));
  EXPECT_FALSE(IsRootedPath(""));
  EXPECT_STREQ(SkipCurrentDirPrefix(".\\./Reports\\q1.doc"), "Reports\\q1.doc");
  EXPECT_STREQ(SkipCurrentDirPrefix("..\\q1.doc"), "..\\q1.doc");
}

#else

TEST(PathNamesTest, SeparatorIsTheSlashAlone) {
  for (int c = 0; c < 256; ++c) {
    bool slash = c == '/';
    EXPECT_EQ(IsPathSeparator(static_cast<char>(c)), slash) << c;
    EXPECT_EQ(IsPathDelimiter(static_cast<char>(c)), slash) << c;
    EXPECT_EQ(IsDirectoryEnd(static_cast<char>(c)), slash) << c;
  }
}

TEST(PathNamesTest, SplitPathComponents) {
  EXPECT_EQ(Components(""), Strings{});
  EXPECT_EQ(Components("*.doc"), (Strings{"*.doc"}));
  EXPECT_EQ(Components("docs/*.doc"), (Strings{"docs", "*.doc"}));
  EXPECT_EQ(Components("/data/"), (Strings{"", "data", ""}));
  EXPECT_EQ(Components("/x/a.doc"), (Strings{"", "x", "a.doc"}));
  EXPECT_EQ(Components("a//b"), (Strings{"a", "", "b"}));
  EXPECT_EQ(Components("/"), (Strings{"", ""}));
  EXPECT_EQ(Components("D:\\data\\x.xls"), (Strings{"D:\\data\\x.xls"}));

  // The path may be an element of the list it fills.
  TTStringList list;
  list.AddCopy("a/b");
  SplitPathComponents(list.At(0), list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_STREQ(list.At(1).CStr(), "b");
}

TEST(PathNamesTest, JoinPathComponents) {
  TTStringList list;
  EXPECT_STREQ(JoinPathComponents(list).CStr(), "");
  list.AddCopy("");
  list.AddCopy("data");
  EXPECT_STREQ(JoinPathComponents(list).CStr(), "/data/");

  // Splitting a directory path and joining all but the trailing empty
  // component gives the path back.
  SplitPathComponents("docs/2024/", list);
  list.DeleteLast();
  EXPECT_STREQ(JoinPathComponents(list).CStr(), "docs/2024/");
}

TEST(PathNamesTest, SplitPath) {
  struct Case {
    const char *path, *directory, *name;
  } cases[] = {
      {"/a/b.doc", "/a/", "b.doc"}, {"b.doc", "", "b.doc"}, {"/a/", "/a/", ""},
      {"a/b.doc", "a/", "b.doc"},   {"/", "/", ""},         {"", "", ""},
      {"D:b.doc", "", "D:b.doc"},   // the colon is a name byte
      {"a\\b.doc", "", "a\\b.doc"}, // so is the backslash
  };
  for (const Case &c : cases) {
    TTString directory("old"), name("old");
    SplitPath(c.path, directory, name);
    EXPECT_STREQ(directory.CStr(), c.directory) << c.path;
    EXPECT_STREQ(name.CStr(), c.name) << c.path;
  }

  TTString path("dir/file.xls");
  TTString name;
  SplitPath(path, path, name); // an output may be the input
  EXPECT_STREQ(path.CStr(), "dir/");
  EXPECT_STREQ(name.CStr(), "file.xls");
}

TEST(PathNamesTest, MakeDirectoryPath) {
  struct Case {
    const char *before, *after;
  } cases[] = {
      {"a/b", "a/b/"}, {"a/b/", "a/b/"}, {"/", "/"}, {"", ""}, {"D:", "D:/"}, {"a\\", "a\\/"},
  };
  for (const Case &c : cases) {
    TTString path(c.before);
    MakeDirectoryPath(path);
    EXPECT_STREQ(path.CStr(), c.after) << c.before;
  }
}

TEST(PathNamesTest, DirectoryOf) {
  EXPECT_STREQ(DirectoryOf("/a/b.doc").CStr(), "/a/");
  EXPECT_STREQ(DirectoryOf("b.doc").CStr(), "./");
  EXPECT_STREQ(DirectoryOf("a/b.doc").CStr(), "a/");
  EXPECT_STREQ(DirectoryOf("/b.doc").CStr(), "/");
  EXPECT_STREQ(DirectoryOf("").CStr(), "./");
  EXPECT_STREQ(DirectoryOf("Reports/q1.doc").CStr(), "Reports/");
}

TEST(PathNamesTest, ContainingFolderRootedPathsAndTheCurrentDirPrefix) {
  EXPECT_STREQ(ContainingFolder("/archive/q1.doc").CStr(), "/archive");
  EXPECT_STREQ(ContainingFolder("/q1.doc").CStr(), "/");
  EXPECT_STREQ(ContainingFolder("a//q1.doc").CStr(), "a/");
  EXPECT_STREQ(ContainingFolder("q1.doc").CStr(), ".");
  EXPECT_STREQ(ContainingFolder("C:q1.doc").CStr(), "."); // the colon is a name byte
  EXPECT_TRUE(IsRootedPath("/archive"));
  EXPECT_FALSE(IsRootedPath("C:\\archive"));
  EXPECT_FALSE(IsRootedPath("archive/q1.doc"));
  EXPECT_FALSE(IsRootedPath(""));
  EXPECT_STREQ(SkipCurrentDirPrefix("././reports/q1.doc"), "reports/q1.doc");
  EXPECT_STREQ(SkipCurrentDirPrefix(".\\q1.doc"), ".\\q1.doc");
  EXPECT_STREQ(SkipCurrentDirPrefix("../q1.doc"), "../q1.doc");
}

#endif

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

//===- tests/fs/mask_set_test.cpp - The mask tree and selection -----------===//

#include "fs/mask_set.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string MasksOf(const TTMaskNode &node, TTMaskKind kind) {
  std::string out;
  for (const TTString &mask : node.Masks(kind)) {
    if (!out.empty())
      out += ' ';
    out += mask.CStr();
  }
  return out;
}

} // namespace

TEST(MaskSetTest, MaskKindOf) {
  EXPECT_EQ(MaskKindOf(true, false), TTMaskKind::IncludeLocal);
  EXPECT_EQ(MaskKindOf(false, false), TTMaskKind::ExcludeLocal);
  EXPECT_EQ(MaskKindOf(true, true), TTMaskKind::IncludeRecursive);
  EXPECT_EQ(MaskKindOf(false, true), TTMaskKind::ExcludeRecursive);
}

TEST(MaskSetTest, MasksLandAtTheirNodes) {
  TTMaskSet set;
  set.Add("*.doc", true, true);
  set.Add("docs/*.txt", true, false);
  set.Add("/data/*.xls", false, true);
  set.Add("*.doc", true, true); // added twice, stands twice

  const TTMaskNode &root = set.Root();
  EXPECT_STREQ(root.Name().CStr(), "");
  EXPECT_EQ(root.Parent(), nullptr);
  EXPECT_EQ(MasksOf(root, TTMaskKind::IncludeRecursive), "*.doc *.doc");
  ASSERT_EQ(root.ChildCount(), 2);

  const TTMaskNode &docs = root.Child(0);
  EXPECT_STREQ(docs.Name().CStr(), "docs");
  EXPECT_EQ(docs.Parent(), &root);
  EXPECT_EQ(MasksOf(docs, TTMaskKind::IncludeLocal), "*.txt");

  // An empty first component is a node of its own: the file-system root.
  const TTMaskNode &top = root.Child(1);
  EXPECT_STREQ(top.Name().CStr(), "");
  ASSERT_EQ(top.ChildCount(), 1);
  const TTMaskNode &data = top.Child(0);
  EXPECT_STREQ(data.Name().CStr(), "data");
  EXPECT_EQ(data.Parent(), &top);
  EXPECT_EQ(MasksOf(data, TTMaskKind::ExcludeRecursive), "*.xls");
  EXPECT_EQ(MasksOf(data, TTMaskKind::IncludeRecursive), "");
}

TEST(MaskSetTest, NodeNamesIgnoreAsciiCase) {
  TTMaskSet set;
  set.Add("docs/*.doc", true, false);
  set.Add("Docs/*.xls", true, false);
  ASSERT_EQ(set.Root().ChildCount(), 1);
  TTMaskNode *docs = set.Root().FindChild("DOCS");
  ASSERT_NE(docs, nullptr);
  EXPECT_STREQ(docs->Name().CStr(), "docs"); // spelled as first added
  EXPECT_EQ(MasksOf(*docs, TTMaskKind::IncludeLocal), "*.doc *.xls");
  EXPECT_EQ(set.Root().FindChild("doc"), nullptr);
  EXPECT_EQ(set.Root().FindChild("\xc3\x89"
                                 "docs"),
            nullptr);
}

TEST(MaskSetTest, DirectoryComponentsAreNamesNotPatterns) {
  TTMaskSet set;
  set.Add("d*/x.doc", true, false);
  EXPECT_NE(set.Root().FindChild("d*"), nullptr);
  EXPECT_EQ(set.Root().FindChild("docs"), nullptr);
}

TEST(MaskSetTest, EmptyMaskPathIsRefused) {
  TTMaskSet set;
  try {
    set.Add("", true, true);
    FAIL() << "no throw";
  } catch (const char *text) {
    EXPECT_EQ(text, kListIndexError);
  }
  EXPECT_EQ(set.Root().ChildCount(), 0);
  for (int kind = 0; kind < 4; ++kind)
    EXPECT_TRUE(set.Root().Masks(static_cast<TTMaskKind>(kind)).IsEmpty());
}

TEST(MaskSelectsTest, LocalExclusionOnlyAtItsNode) {
  TTMaskSet set;
  set.Add("*.doc", true, true);
  set.Add("old/*.doc", false, false);
  const TTMaskNode &old = *set.Root().FindChild("old");
  EXPECT_FALSE(MaskSelects(old, true, "a.doc"));
  EXPECT_TRUE(MaskSelects(old, false, "a.doc")); // found below old
  EXPECT_TRUE(MaskSelects(set.Root(), true, "a.doc"));
}

TEST(MaskSelectsTest, RecursiveExclusionWinsEverywhere) {
  TTMaskSet set;
  set.Add("*.tmp", false, true);
  set.Add("*", true, false);
  set.Add("a/b/*", true, false);
  set.Add("a/b/*", true, true);
  const TTMaskNode &root = set.Root();
  const TTMaskNode &b = *root.FindChild("a")->FindChild("b");
  for (const TTMaskNode *node : {&root, &b}) {
    EXPECT_FALSE(MaskSelects(*node, true, "x.tmp"));
    EXPECT_FALSE(MaskSelects(*node, false, "x.tmp"));
    EXPECT_TRUE(MaskSelects(*node, true, "x.doc"));
  }
  EXPECT_FALSE(MaskSelects(root, false, "x.doc"));
}

TEST(MaskSelectsTest, ExclusionWinsWhateverTheOrder) {
  // The exclusion sits deeper and was added first; the inclusion at the root.
  TTMaskSet set;
  set.Add("a/*.bak", false, true);
  set.Add("*", true, true);
  const TTMaskNode &a = *set.Root().FindChild("a");
  EXPECT_FALSE(MaskSelects(a, true, "x.BAK"));
  EXPECT_FALSE(MaskSelects(a, false, "x.bak"));
  EXPECT_TRUE(MaskSelects(a, true, "x.doc"));
  EXPECT_TRUE(MaskSelects(set.Root(), true, "x.bak"));
}

TEST(MaskSelectsTest, LocalIncludesNeedAtNode) {
  TTMaskSet set;
  set.Add("*.doc", true, false);
  EXPECT_TRUE(MaskSelects(set.Root(), true, "a.doc"));
  EXPECT_FALSE(MaskSelects(set.Root(), false, "a.doc"));
  EXPECT_FALSE(MaskSelects(set.Root(), true, "a.xls"));
}

TEST(MaskSelectsTest, AncestorIncludesReachDown) {
  TTMaskSet set;
  set.Add("*.xls", true, true);
  set.Add("p/q/*.doc", true, false);
  const TTMaskNode &q = *set.Root().FindChild("p")->FindChild("q");
  EXPECT_TRUE(MaskSelects(q, true, "s.xls"));
  EXPECT_TRUE(MaskSelects(q, false, "s.xls"));
  EXPECT_TRUE(MaskSelects(q, true, "s.doc"));
  EXPECT_FALSE(MaskSelects(q, false, "s.doc"));
  EXPECT_FALSE(MaskSelects(q, true, "s.txt"));
}

//===- tests/engine/compound_builder_test.cpp - The test files are valid --===//

#include "support/cfb_builder.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

// The end-to-end tests trust the builder's files; olefile, an independent
// reader, must see exactly the tree that was built.
TEST(CompoundBuilder, OlefileReadsTheTreeThatWasBuilt) {
  TempDir tree;
  tree.WriteDocument("a.doc", 3);
  std::string listing = OleListing(tree.Path("a.doc"));
  EXPECT_NE(std::string::npos, listing.find("stream 'WordDocument' 9111"));
  EXPECT_NE(std::string::npos, listing.find("stream 'ObjectPool/Data' 5000"));
  EXPECT_NE(std::string::npos, listing.find("stream 'ObjectPool/Small' 103"));
  EXPECT_NE(std::string::npos, listing.find("storage 'ObjectPool'"));
  EXPECT_NE(std::string::npos, listing.find("stream '\\x05SummaryInformation' 400"));

  CfbBuilder many;
  for (int i = 0; i < 40; ++i)
    many.AddStream("s" + std::to_string(i), PatternBytes(i * 150, i));
  many.WriteTo(tree.Path("many.xls"));
  std::string manyListing = OleListing(tree.Path("many.xls"));
  EXPECT_NE(std::string::npos, manyListing.find("stream 's39' 5850"));
  EXPECT_NE(std::string::npos, manyListing.find("stream 's0' 0"));
}

} // namespace
} // namespace velkor::test

//===- tests/cfb/robustness_test.cpp - Damaged files never crash the layer --===//
#include "cfb/compare.h"
#include "cfb/compound_file.h"

#include "support/cfb_builder.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <random>

using namespace velkor::test;

class RobustnessTest : public TempDirTest {};

// Random damage to valid files: every result is either a refusal with a
// reason or a file whose copy holds the same tree and copies to itself.
namespace {

CfbBuilder Small(int version) {
  CfbBuilder b(version);
  b.AddPatternStream(-1, u"WordDocument", 5000, 1);
  b.AddPatternStream(-1, u"Small", 300, 2);
  int storage = b.AddStorage(-1, u"Store");
  b.AddPatternStream(storage, u"Inner", 100, 3);
  b.AddStream(storage, u"Empty", {});
  return b;
}

} // namespace

TEST_F(RobustnessTest, DamagedFilesAreRefusedOrCopiedFaithfully) {
  // Version 3 with free space, version 4, a DIFAT chain, unsorted siblings.
  std::vector<BuiltFile> bases = {
      Small(3).Gaps(1, 1).Build(), Small(4).Build(), Small(3).MinFatSectors(112).Build(),
      Small(3).Shape(SiblingShape::Unsorted).Layout(Order::DataLast).Build()};
  std::mt19937 random(20261208);
  int refused = 0, copied = 0;
  for (int round = 0; round < 400; ++round) {
    BuiltFile file = bases[round % bases.size()];
    int changes = 1 + static_cast<int>(random() % 3);
    for (int k = 0; k < changes; ++k) {
      std::size_t at = random() % file.bytes.size();
      // Aim half of the changes at the header and the directory and FAT,
      // where they matter most.
      if (random() % 2)
        at = random() % 512;
      // ... or at the directory.
      else if (random() % 2)
        at = file.DirEntryOffset(0) + random() % (5 * 128);
      file.bytes[at] = static_cast<std::uint8_t>(random());
    }
    if (random() % 10 == 0)
      file.bytes.resize(random() % file.bytes.size());
    file.Save(Path("damaged.doc"));
    try {
      cfb::Source source = cfb::Source::Open(Path("damaged.doc"));
      cfb::Destination out = cfb::Destination::Create(Path("copy.doc"));
      source.CopyTo(out);
      out.Release();
      cfb::Source copy = cfb::Source::Open(Path("copy.doc"));
      ASSERT_EQ(copy.FileSize(), source.PlannedCopySize());
      auto difference = cfb::CompareTrees(source, copy);
      ASSERT_FALSE(difference) << round << ": " << difference->path << ": " << difference->detail;
      ++copied;
    } catch (const cfb::FormatError &) {
      ++refused;
    }
  }
  RecordProperty("refused", refused);
  RecordProperty("copied", copied);
  EXPECT_GT(refused, 40);
  EXPECT_GT(copied, 40);
}

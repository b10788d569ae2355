//===- tests/cfb/writer_test.cpp - Copies: fidelity, layout, least size ----===//
#include "cfb/compare.h"
#include "cfb/compound_file.h"
#include "cfb/copy.h"
#include "cfb/layout.h"
#include "cfb/reader.h"

#include "support/cfb_builder.h"
#include "support/raw_view.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace velkor::test;

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kNone = 0xFFFFFFFF;

// Non-zero class id and times on a stream too: a copy must keep them.
CfbBuilder Document(int version = 3) { return SampleDocument(version, true); }

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// The least v3 file size for a tree, found by trying FAT sizes upwards:
// written apart from the library's planner.
std::uint64_t LeastV3Size(const cfb::Tree &tree) {
  std::uint64_t mini = 0, data = 0;
  for (const cfb::Entry &e : tree.entries) {
    if (e.kind != cfb::EntryKind::Stream || e.size == 0)
      continue;
    if (e.size < 4096)
      mini += CeilDiv(e.size, 64);
    else
      data += CeilDiv(e.size, 512);
  }
  std::uint64_t base =
      CeilDiv(tree.entries.size(), 4) + CeilDiv(mini, 128) + CeilDiv(mini, 8) + data;
  for (std::uint64_t fat = 1;; ++fat) {
    std::uint64_t difat = fat > 109 ? CeilDiv(fat - 109, 127) : 0;
    if (fat * 128 >= base + fat + difat)
      return 512 * (1 + base + fat + difat);
  }
}

class WriterTest : public TempDirTest {
protected:
  // Copies `source` to `name`; returns the copy's path.
  std::string Copy(const std::string &source, const std::string &name) {
    cfb::Source in = cfb::Source::Open(source);
    cfb::Destination out = cfb::Destination::Create(Path(name));
    in.CopyTo(out);
    out.Release();
    EXPECT_EQ(std::filesystem::file_size(Path(name)), in.PlannedCopySize());
    return Path(name);
  }
  std::string Save(const BuiltFile &file, const std::string &name) {
    file.Save(Path(name));
    return Path(name);
  }
  void ExpectSameTree(const std::string &a, const std::string &b) {
    auto difference = cfb::CompareFiles(a, b);
    EXPECT_FALSE(difference) << difference->path << ": " << difference->detail;
  }
};

// Checks one storage's sibling tree in a written directory: a binary search
// tree in the format's order holding exactly `expected`, a valid red-black
// tree, and every name found by a search from the top.
void CheckSiblingTree(const RawView &view, std::uint32_t top,
                      std::vector<std::u16string> expected) {
  std::vector<std::u16string> inOrder;
  int blackHeight = -1;
  // Iterative in-order walk, tracking the black count on each path.
  struct Frame {
    std::uint32_t id;
    int blacks;
    bool parentRed;
    bool expanded;
  };
  if (top != kNone) {
    ASSERT_EQ(view.entries.at(top).color, 1) << "root of a sibling tree is red";
  }
  std::vector<Frame> stack;
  if (top != kNone)
    stack.push_back({top, 0, false, false});
  else
    blackHeight = 0;
  while (!stack.empty()) {
    Frame frame = stack.back();
    stack.pop_back();
    const RawEntry &e = view.entries.at(frame.id);
    bool red = e.color == 0;
    if (frame.expanded) {
      inOrder.push_back(e.name);
      continue;
    }
    ASSERT_FALSE(red && frame.parentRed) << "red node with a red child";
    int blacks = frame.blacks + (red ? 0 : 1);
    for (std::uint32_t link : {e.left, e.right})
      if (link == kNone) {
        if (blackHeight < 0)
          blackHeight = blacks;
        ASSERT_EQ(blackHeight, blacks) << "unequal black heights";
      }
    if (e.right != kNone)
      stack.push_back({e.right, blacks, red, false});
    stack.push_back({frame.id, blacks, red, true});
    if (e.left != kNone)
      stack.push_back({e.left, blacks, red, false});
  }
  std::sort(expected.begin(), expected.end(), NameLess);
  ASSERT_EQ(inOrder, expected) << "not in the format's order";
  for (const std::u16string &name : expected) {
    std::uint32_t at = top;
    while (at != kNone && view.entries[at].name != name)
      at = NameLess(name, view.entries[at].name) ? view.entries[at].left : view.entries[at].right;
    ASSERT_NE(at, kNone) << "binary search misses an entry";
  }
}

std::u16string SiblingName(std::uint32_t i) {
  std::string ascii = (i % 3 == 0   ? "Item"
                       : i % 3 == 1 ? "s"
                                    : "Longer_name_") +
                      std::to_string(i * 7919 % 100003);
  return std::u16string(ascii.begin(), ascii.end());
}

} // namespace

TEST_F(WriterTest, CopyKeepsTheTreeAndDropsFreeSpace) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    std::string source = Save(Document(version).Gaps(3, 2).Build(), "gappy.doc");
    auto before = ReadFileBytes(source);
    std::string copy = Copy(source, "copy.doc");
    EXPECT_EQ(ReadFileBytes(source), before) << "the source was changed";
    ExpectSameTree(source, copy);
    EXPECT_LT(std::filesystem::file_size(copy), before.size());

    RawView view(ReadFileBytes(copy));
    EXPECT_EQ(view.U16(0x1A), 3) << "copies are version 3";
    EXPECT_EQ(view.sectorSize, 512u);
    EXPECT_EQ(view.U32(0x28), 0u) << "v3 directory sector count";
    // No free sector inside: every sector the file holds is in use.
    std::uint64_t sectors = view.bytes.size() / 512 - 1;
    for (std::uint64_t s = 0; s < sectors; ++s)
      ASSERT_NE(view.fat.at(s), kFree) << "free sector " << s;
    for (std::uint64_t s = sectors; s < view.fat.size(); ++s)
      ASSERT_EQ(view.fat[s], kFree);
    cfb::Source opened = cfb::Source::Open(copy);
    EXPECT_EQ(view.bytes.size(), LeastV3Size(opened.GetTree()));
  }
}

TEST_F(WriterTest, EntriesAreWrittenByTheFormatsRules) {
  std::string copy = Copy(Save(Document().Build(), "doc.doc"), "copy.doc");
  RawView view(ReadFileBytes(copy));
  ASSERT_GE(view.entries.size(), 10u);
  EXPECT_EQ(view.entries[0].name, u"Root Entry");
  EXPECT_EQ(view.entries[0].type, 5);
  for (const RawEntry &e : view.entries) {
    if (e.type == 1) {
      EXPECT_EQ(e.start, 0u);
      EXPECT_EQ(e.size, 0u);
    }
    if (e.type == 2 && e.size == 0) {
      EXPECT_EQ(e.start, kEnd);
    }
    if (e.type == 0) {
      EXPECT_EQ(e.left, kNone);
      EXPECT_EQ(e.child, kNone);
    }
  }
  // Padding of the last directory sector and the ends of streams is zero.
  std::uint64_t unused = view.Offset(view.Chain(view.U32(0x30)).back()) + 128 * 2 + 0x50;
  EXPECT_EQ(view.bytes[unused], 0);
  // Each name field is zero after its name, also where a longer name precedes it.
  for (std::uint32_t id = 0; id < view.entries.size(); ++id)
    for (std::size_t k = 2 * view.entries[id].name.size(); k < 64; ++k)
      ASSERT_EQ(view.bytes[view.DirEntryOffset(id) + k], 0) << "entry " << id << ", byte " << k;
}

TEST_F(WriterTest, MiniStreamCutoffBoundaries) {
  for (std::uint32_t size : {4095u, 4096u, 4097u}) {
    SCOPED_TRACE(size);
    CfbBuilder b;
    b.AddPatternStream(-1, u"S", size, size);
    std::string copy = Copy(Save(b.Build(), "s.doc"), "copy.doc");
    RawView view(ReadFileBytes(copy));
    const RawEntry &root = view.entries[0];
    const RawEntry &stream = view.entries[1];
    EXPECT_EQ(stream.size, size);
    if (size < 4096) {
      EXPECT_EQ(root.size, 4096u) << "the mini stream holds the stream";
      EXPECT_EQ(view.miniFat.at(stream.start + 63), kEnd);
    } else {
      EXPECT_EQ(root.start, kEnd) << "no mini stream";
      EXPECT_EQ(root.size, 0u);
      EXPECT_EQ(view.U32(0x3C), kEnd) << "no mini FAT";
      EXPECT_EQ(view.Chain(stream.start).size(), CeilDiv(size, 512));
    }
    ExpectSameTree(Path("s.doc"), copy);
  }
}

namespace {

// Checks a planned sibling tree: in-order 0..count-1, black root, no red
// node with a red child, equal black height. Plain code rather than gtest
// macros in the loop: 12.5 million nodes are visited in all.
std::string SiblingTreeFault(std::uint32_t count) {
  std::int32_t root = -1;
  std::vector<cfb::SiblingNode> nodes = cfb::BuildSiblingTree(count, root);
  if (root < 0 || nodes[root].red)
    return "no black root";
  std::vector<int> blacksAt(count, 0);
  blacksAt[root] = 1;
  std::vector<std::int32_t> stack;
  std::int32_t at = root;
  std::uint32_t expectedNext = 0;
  int blackHeight = -1;
  while (at >= 0 || !stack.empty()) {
    while (at >= 0) {
      const cfb::SiblingNode &n = nodes[at];
      for (std::int32_t link : {n.left, n.right}) {
        if (link < 0) {
          if (blackHeight < 0)
            blackHeight = blacksAt[at];
          if (blackHeight != blacksAt[at])
            return "unequal black heights";
        } else {
          if (n.red && nodes[link].red)
            return "red node with a red child";
          blacksAt[link] = blacksAt[at] + (nodes[link].red ? 0 : 1);
        }
      }
      stack.push_back(at);
      at = n.left;
    }
    at = stack.back();
    stack.pop_back();
    if (static_cast<std::uint32_t>(at) != expectedNext++)
      return "not in order";
    at = nodes[at].right;
  }
  return expectedNext == count ? "" : "nodes missing";
}

} // namespace

TEST_F(WriterTest, RedBlackSiblingTreesFrom1To5000) {
  for (std::uint32_t count = 1; count <= 5000; ++count) {
    std::string fault = SiblingTreeFault(count);
    ASSERT_EQ(fault, "") << count << " siblings";
  }
}

TEST_F(WriterTest, WrittenSiblingTreesAreSearchable) {
  for (std::uint32_t count : {1u, 2u, 3u, 4u, 7u, 8u, 9u, 100u, 1000u, 5000u}) {
    SCOPED_TRACE(count);
    CfbBuilder b;
    b.Shape(SiblingShape::Unsorted);
    std::vector<std::u16string> names;
    int storage = b.AddStorage(-1, u"Nested");
    for (std::uint32_t i = 0; i < count; ++i) {
      names.push_back(SiblingName(i));
      b.AddStream(storage, names.back(), {static_cast<std::uint8_t>(i)});
    }
    std::string copy = Copy(Save(b.Build(), "many.doc"), "copy.doc");
    RawView view(ReadFileBytes(copy));
    CheckSiblingTree(view, view.entries[0].child, {u"Nested"});
    CheckSiblingTree(view, view.entries[view.entries[0].child].child, names);
    ExpectSameTree(Path("many.doc"), copy);
  }
}

TEST_F(WriterTest, ALargeMiniStreamIsCopiedStreamByStream) {
  // More than 16 MiB of small streams: too much to read into memory at once.
  CfbBuilder b;
  b.Shape(SiblingShape::Unsorted);
  for (std::uint32_t i = 0; i < 4200; ++i)
    b.AddPatternStream(-1, SiblingName(i), 4000 + i % 95, i);
  std::string copy = Copy(Save(b.Gaps(0, 1).Build(), "many.doc"), "copy.doc");
  ExpectSameTree(Path("many.doc"), copy);
}

TEST_F(WriterTest, ReadsGatheredAcrossNeighbouringStreamsKeepEveryByte) {
  // Streams of a few kilobytes are read together when they follow one
  // another in the source. Cases: streams in the copy's order (gathered),
  // in reverse order (each read alone, and for small streams the switch to
  // reading the mini stream whole part-way), streams of 64 KiB and more
  // among them (read on their own), gaps of free space that are joined
  // (one sector) or too wide to join (40 sectors, 300 mini sectors), and a
  // file that ends right after the last stream's last byte, inside its
  // last sector.
  for (std::uint32_t gap : {1u, 40u}) {
    SCOPED_TRACE("gap sectors " + std::to_string(gap));
    CfbBuilder b;
    b.Layout(Order::DataLast);
    int ascending = b.AddStorage(-1, u"Ascending");
    for (std::uint32_t i = 0; i < 150; ++i) {
      std::string name = "S" + std::to_string(1000 + i);
      std::size_t size = i % 25 == 7 ? 70000 + i : 100 + (i * 7919) % 8000;
      b.AddPatternStream(ascending, std::u16string(name.begin(), name.end()), size, i);
    }
    int reversed = b.AddStorage(-1, u"Reversed");
    for (std::uint32_t i = 0; i < 100; ++i) {
      std::string name = "R" + std::to_string(1999 - i);
      b.AddPatternStream(reversed, std::u16string(name.begin(), name.end()), 100 + (i * 331) % 5000,
                         500 + i);
    }
    // Inserted last, so it lies last in the file; 5000 bytes leave 392 in its last sector.
    int last = b.AddPatternStream(-1, u"Zlast", 5000, 999);
    BuiltFile file = b.Gaps(gap, gap == 1 ? 1 : 300).Build();
    std::string whole = Save(file, "whole.doc");
    BuiltFile cut = file;
    cut.bytes.resize(cut.SectorOffset(cut.chain[last].back()) + 5000 % 512);
    std::string copy = Copy(Save(cut, "cut.doc"), "copy.doc");
    ExpectSameTree(whole, copy);
    EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(Copy(whole, "copy2.doc")));
  }
}

TEST_F(WriterTest, CopiesAreDeterministic) {
  std::string first = Copy(Save(Document().Gaps(2, 1).Build(), "a.doc"), "copy1.doc");
  std::string second = Copy(Path("a.doc"), "copy2.doc");
  std::string ofCopy = Copy(first, "copy3.doc");
  EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(second));
  EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(ofCopy)) << "a copy of a copy differs";
  // The same tree laid out differently copies to the same bytes.
  std::string other =
      Copy(Save(Document().Shape(SiblingShape::Unsorted).Layout(Order::DataLast).Build(), "b.doc"),
           "copy4.doc");
  EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(other));
}

TEST_F(WriterTest, FatAndDifatSizesAtTheirBoundaries) {
  // One stream of (sectors - 1) * 512 bytes plus one directory sector gives
  // `sectors` sectors besides FAT and DIFAT; these cross 109 and 236 FAT sectors.
  struct Case {
    std::uint64_t sectors;
    std::uint32_t fat, difat;
  };
  for (Case c :
       {Case{13843, 109, 0}, Case{13844, 110, 1}, Case{29971, 236, 1}, Case{29972, 237, 2}}) {
    SCOPED_TRACE(c.sectors);
    CfbBuilder b;
    b.AddPatternStream(-1, u"Big", (c.sectors - 1) * 512, 3);
    std::string copy = Copy(Save(b.Build(), "big.doc"), "copy.doc");
    RawView view(ReadFileBytes(copy));
    EXPECT_EQ(view.U32(0x2C), c.fat);
    EXPECT_EQ(view.U32(0x48), c.difat);
    EXPECT_EQ(view.bytes.size(), 512 * (1 + c.sectors + c.fat + c.difat));
    EXPECT_EQ(view.fatSectors.size(), c.fat);
    ExpectSameTree(Path("big.doc"), copy);
    std::filesystem::remove(Path("big.doc"));
  }
}

TEST_F(WriterTest, Version4IsChosenOnlyForLargeFiles) {
  cfb::Tree tree = cfb::EmptyTree();
  cfb::Entry stream;
  stream.kind = cfb::EntryKind::Stream;
  stream.name = u"Huge";
  stream.parent = 0;
  stream.size = 0x7FFFFFFFull;
  tree.entries.push_back(stream);
  tree.entries[0].children.push_back(1);
  cfb::Layout big = cfb::PlanLayout(tree);
  EXPECT_EQ(big.majorVersion, 4);
  EXPECT_EQ(big.SectorSize(), 4096u);
  // Past 2 GB a version 4 file keeps its range lock sector (file offsets
  // 0x7FFFF000-0x7FFFFFFF) out of every chain: one more sector in all.
  EXPECT_EQ(big.rangeLockSector, 0x7FFFF000u / 4096 - 1);
  std::uint64_t data = CeilDiv(0x7FFFFFFFull, 4096);
  // + directory + range lock; 513 FAT sectors need one DIFAT sector.
  std::uint64_t fat = 513, difat = 1;
  ASSERT_GE(fat * 1024, data + 1 + 1 + fat + difat);
  ASSERT_LT((fat - 1) * 1024, data + 1 + 1 + fat - 1 + difat);
  EXPECT_EQ(big.FileSize(), 4096 * (1 + data + 1 + 1 + fat + difat));
  tree.entries[1].size = 0x7E000000ull; // with its FAT still below 2 GiB
  EXPECT_EQ(cfb::PlanLayout(tree).majorVersion, 3);
}

TEST_F(WriterTest, Version4CopiesAreWrittenAndRead) {
  std::string source = Save(Document().Gaps(1, 1).Build(), "doc.doc");
  auto reader = cfb::Reader::Open(source);
  cfb::Layout layout = cfb::PlanLayout(reader->GetTree(), 4);
  ASSERT_EQ(layout.majorVersion, 4);
  auto writer = cfb::Writer::Create(Path("v4.doc"));
  cfb::WriteCompoundFile(reader->GetTree(), layout, reader.get(), *writer);
  writer->Close();
  EXPECT_EQ(std::filesystem::file_size(Path("v4.doc")), layout.FileSize());
  RawView view(ReadFileBytes(Path("v4.doc")));
  EXPECT_EQ(view.U32(0x28), layout.dirSectors) << "v4 directory sector count";
  cfb::Source copy = cfb::Source::Open(Path("v4.doc"));
  EXPECT_EQ(copy.MajorVersion(), 4u);
  ExpectSameTree(source, Path("v4.doc"));
}

TEST_F(WriterTest, TheRangeLockSectorIsSkipped) {
  // The range lock moved into the first regular stream of a small version 4
  // copy: logical sectors are FAT 0, directory 1, mini FAT 2, mini stream 3,
  // WordDocument 4-6, Contents 7-8; the lock takes sector 5.
  std::string source = Save(Document().Build(), "doc.doc");
  auto reader = cfb::Reader::Open(source);
  cfb::Layout layout = cfb::PlanLayout(reader->GetTree(), 4, 6 * 4096 + 0xF00);
  ASSERT_EQ(layout.rangeLockSector, 5u);
  auto writer = cfb::Writer::Create(Path("v4.doc"));
  cfb::WriteCompoundFile(reader->GetTree(), layout, reader.get(), *writer);
  writer->Close();
  RawView view(ReadFileBytes(Path("v4.doc")));
  EXPECT_EQ(view.bytes.size(), 11u * 4096);
  EXPECT_EQ(view.fat.at(5), kEnd);
  EXPECT_EQ(view.fat.at(4), 6u) << "the chain jumps over the range lock sector";
  for (std::uint32_t s = 0; s < 10; ++s)
    EXPECT_NE(view.fat[s], 5u);
  ExpectSameTree(source, Path("v4.doc"));
}

// Mounts, the kernel's copy between files and file size limits are Linux's.
#ifndef _WIN32
TEST_F(WriterTest, LongStreamsCopyAlikeWithinAndAcrossFileSystems) {
  // Long runs are copied by the kernel from file to file within a tmpfs;
  // onto another file system the kernel refuses (and on ext4 it is not
  // asked), and reads and writes do the copy. Both copies must be the same
  // bytes: in version 3, and in version 4 with the range lock sector moved
  // into a long stream, where the kernel copy stops at the sector and goes
  // on after it.
  std::string other = Path("other");
  std::filesystem::create_directory(other);
  if (::mount("tmpfs", other.c_str(), "tmpfs", 0, "size=8m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  CfbBuilder b = Document();
  b.AddPatternStream(-1, u"Long", 700 * 1024, 7);
  b.AddPatternStream(-1, u"Longer", 1300 * 1024 + 3, 8);
  std::string source = other + "/long.doc";
  b.Gaps(3, 1).Build().Save(source);
  auto reader = cfb::Reader::Open(source);
  const cfb::Tree &tree = reader->GetTree();
  std::uint32_t longIndex = 0;
  while (tree.entries.at(longIndex).name != u"Long")
    ++longIndex;
  std::uint32_t longStart = cfb::PlanLayout(tree, 4).startSector[longIndex];
  std::vector<cfb::Layout> layouts{
      cfb::PlanLayout(tree), cfb::PlanLayout(tree, 4, (longStart + 40 + 1) * 4096ull + 0xF00)};
  ASSERT_EQ(layouts[1].rangeLockSector, longStart + 40);
  for (const cfb::Layout &layout : layouts) {
    SCOPED_TRACE("version " + std::to_string(layout.majorVersion));
    std::vector<std::vector<std::uint8_t>> copies;
    for (const std::string &target : {other + "/same.doc", Path("elsewhere.doc")}) {
      auto writer = cfb::Writer::Create(target);
      cfb::WriteCompoundFile(tree, layout, reader.get(), *writer);
      writer->Close();
      ExpectSameTree(source, target);
      copies.push_back(ReadFileBytes(target));
      std::filesystem::remove(target);
    }
    EXPECT_EQ(copies[0].size(), layout.FileSize());
    EXPECT_TRUE(copies[0] == copies[1]) << "the kernel's copy and the read-and-write copy differ";
  }
  reader->Close();
  ::umount(other.c_str());
}

#endif

TEST_F(WriterTest, AnEmptyDestinationBecomesAnEmptyCompoundFile) {
  { std::ofstream(Path("x.tmp")) << "previous content that must go"; }
  cfb::Destination out = cfb::Destination::Create(Path("x.tmp"));
  out.Release();
  cfb::Source in = cfb::Source::Open(Path("x.tmp"));
  EXPECT_EQ(in.GetTree().entries.size(), 1u);
  EXPECT_EQ(in.FileSize(), 3u * 512);
}

TEST_F(WriterTest, CreateReplacesTheFileAndTakesOneCopy) {
  std::string source = Save(Document().Build(), "doc.doc");
  { std::ofstream(Path("x.tmp")) << std::string(100000, 'z'); }
  cfb::Source in = cfb::Source::Open(source);
  cfb::Destination out = cfb::Destination::Create(Path("x.tmp"));
  in.CopyTo(out);
  EXPECT_THROW(in.CopyTo(out), std::logic_error);
  out.Release();
  EXPECT_EQ(std::filesystem::file_size(Path("x.tmp")), in.PlannedCopySize());
  ExpectSameTree(source, Path("x.tmp"));
}

#ifndef _WIN32
TEST_F(WriterTest, AFullDiskIsAnIoErrorWithItsErrno) {
  std::string mountPoint = Path("small");
  std::filesystem::create_directory(mountPoint);
  if (!MountTmpfs(mountPoint, 16))
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  std::string source = Save(Document().Build(), "doc.doc");
  {
    cfb::Source in = cfb::Source::Open(source);
    cfb::Destination out = cfb::Destination::Create(mountPoint + "/x.tmp");
    CfbBuilder big;
    big.AddPatternStream(-1, u"Big", 64 * 1024, 1);
    cfb::Source bigSource = cfb::Source::Open(Save(big.Build(), "big.doc"));
    try {
      bigSource.CopyTo(out);
      out.Release();
      ADD_FAILURE() << "a copy larger than the disk succeeded";
    } catch (const cfb::IoError &error) {
      EXPECT_EQ(error.GetErrorNumber(), ENOSPC) << error.what();
      EXPECT_THROW(out.Release(), std::logic_error) << "an incomplete copy released as complete";
    }
  }
  ::umount(mountPoint.c_str());
}

TEST_F(WriterTest, AFileSizeLimitIsAnIoError) {
  std::string source = Save(Document().Build(), "doc.doc");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {
      4096, 4096
    };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      cfb::Source in = cfb::Source::Open(source);
      cfb::Destination out = cfb::Destination::Create(Path("limited.tmp"));
      in.CopyTo(out);
      ::_exit(1);
    } catch (const cfb::IoError &error) {
      ::_exit(error.GetErrorNumber() == EFBIG ? 0 : 2);
    } catch (...) {
      ::_exit(3);
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: succeeded, 2: other errno, 3: other error";
}
#endif

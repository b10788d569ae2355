//===- tests/cfb/reader_test.cpp - Opening, validation, tolerances, locks --===//
#include "cfb/compare.h"
#include "cfb/compound_file.h"

#include "support/cfb_builder.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace velkor::test;

namespace {

CfbBuilder Document(int version = 3) { return SampleDocument(version); }

class ReaderTest : public TempDirTest {
protected:
  std::string Save(const BuiltFile &file, const std::string &name = "doc.doc") {
    std::string path = Path(name);
    file.Save(path);
    return path;
  }
  // Expects Open to refuse the file with this reason.
  void ExpectRefused(const BuiltFile &file, cfb::Reason reason) {
    std::string path = Save(file, "bad.doc");
    try {
      cfb::Source::Open(path);
      ADD_FAILURE() << "opened, expected " << cfb::ReasonName(reason);
    } catch (const cfb::FormatError &error) {
      EXPECT_EQ(error.GetReason(), reason)
          << "got " << cfb::ReasonName(error.GetReason()) << ": " << error.what();
    }
  }
  // Opens, copies, and checks the copy holds the same tree and re-opens.
  void ExpectAcceptedAndCopied(const BuiltFile &file) {
    std::string path = Save(file, "quirky.doc");
    cfb::Source source = cfb::Source::Open(path);
    cfb::Destination copy = cfb::Destination::Create(Path("copy.doc"));
    source.CopyTo(copy);
    copy.Release();
    auto difference = cfb::CompareTrees(source, cfb::Source::Open(Path("copy.doc")));
    EXPECT_FALSE(difference) << difference->path << ": " << difference->detail;
  }
  std::uint32_t IdOf(const BuiltFile &file, int item) { return file.directoryId[item]; }
};

const cfb::Entry *Find(const cfb::Tree &tree, const std::string &path) {
  for (std::uint32_t i = 0; i < tree.entries.size(); ++i)
    if (tree.PathOf(i) == path)
      return &tree.entries[i];
  return nullptr;
}

} // namespace

TEST_F(ReaderTest, ReadsVersion3And4Trees) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    BuiltFile file = Document(version).Gaps(2, 3).Build();
    cfb::Source source = cfb::Source::Open(Save(file));
    EXPECT_EQ(source.MajorVersion(), static_cast<unsigned>(version));
    const cfb::Tree &tree = source.GetTree();
    ASSERT_EQ(tree.entries.size(), 10u);
    EXPECT_EQ(tree.entries[0].kind, cfb::EntryKind::Root);
    EXPECT_EQ(tree.entries[0].stateBits, 3u);
    // Children come in the format's order: shorter names first.
    std::vector<std::string> rootChildren;
    for (auto child : tree.entries[0].children)
      rootChildren.push_back(tree.entries[child].displayName);
    EXPECT_EQ(rootChildren, (std::vector<std::string>{"1Table", "ObjectPool", "WordDocument",
                                                      "\x05SummaryInformation"}));
    const cfb::Entry *contents = Find(tree, "/ObjectPool/_1234/Contents");
    ASSERT_NE(contents, nullptr);
    EXPECT_EQ(contents->size, 5000u);
    const cfb::Entry *pool = Find(tree, "/ObjectPool");
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->kind, cfb::EntryKind::Storage);
    EXPECT_EQ(pool->creationTime, 0x01D0000000000003ull);
    EXPECT_EQ(cfb::FormatClassId(pool->classId).size(), 38u);
    ASSERT_NE(Find(tree, "/ObjectPool/EmptyStorage"), nullptr);

    // Stream bytes, read in odd-sized pieces, equal what the builder put in.
    std::uint32_t index = static_cast<std::uint32_t>(contents - tree.entries.data());
    std::vector<std::byte> all;
    std::vector<std::byte> piece(333);
    for (std::uint64_t offset = 0;;) {
      std::size_t got = source.ReadStream(index, offset, piece);
      if (got == 0)
        break;
      all.insert(all.end(), piece.begin(), piece.begin() + got);
      offset += got;
    }
    std::vector<std::uint8_t> expected = Pattern(5000, 5);
    ASSERT_EQ(all.size(), expected.size());
    EXPECT_EQ(0, std::memcmp(all.data(), expected.data(), expected.size()));
    EXPECT_THROW(source.ReadStream(0, 0, piece), std::out_of_range);
  }
}

TEST_F(ReaderTest, CorruptionsAreRefusedWithTheirReason) {
  BuiltFile base = Document().Gaps(1, 1).Build();
  const int wordDocument = 0, table = 1, summary = 2, pool = 3, inner = 4, ole = 5, contents = 6;
  (void)inner;
  struct Case {
    const char *name;
    cfb::Reason reason;
    std::function<void(BuiltFile &)> change;
  };
  std::vector<Case> cases = {
      {"signature", cfb::Reason::BadSignature, [](BuiltFile &f) { f.bytes[0] ^= 1; }},
      {"byte order", cfb::Reason::BadByteOrder, [](BuiltFile &f) { f.Set16(0x1C, 0xFEFF); }},
      {"major version 5", cfb::Reason::UnsupportedVersion, [](BuiltFile &f) { f.Set16(0x1A, 5); }},
      {"v3 with sector shift 12", cfb::Reason::BadSectorShift,
       [](BuiltFile &f) { f.bytes[30] = 12; }},
      {"mini sector shift 7", cfb::Reason::BadMiniSectorShift,
       [](BuiltFile &f) { f.Set16(0x20, 7); }},
      {"mini cutoff 2048", cfb::Reason::BadMiniStreamCutoff,
       [](BuiltFile &f) { f.Set32(0x38, 2048); }},
      {"file shorter than a header", cfb::Reason::FileTooSmall,
       [](BuiltFile &f) { f.bytes.resize(300); }},
      {"FAT count of millions", cfb::Reason::CountOutOfRange,
       [](BuiltFile &f) { f.Set32(0x2C, 50000000); }},
      {"DIFAT count of millions", cfb::Reason::CountOutOfRange,
       [](BuiltFile &f) { f.Set32(0x48, 50000000); }},
      {"first directory sector beyond the file", cfb::Reason::SectorOutOfRange,
       [](BuiltFile &f) { f.Set32(0x30, 100000); }},
      {"header DIFAT entry beyond the file", cfb::Reason::SectorOutOfRange,
       [](BuiltFile &f) { f.Set32(0x4C, 100000); }},
      {"stream chain link to FREESECT", cfb::Reason::SectorOutOfRange,
       [&](BuiltFile &f) { f.Set32(f.FatEntryOffset(f.chain[wordDocument][5]), 0xFFFFFFFF); }},
      {"stream chain loops", cfb::Reason::ChainLoop,
       [&](BuiltFile &f) {
         f.Set32(f.FatEntryOffset(f.chain[wordDocument][3]), f.chain[wordDocument][1]);
       }},
      {"directory chain loops", cfb::Reason::ChainLoop,
       [&](BuiltFile &f) { f.Set32(f.FatEntryOffset(f.dirSectors.back()), f.dirSectors[0]); }},
      {"mini FAT chain loops", cfb::Reason::ChainLoop,
       [&](BuiltFile &f) { f.Set32(f.MiniFatEntryOffset(f.chain[table][2]), f.chain[table][0]); }},
      {"two streams share sectors", cfb::Reason::CrossLinkedChain,
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[contents]) + 0x74, f.chain[wordDocument][0]);
       }},
      {"two small streams share mini sectors", cfb::Reason::CrossLinkedChain,
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[summary]) + 0x74, f.chain[table][0]);
       }},
      {"stream runs into the FAT", cfb::Reason::CrossLinkedChain,
       [&](BuiltFile &f) {
         f.Set32(f.FatEntryOffset(f.chain[wordDocument].end()[-2]), f.fatSectors[0]);
       }},
      {"stream chain points outside the file before its end", cfb::Reason::SectorOutOfRange,
       [&](BuiltFile &f) {
         f.Set32(f.FatEntryOffset(f.chain[wordDocument].end()[-2]), 0x00FFFFFF);
       }},
      {"small stream runs into the next one's sectors", cfb::Reason::CrossLinkedChain,
       [&](BuiltFile &f) {
         f.Set32(f.MiniFatEntryOffset(f.chain[table].end()[-2]), f.chain[summary][0]);
       }},
      {"mini stream chain loops before its end", cfb::Reason::ChainLoop,
       [&](BuiltFile &f) {
         f.Set32(f.FatEntryOffset(f.miniStreamSectors.end()[-2]), f.miniStreamSectors[0]);
       }},
      {"FAT sector listed twice", cfb::Reason::CrossLinkedChain,
       [&](BuiltFile &f) {
         f.Set32(0x2C, 2);
         f.Set32(0x50, f.fatSectors[0]);
       }},
      {"stream longer than its chain", cfb::Reason::ShortChain,
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[wordDocument]) + 0x78, 9000 + 2 * 512);
       }},
      {"small stream longer than its chain", cfb::Reason::ShortChain,
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(f.directoryId[ole]) + 0x78, 200); }},
      {"mini stream longer than the root's chain", cfb::Reason::ShortChain,
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(0) + 0x78, 64 * 1000); }},
      {"no directory", cfb::Reason::ShortChain, [](BuiltFile &f) { f.Set32(0x30, 0xFFFFFFFE); }},
      {"root entry of type storage", cfb::Reason::BadRootEntry,
       [](BuiltFile &f) { f.bytes[f.DirEntryOffset(0) + 0x42] = 1; }},
      {"child id beyond the directory", cfb::Reason::EntryOutOfRange,
       [](BuiltFile &f) { f.Set32(f.DirEntryOffset(0) + 0x4C, 5000); }},
      {"entry of type 3", cfb::Reason::UnknownEntryType,
       [&](BuiltFile &f) { f.bytes[f.DirEntryOffset(f.directoryId[summary]) + 0x42] = 3; }},
      {"unused entry reachable", cfb::Reason::UnknownEntryType,
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(f.directoryId[ole]) + 0x44, 11); }},
      {"second root entry", cfb::Reason::UnknownEntryType,
       [&](BuiltFile &f) { f.bytes[f.DirEntryOffset(f.directoryId[table]) + 0x42] = 5; }},
      {"name length 66", cfb::Reason::BadNameLength,
       [&](BuiltFile &f) { f.Set16(f.DirEntryOffset(f.directoryId[table]) + 0x40, 66); }},
      {"odd name length", cfb::Reason::BadNameLength,
       [&](BuiltFile &f) { f.Set16(f.DirEntryOffset(f.directoryId[table]) + 0x40, 7); }},
      {"name length 0", cfb::Reason::BadNameLength,
       [&](BuiltFile &f) { f.Set16(f.DirEntryOffset(f.directoryId[table]) + 0x40, 0); }},
      {"storage child points back to the root's children", cfb::Reason::DirectoryLoop,
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[pool]) + 0x4C, f.Get32(f.DirEntryOffset(0) + 0x4C));
       }},
      {"entry is its own sibling", cfb::Reason::DirectoryLoop,
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[ole]) + 0x48, f.directoryId[ole]);
       }},
      {"root entry reached again", cfb::Reason::DirectoryLoop,
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(f.directoryId[ole]) + 0x48, 0); }},
      {"siblings equal without case", cfb::Reason::DuplicateName,
       [&](BuiltFile &f) {
         std::uint64_t at = f.DirEntryOffset(f.directoryId[pool]);
         f.Set16(at + 0x40, 14);
         for (int k = 0; k < 6; ++k)
           f.Set16(at + 2 * k, u"1TABLE"[k]);
       }},
      {"small stream beyond the mini stream", cfb::Reason::MiniStreamOutsideRoot,
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(0) + 0x78, 64); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    BuiltFile file = base;
    c.change(file);
    ExpectRefused(file, c.reason);
  }
}

TEST_F(ReaderTest, DifatFaultsAreRefused) {
  // 300 FAT sectors need the 109 header entries and two DIFAT sectors.
  BuiltFile base = Document().MinFatSectors(300).Build();
  ASSERT_EQ(base.difatSectors.size(), 2u);
  {
    BuiltFile file = base;
    file.Set32(file.SectorOffset(file.difatSectors[0]) + 508, file.difatSectors[0]);
    ExpectRefused(file, cfb::Reason::ChainLoop);
  }
  {
    BuiltFile file = base;
    file.Set32(file.SectorOffset(file.difatSectors[0]) + 508, 0xFFFFFFFE);
    ExpectRefused(file, cfb::Reason::ShortChain);
  }
  {
    BuiltFile file = base;
    file.Set32(0x44, 1u << 30);
    ExpectRefused(file, cfb::Reason::SectorOutOfRange);
  }
}

TEST_F(ReaderTest, ATruncatedStreamIsRefused) {
  CfbBuilder b;
  b.Layout(Order::DataLast);
  b.AddPatternStream(-1, u"Big", 10000, 7);
  BuiltFile file = b.Build();
  BuiltFile cut = file;
  cut.bytes.resize(cut.bytes.size() - 300); // the last sector needs 272 of its bytes
  ExpectRefused(cut, cfb::Reason::TruncatedFile);
  // With whole sectors gone, the chain points outside the file.
  cut.bytes.resize(file.bytes.size() - 1024);
  ExpectRefused(cut, cfb::Reason::SectorOutOfRange);
  // A directory sector cut off by the end of the file.
  cut = file;
  cut.bytes.resize(cut.SectorOffset(cut.dirSectors[0]) + 100);
  ExpectRefused(cut, cfb::Reason::TruncatedFile);
}

TEST_F(ReaderTest, RealWorldQuirksAreAccepted) {
  const int wordDocument = 0, summary = 2, pool = 3, empty = 7;
  struct Case {
    const char *name;
    std::function<void(BuiltFile &)> change;
  };
  std::vector<Case> cases = {
      {"v3 size with 0xFFFFFFFF in the high half",
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[wordDocument]) + 0x7C, 0xFFFFFFFF);
       }},
      {"v3 size with 1 in the high half",
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(f.directoryId[summary]) + 0x7C, 1); }},
      {"empty stream starting at sector 0",
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(f.directoryId[empty]) + 0x74, 0); }},
      {"storage with stray start and size",
       [&](BuiltFile &f) {
         f.Set32(f.DirEntryOffset(f.directoryId[pool]) + 0x74, f.chain[wordDocument][0]);
         f.Set64(f.DirEntryOffset(f.directoryId[pool]) + 0x78, 123456);
       }},
      {"root not named Root Entry", [](BuiltFile &f) { f.Set16(f.DirEntryOffset(0) + 0, 'X'); }},
      {"stream with a stray child link",
       [&](BuiltFile &f) { f.Set32(f.DirEntryOffset(f.directoryId[summary]) + 0x4C, 30); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    BuiltFile file = Document().Gaps(1, 2).Build();
    c.change(file);
    ExpectAcceptedAndCopied(file);
  }
  for (SiblingShape shape : {SiblingShape::RightChain, SiblingShape::Unsorted}) {
    SCOPED_TRACE(static_cast<int>(shape));
    ExpectAcceptedAndCopied(Document().Shape(shape).Build());
  }
  // A DIFAT padded with FREESECT whose last link is FREESECT too.
  BuiltFile difat = Document().MinFatSectors(120).Build();
  difat.Set32(difat.SectorOffset(difat.difatSectors.back()) + 508, 0xFFFFFFFF);
  ExpectAcceptedAndCopied(difat);
  // A mini FAT longer than the mini stream.
  ExpectAcceptedAndCopied(Document().ExtraMiniFatSectors(3).Build());
  // A root with another name keeps the tree; the copy names it "Root Entry".
  ExpectAcceptedAndCopied(Document().RootName(u"R").Build());

  // Chains that go on past what their sizes need hold the same tree as the
  // document without the quirk, and copy to the same bytes: clean chains.
  BuiltFile clean = Document().Gaps(1, 2).Build();
  ExpectAcceptedAndCopied(clean);
  const std::vector<std::uint8_t> cleanCopy = ReadFileBytes(Path("copy.doc"));
  for (const QuirkyFile &quirky : ChainTailQuirks()) {
    SCOPED_TRACE(quirky.name);
    ExpectAcceptedAndCopied(quirky.file);
    EXPECT_TRUE(ReadFileBytes(Path("copy.doc")) == cleanCopy);
  }
}

TEST_F(ReaderTest, StraySizeBitsAreIgnoredOnlyInVersion3) {
  BuiltFile file = Document(3).Build();
  file.Set32(file.DirEntryOffset(file.directoryId[0]) + 0x7C, 0xFFFFFFFF);
  cfb::Source source = cfb::Source::Open(Save(file));
  EXPECT_EQ(Find(source.GetTree(), "/WordDocument")->size, 9000u);

  BuiltFile v4 = Document(4).Build();
  v4.Set32(v4.DirEntryOffset(v4.directoryId[0]) + 0x7C, 1);
  ExpectRefused(v4, cfb::Reason::ShortChain);
}

TEST_F(ReaderTest, FinalSectorCutShortIsAcceptedWhenNotNeeded) {
  CfbBuilder b;
  b.Layout(Order::DataLast);
  b.AddPatternStream(-1, u"Tail", 4100, 9); // 4 bytes into its last sector
  BuiltFile file = b.Build();
  file.bytes.resize(file.bytes.size() - 508);
  ExpectAcceptedAndCopied(file);
  file.bytes.resize(file.bytes.size() - 1);
  ExpectRefused(file, cfb::Reason::TruncatedFile);
}

TEST_F(ReaderTest, FatSectorCountsAroundTheDifatBoundaries) {
  // 109 FAT sectors fit the header; 110 need one DIFAT sector, which holds
  // 127 more (236 in all); 237 need a second.
  for (std::uint32_t count : {108u, 109u, 110u, 235u, 236u, 237u}) {
    SCOPED_TRACE(count);
    BuiltFile file = Document().MinFatSectors(count).Build();
    ASSERT_EQ(file.fatSectors.size(), count);
    ASSERT_EQ(file.difatSectors.size(), count <= 109 ? 0u : count <= 236 ? 1u : 2u);
    ExpectAcceptedAndCopied(file);
    // The copy needs one FAT sector; the extra ones were free space.
    EXPECT_LT(std::filesystem::file_size(Path("copy.doc")), file.bytes.size());
  }
}

// FIFOs, fcntl and flock locks are Linux's; tests/cfb/windows tests the
// sharing modes that stand for them on Windows.
#ifndef _WIN32
TEST_F(ReaderTest, NonRegularFilesAreNotDocuments) {
  for (const std::string &path : {dir, Path("fifo.doc")}) {
    if (path != dir) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    try {
      cfb::Source::Open(path);
      ADD_FAILURE() << path << " opened";
    } catch (const cfb::FormatError &error) {
      EXPECT_EQ(error.GetReason(), cfb::Reason::NotRegularFile);
    }
  }
}

#endif

TEST_F(ReaderTest, SystemErrorsAreIoErrors) {
  try {
    cfb::Source::Open(Path("missing.doc"));
    ADD_FAILURE() << "opened a missing file";
  } catch (const cfb::IoError &error) {
    EXPECT_EQ(error.GetErrorNumber(), ENOENT);
  }
  try {
    cfb::Destination::Create(Path("no/such/dir/x.tmp"));
    ADD_FAILURE() << "created in a missing directory";
  } catch (const cfb::IoError &error) {
    EXPECT_EQ(error.GetErrorNumber(), ENOENT);
  }
  // Plain text is a format error, not an I/O error.
  { std::ofstream(Path("text.doc")) << std::string(2000, 'x'); }
  EXPECT_THROW(cfb::Source::Open(Path("text.doc")), cfb::FormatError);
}

#ifndef _WIN32
namespace {

// Runs `body` in a child process that holds a lock until told to finish;
// `check` runs in the parent meanwhile.
void WithLockInChild(const std::function<void()> &takeLock, const std::function<void()> &check) {
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    takeLock();
    char c = 1;
    (void)!::write(ready[1], &c, 1);
    (void)!::read(done[0], &c, 1);
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  check();
  (void)!::write(done[1], &c, 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]})
    ::close(fd);
}

} // namespace

TEST_F(ReaderTest, DocumentsLockedForWritingAreInUse) {
  std::string path = Save(Document().Build());
  auto expectInUse = [&] { EXPECT_THROW(cfb::Source::Open(path), cfb::InUseError); };

  // A classic fcntl write lock held by another process.
  WithLockInChild(
      [&] {
        int fd = ::open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &lock) != 0)
          ::_exit(1);
      },
      expectInUse);
  // An open-file-description write lock.
  {
    int fd = ::open(path.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    expectInUse();
    ::close(fd);
  }
  // An exclusive flock.
  {
    int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    expectInUse();
    ::close(fd);
  }
  // Readers do not shut each other out.
  {
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_SH | LOCK_NB), 0);
    EXPECT_NO_THROW(cfb::Source::Open(path));
    ::close(fd);
  }
}

TEST_F(ReaderTest, AnOpenDocumentShutsWritersOut) {
  std::string path = Save(Document().Build());
  cfb::Source source = cfb::Source::Open(path);
  auto tryLocks = [&](int &fcntlResult, int &flockResult) {
    int fd = ::open(path.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    fcntlResult = ::fcntl(fd, F_SETLK, &lock);
    flockResult = ::flock(fd, LOCK_EX | LOCK_NB);
    ::close(fd);
  };
  // Check the child's verdict through a second child that reports by exit status.
  pid_t child = ::fork();
  if (child == 0) {
    int a, b;
    tryLocks(a, b);
    ::_exit(a != 0 && b != 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer got a lock";
  source.Release();
  child = ::fork();
  if (child == 0) {
    int a, b;
    tryLocks(a, b);
    ::_exit(a == 0 && b == 0 ? 0 : 1);
  }
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "locks outlived Release";
}
#endif

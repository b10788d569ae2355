//===- tests/support/cfb_builder.h - Small compound files for the tests ----===//
///
/// \file
/// Builds compound files byte by byte from a description, independently of
/// the library's writer, so that no test checks that library against itself:
/// its own sector allocator, its own orders, optional free sectors between
/// chains, after the streams and at the end (the space a fresh copy leaves
/// out), plain, red-black or unsorted sibling links. Entries are added by
/// parent index or by slash-separated path. After `Build` a `BuiltFile`
/// tells where each structure lies, so that a test can change exactly one
/// field.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor::test {

/// How siblings are linked in the builder's directory.
enum class SiblingShape {
  Balanced,   ///< sorted, middle element at the top, every node black
  RightChain, ///< sorted, each sibling the right child of the one before
  Unsorted,   ///< insertion order as a right chain (not a search tree)
  RedBlack,   ///< sorted, balanced, the nodes of an incomplete bottom level
              ///< red: a valid red-black tree, as office writers make them
};

/// Where the structures go in the file.
enum class Order {
  DataFirst, ///< streams, mini stream, directory, mini FAT, then FAT and DIFAT
  DataLast,  ///< FAT, DIFAT, directory, mini FAT, mini stream, then streams
};

struct BuiltFile {
  std::vector<std::uint8_t> bytes;
  std::uint32_t sectorSize = 512;
  std::vector<std::uint32_t> fatSectors;
  std::vector<std::uint32_t> difatSectors;
  std::vector<std::uint32_t> dirSectors;
  std::vector<std::uint32_t> miniFatSectors;
  std::vector<std::uint32_t> miniStreamSectors;
  /// Per builder entry (index as returned by Add*): directory id, and the
  /// stream's sectors (regular or mini).
  std::vector<std::uint32_t> directoryId;
  std::vector<std::vector<std::uint32_t>> chain;

  std::uint64_t SectorOffset(std::uint32_t sector) const {
    return (std::uint64_t{sector} + 1) * sectorSize;
  }
  /// File offset of the 128-byte directory entry with this id.
  std::uint64_t DirEntryOffset(std::uint32_t id) const;
  /// File offset of the FAT entry of a sector / the mini FAT entry of a mini sector.
  std::uint64_t FatEntryOffset(std::uint32_t sector) const;
  std::uint64_t MiniFatEntryOffset(std::uint32_t miniSector) const;

  void Set16(std::uint64_t offset, std::uint16_t value);
  void Set32(std::uint64_t offset, std::uint32_t value);
  void Set64(std::uint64_t offset, std::uint64_t value);
  std::uint32_t Get32(std::uint64_t offset) const;

  /// Writes the bytes to `path`.
  void Save(const std::string &path) const;
  /// Writes the bytes to `path`; fails the calling test on error.
  void WriteTo(const std::string &path) const;
};

class CfbBuilder {
public:
  explicit CfbBuilder(int majorVersion = 3) : version(majorVersion) {}

  /// Adds a storage or stream under `parent` (-1: the root); returns its index.
  int AddStorage(int parent, const std::u16string &name);
  int AddStream(int parent, const std::u16string &name, std::vector<std::uint8_t> data);
  /// Fills a stream of `size` bytes with a pattern that depends on `seed`.
  int AddPatternStream(int parent, const std::u16string &name, std::size_t size, unsigned seed);

  /// A storage at a slash-separated path ("ObjectPool/_1234"); its parents
  /// must have been added before it. The names are bytes, taken as Latin-1.
  CfbBuilder &AddStorage(const std::string &path);
  /// A stream at a slash-separated path with its bytes.
  CfbBuilder &AddStream(const std::string &path, const std::string &data);

  /// Sets class id, state bits and times of an entry (-1: the root).
  void SetMeta(int index, std::uint8_t classIdSeed, std::uint32_t stateBits, std::uint64_t creation,
               std::uint64_t modified);

  /// Free sectors (filled with 0xEE) after each chain, and free mini sectors
  /// between small streams: the "freed space" a compaction drops.
  CfbBuilder &Gaps(std::uint32_t sectors, std::uint32_t miniSectors = 0) {
    gap = sectors;
    miniGap = miniSectors;
    return *this;
  }
  CfbBuilder &Shape(SiblingShape shape) {
    siblingShape = shape;
    return *this;
  }
  CfbBuilder &Layout(Order order) {
    this->order = order;
    return *this;
  }
  /// Free sectors filled with stale bytes after each stream in regular
  /// sectors, and free sectors at the end of the file.
  CfbBuilder &SetFreeSectorsAfterStreams(int count) {
    streamGap = static_cast<std::uint32_t>(count);
    return *this;
  }
  CfbBuilder &SetFreeSectorsAtEnd(int count) {
    endGap = static_cast<std::uint32_t>(count);
    return *this;
  }
  /// At least this many FAT sectors (the extra ones all FREESECT).
  CfbBuilder &MinFatSectors(std::uint32_t count) {
    minFatSectors = count;
    return *this;
  }
  /// Extra mini FAT sectors full of FREESECT beyond what the mini stream needs.
  CfbBuilder &ExtraMiniFatSectors(std::uint32_t count) {
    extraMiniFat = count;
    return *this;
  }
  /// A root name other than "Root Entry".
  CfbBuilder &RootName(const std::u16string &name) {
    rootName = name;
    return *this;
  }

  BuiltFile Build() const;
  /// Builds the file and writes it; fails the calling test on error.
  void WriteTo(const std::string &path) const { Build().WriteTo(path); }

private:
  struct Item {
    std::u16string name;
    bool storage = false;
    int parent = -1;
    std::vector<std::uint8_t> data;
    std::array<std::uint8_t, 16> classId{};
    std::uint32_t stateBits = 0;
    std::uint64_t creation = 0, modified = 0;
  };

  int version;
  std::vector<Item> items;
  Item root;
  int AddPath(const std::string &path, bool storage, const std::string &data);

  std::uint32_t gap = 0, miniGap = 0, minFatSectors = 0, extraMiniFat = 0;
  std::uint32_t streamGap = 0, endGap = 0;
  SiblingShape siblingShape = SiblingShape::Balanced;
  Order order = Order::DataFirst;
  std::u16string rootName = u"Root Entry";
};

/// A document like a word processor's: nested storages (an object pool
/// with an embedded object and an empty storage), small and regular streams,
/// an empty stream, and class ids, state bits and times on the root and the
/// object pool. `streamMetadata` also gives the main stream a class id and
/// times, as some writers do.
CfbBuilder SampleDocument(int version = 3, bool streamMetadata = false);

/// A sample document changed as files written by real programs are, named.
struct QuirkyFile {
  const char *name;
  BuiltFile file;
};

/// `SampleDocument().Gaps(1, 2)` with chains that go on past the sectors
/// their streams' sizes need, in each of the ways real writers leave them.
/// Each holds the same tree as the unchanged document.
std::vector<QuirkyFile> ChainTailQuirks();

/// The format's sibling order for ASCII names (length first, then ASCII
/// uppercase), written here independently of the library.
bool NameLess(const std::u16string &a, const std::u16string &b);

/// The bytes `AddPatternStream` uses for a size and seed: recognisable and
/// not trivially repeating.
std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed);
/// The same bytes as a string.
std::string PatternBytes(std::size_t size, unsigned seed);

/// Reads a whole file.
std::vector<std::uint8_t> ReadFileBytes(const std::string &path);

} // namespace velkor::test

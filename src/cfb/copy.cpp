//===- cfb/copy.cpp - One sequential pass that writes a planned copy ------===//
#include "cfb/copy.h"

#include "cfb/constants.h"
#include "cfb/dir_entry.h"
#include "cfb/header.h"

#include <algorithm>
#include <optional>
#include <cassert>
#include <stdexcept>

namespace cfb {

namespace {

// The largest source mini stream that a copy reads into memory at once.
constexpr std::uint64_t kMiniStreamInMemory = 16u << 20;

bool IsSmall(const Entry& entry) {
  return entry.kind == EntryKind::Stream && entry.size > 0 && entry.size < kMiniStreamCutoff;
}
bool IsLarge(const Entry& entry) {
  return entry.kind == EntryKind::Stream && entry.size >= kMiniStreamCutoff;
}

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t divisor) {
  return value / divisor + (value % divisor != 0);
}

// Appends the links of a chain of `count` consecutive mini sectors.
void AppendMiniChain(Writer& writer, std::uint32_t start, std::uint64_t count) {
  for (std::uint64_t k = 0; k < count; ++k)
    writer.Append32(k + 1 == count ? kEndOfChain : static_cast<std::uint32_t>(start + k + 1));
}

// Writes the FAT entry by entry in sector order, putting ENDOFCHAIN in the
// range lock sector's place (MS-CFB 2.2) when the file has one.
class FatEmitter {
 public:
  FatEmitter(const Layout& layout, Writer& writer) : layout(layout), writer(writer) {}

  void Emit(std::uint32_t value) {
    if (index == layout.rangeLockSector) {
      writer.Append32(kEndOfChain);
      ++index;
    }
    writer.Append32(value);
    ++index;
  }
  // A chain of `count` logically consecutive sectors from logical `start`.
  void EmitChain(std::uint32_t start, std::uint64_t count) {
    for (std::uint64_t k = 0; k < count; ++k)
      Emit(k + 1 == count ? kEndOfChain : layout.Physical(static_cast<std::uint32_t>(start + k + 1)));
  }
  std::uint64_t Index() const { return index; }

 private:
  const Layout& layout;
  Writer& writer;
  std::uint64_t index = 0;
};

void WriteHeader(const Layout& layout, Writer& writer) {
  Header header;
  header.majorVersion = layout.majorVersion;
  header.sectorShift = static_cast<std::uint16_t>(layout.sectorShift);
  // MS-CFB 2.2: the directory sector count is 0 in version 3 files.
  header.dirSectorCount = layout.majorVersion == kMajorVersion3 ? 0 : layout.dirSectors;
  header.fatSectorCount = layout.fatSectors;
  header.firstDirSector = layout.Physical(layout.firstDir);
  header.firstMiniFatSector =
      layout.miniFatSectors > 0 ? layout.Physical(layout.firstMiniFat) : kEndOfChain;
  header.miniFatSectorCount = layout.miniFatSectors;
  header.firstDifatSector = layout.difatSectors > 0 ? layout.Physical(layout.firstDifat) : kEndOfChain;
  header.difatSectorCount = layout.difatSectors;
  // The FAT occupies logical sectors 0 .. fatSectors-1.
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i)
    header.difat[i] = i < layout.fatSectors ? layout.Physical(i) : kFreeSect;
  std::uint8_t bytes[kHeaderSize];
  header.Serialize(bytes);
  writer.Append(bytes, kHeaderSize);
  writer.AppendZeros(layout.SectorSize() - kHeaderSize);
}

void WriteFat(const Tree& tree, const Layout& layout, Writer& writer) {
  const std::uint64_t perSector = layout.SectorSize() / 4;
  FatEmitter fat(layout, writer);
  for (std::uint32_t i = 0; i < layout.fatSectors; ++i) fat.Emit(kFatSect);
  for (std::uint32_t i = 0; i < layout.difatSectors; ++i) fat.Emit(kDifSect);
  fat.EmitChain(layout.firstDir, layout.dirSectors);
  fat.EmitChain(layout.firstMiniFat, layout.miniFatSectors);
  fat.EmitChain(layout.firstMiniStream, layout.miniStreamSectors);
  for (std::size_t i = 0; i < tree.entries.size(); ++i)
    if (IsLarge(tree.entries[i]))
      fat.EmitChain(layout.startSector[i], CeilDiv(tree.entries[i].size, layout.SectorSize()));
  assert(fat.Index() == layout.totalSectors && "FAT entries and sectors differ");
  while (fat.Index() < layout.fatSectors * perSector) fat.Emit(kFreeSect);
}

void WriteDifat(const Layout& layout, Writer& writer) {
  const std::uint32_t perSector = layout.SectorSize() / 4;
  for (std::uint32_t j = 0; j < layout.difatSectors; ++j) {
    for (std::uint32_t i = 0; i + 1 < perSector; ++i) {
      std::uint64_t id = kHeaderDifatCount + std::uint64_t{j} * (perSector - 1) + i;
      writer.Append32(id < layout.fatSectors ? layout.Physical(static_cast<std::uint32_t>(id)) : kFreeSect);
    }
    writer.Append32(j + 1 < layout.difatSectors ? layout.Physical(layout.firstDifat + j + 1) : kEndOfChain);
  }
}

void WriteDirectory(const Tree& tree, const Layout& layout, Writer& writer) {
  std::uint8_t bytes[kDirEntrySize];
  for (std::size_t i = 0; i < tree.entries.size(); ++i) {
    const Entry& entry = tree.entries[i];
    DirEntry out;
    switch (entry.kind) {
      case EntryKind::Root:
        out.name = u"Root Entry";
        out.type = kTypeRoot;
        out.size = std::uint64_t{layout.miniSectors} * kMiniSectorSize;
        break;
      case EntryKind::Storage:
        out.name = entry.name;
        out.type = kTypeStorage;
        out.size = 0;
        break;
      case EntryKind::Stream:
        out.name = entry.name;
        out.type = kTypeStream;
        out.size = entry.size;
        break;
    }
    out.color = layout.red[i] ? kColorRed : kColorBlack;
    out.left = layout.left[i];
    out.right = layout.right[i];
    out.child = layout.child[i];
    out.classId = entry.classId;
    out.stateBits = entry.stateBits;
    out.creationTime = entry.creationTime;
    out.modifiedTime = entry.modifiedTime;
    // Regular streams and the mini stream are planned in logical sectors.
    bool regular = IsLarge(entry) || (entry.kind == EntryKind::Root && layout.miniSectors > 0);
    out.startSector = regular ? layout.Physical(layout.startSector[i]) : layout.startSector[i];
    out.Serialize(bytes);
    writer.Append(bytes, kDirEntrySize);
  }
  const std::uint64_t slots = std::uint64_t{layout.dirSectors} * (layout.SectorSize() / kDirEntrySize);
  DirEntry::SerializeUnused(bytes);
  for (std::uint64_t i = tree.entries.size(); i < slots; ++i) writer.Append(bytes, kDirEntrySize);
}

void WriteMiniFat(const Tree& tree, const Layout& layout, Writer& writer) {
  std::uint64_t entries = 0;
  for (std::size_t i = 0; i < tree.entries.size(); ++i) {
    if (!IsSmall(tree.entries[i])) continue;
    std::uint64_t count = CeilDiv(tree.entries[i].size, kMiniSectorSize);
    AppendMiniChain(writer, layout.startSector[i], count);
    entries += count;
  }
  const std::uint64_t slots = std::uint64_t{layout.miniFatSectors} * (layout.SectorSize() / 4);
  for (; entries < slots; ++entries) writer.Append32(kFreeSect);
}

// Moves one stream's bytes straight from the source file into the output
// buffer, a run of contiguous source bytes at a time.
void CopyStream(const Reader& reader, std::uint32_t index, Writer& writer) {
  for (const ByteRun& run : reader.StreamRuns(index)) {
    std::uint64_t offset = run.offset;
    std::uint64_t remaining = run.length;
    while (remaining > 0) {
      std::span<std::uint8_t> room = writer.Room();
      std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(room.size(), remaining));
      reader.ReadBytes(offset, room.data(), take);
      writer.Commit(take);
      offset += take;
      remaining -= take;
    }
  }
}

}  // namespace

Tree EmptyTree() {
  Tree tree;
  Entry root;
  root.kind = EntryKind::Root;
  root.name = u"Root Entry";
  root.displayName = "Root Entry";
  root.parent = kNoParent;
  tree.entries.push_back(root);
  return tree;
}

void WriteCompoundFile(const Tree& tree, const Layout& layout, const Reader* reader,
                       Writer& writer) {
  const std::uint64_t start = writer.BytesWritten();
  if (layout.rangeLockSector != kFreeSect)
    writer.ReserveHole(start + ((std::uint64_t{layout.rangeLockSector} + 1) << layout.sectorShift),
                       layout.SectorSize());
  WriteHeader(layout, writer);
  WriteFat(tree, layout, writer);
  WriteDifat(layout, writer);
  WriteDirectory(tree, layout, writer);
  WriteMiniFat(tree, layout, writer);

  // Small streams lie scattered in the source's mini stream, in an order of
  // their own. A mini stream of modest size is read whole, in long
  // sequential reads, and the small streams are copied out of memory;
  // a larger one is read stream by stream.
  std::uint64_t miniBytes = 0;
  std::vector<std::uint8_t> sourceMini;
  if (reader != nullptr && layout.miniSectors > 0 && reader->MiniStreamBytes() <= kMiniStreamInMemory) {
    sourceMini.resize(static_cast<std::size_t>(reader->MiniStreamBytes()));
    reader->ReadMiniStream(sourceMini.data());
  }
  for (std::uint32_t i = 0; i < tree.entries.size(); ++i) {
    if (!IsSmall(tree.entries[i])) continue;
    if (reader == nullptr) throw std::logic_error("cfb: stream data without a source");
    if (sourceMini.empty()) {
      CopyStream(*reader, i, writer);
    } else {
      for (const ByteRun& run : reader->SmallStreamRuns(i))
        writer.Append(sourceMini.data() + run.offset, static_cast<std::size_t>(run.length));
    }
    std::uint64_t padded = CeilDiv(tree.entries[i].size, kMiniSectorSize) * kMiniSectorSize;
    writer.AppendZeros(padded - tree.entries[i].size);
    miniBytes += padded;
  }
  writer.AppendZeros(std::uint64_t{layout.miniStreamSectors} * layout.SectorSize() - miniBytes);

  for (std::uint32_t i = 0; i < tree.entries.size(); ++i) {
    if (!IsLarge(tree.entries[i])) continue;
    if (reader == nullptr) throw std::logic_error("cfb: stream data without a source");
    CopyStream(*reader, i, writer);
    std::uint64_t padded = CeilDiv(tree.entries[i].size, layout.SectorSize()) * layout.SectorSize();
    writer.AppendZeros(padded - tree.entries[i].size);
  }
  if (writer.BytesWritten() - start != layout.FileSize())
    throw std::logic_error("cfb: the copy's size differs from its planned layout");
  writer.Finish();
}

}  // namespace cfb

//===- cfb/copy.cpp - One sequential pass that writes a planned copy ------===//
#include "cfb/copy.h"

#include "cfb/constants.h"
#include "cfb/dir_entry.h"
#include "cfb/header.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace cfb {

namespace {

// The largest source mini stream that a copy reads into memory at once.
constexpr std::uint64_t kMiniStreamInMemory = 16u << 20;
// Small streams are taken as scattered in the source's mini stream when,
// after a few reads, reading them in output order has made a read call for
// each this many bytes copied or less: reading it whole then costs less.
constexpr std::uint64_t kScatteredRead = 8u << 10;
constexpr std::uint64_t kProbeReads = 16;

bool IsSmall(const Entry &entry) {
  return entry.kind == EntryKind::Stream && entry.size > 0 && entry.size < kMiniStreamCutoff;
}
bool IsLarge(const Entry &entry) {
  return entry.kind == EntryKind::Stream && entry.size >= kMiniStreamCutoff;
}

// Appends the links of a chain of `count` consecutive mini sectors.
void AppendMiniChain(Writer &writer, std::uint32_t start, std::uint64_t count) {
  for (std::uint64_t k = 0; k < count; ++k)
    writer.Append32(k + 1 == count ? kEndOfChain : static_cast<std::uint32_t>(start + k + 1));
}

// Writes the FAT entry by entry in sector order, putting ENDOFCHAIN in the
// range lock sector's place (MS-CFB 2.2) when the file has one.
class FatEmitter {
public:
  FatEmitter(const Layout &layout, Writer &writer) : layout(layout), writer(writer) {}

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
      Emit(k + 1 == count ? kEndOfChain
                          : layout.Physical(static_cast<std::uint32_t>(start + k + 1)));
  }
  std::uint64_t Index() const { return index; }

private:
  const Layout &layout;
  Writer &writer;
  std::uint64_t index = 0;
};

void WriteHeader(const Layout &layout, Writer &writer) {
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
  header.firstDifatSector =
      layout.difatSectors > 0 ? layout.Physical(layout.firstDifat) : kEndOfChain;
  header.difatSectorCount = layout.difatSectors;
  // The FAT occupies logical sectors 0 .. fatSectors-1.
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i)
    header.difat[i] = i < layout.fatSectors ? layout.Physical(i) : kFreeSect;
  std::uint8_t bytes[kHeaderSize];
  header.Serialize(bytes);
  writer.Append(bytes, kHeaderSize);
  writer.AppendZeros(layout.SectorSize() - kHeaderSize);
}

void WriteFat(const Tree &tree, const Layout &layout, Writer &writer) {
  const std::uint64_t perSector = layout.SectorSize() / 4;
  FatEmitter fat(layout, writer);
  for (std::uint32_t i = 0; i < layout.fatSectors; ++i)
    fat.Emit(kFatSect);
  for (std::uint32_t i = 0; i < layout.difatSectors; ++i)
    fat.Emit(kDifSect);
  fat.EmitChain(layout.firstDir, layout.dirSectors);
  fat.EmitChain(layout.firstMiniFat, layout.miniFatSectors);
  fat.EmitChain(layout.firstMiniStream, layout.miniStreamSectors);
  for (std::size_t i = 0; i < tree.entries.size(); ++i)
    if (IsLarge(tree.entries[i]))
      fat.EmitChain(layout.startSector[i], CeilDiv(tree.entries[i].size, layout.SectorSize()));
  assert(fat.Index() == layout.totalSectors && "FAT entries and sectors differ");
  while (fat.Index() < layout.fatSectors * perSector)
    fat.Emit(kFreeSect);
}

void WriteDifat(const Layout &layout, Writer &writer) {
  const std::uint32_t perSector = layout.SectorSize() / 4;
  for (std::uint32_t j = 0; j < layout.difatSectors; ++j) {
    for (std::uint32_t i = 0; i + 1 < perSector; ++i) {
      std::uint64_t id = kHeaderDifatCount + std::uint64_t{j} * (perSector - 1) + i;
      writer.Append32(id < layout.fatSectors ? layout.Physical(static_cast<std::uint32_t>(id))
                                             : kFreeSect);
    }
    writer.Append32(j + 1 < layout.difatSectors ? layout.Physical(layout.firstDifat + j + 1)
                                                : kEndOfChain);
  }
}

void WriteDirectory(const Tree &tree, const Layout &layout, Writer &writer) {
  std::uint8_t bytes[kDirEntrySize];
  // One entry reused for all: its name keeps its room from entry to entry,
  // and every field is set for each.
  DirEntry out;
  for (std::size_t i = 0; i < tree.entries.size(); ++i) {
    const Entry &entry = tree.entries[i];
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
  const std::uint64_t slots =
      std::uint64_t{layout.dirSectors} * (layout.SectorSize() / kDirEntrySize);
  DirEntry::SerializeUnused(bytes);
  for (std::uint64_t i = tree.entries.size(); i < slots; ++i)
    writer.Append(bytes, kDirEntrySize);
}

void WriteMiniFat(const Tree &tree, const Layout &layout, Writer &writer) {
  std::uint64_t entries = 0;
  for (std::size_t i = 0; i < tree.entries.size(); ++i) {
    if (!IsSmall(tree.entries[i]))
      continue;
    std::uint64_t count = CeilDiv(tree.entries[i].size, kMiniSectorSize);
    AppendMiniChain(writer, layout.startSector[i], count);
    entries += count;
  }
  const std::uint64_t slots = std::uint64_t{layout.miniFatSectors} * (layout.SectorSize() / 4);
  for (; entries < slots; ++entries)
    writer.Append32(kFreeSect);
}

// Runs at least this long are read on their own, straight into the output.
constexpr std::uint64_t kDirectRead = 64u << 10;
// Runs at least this long are copied by the kernel from file to file where
// the file system allows it (see Writer::AppendFromFile): their bytes never
// pass through this process, and file systems that share extents between
// files copy them without moving data at all.
constexpr std::uint64_t kKernelCopy = 256u << 10;
// The most bytes read with one call for gathered runs.
constexpr std::uint64_t kWindow = 256u << 10;
// The widest stretch of unneeded bytes read to join two runs.
constexpr std::uint64_t kMaxGap = 16u << 10;

// The stretch of source bytes that one read covers for gathered runs.
struct Span {
  bool open = false;
  std::uint64_t start = 0;
  std::uint64_t end = 0;

  // Whether a run may be read with the ones before it: it follows them in
  // the source, after a small gap, and the whole fits the window.
  bool Joins(std::uint64_t offset, std::uint64_t length) const {
    return open && offset >= end && offset - end <= kMaxGap && offset + length - start <= kWindow;
  }
  void Extend(std::uint64_t offset, std::uint64_t length) {
    if (!open)
      start = offset;
    open = true;
    end = offset + length;
  }
};

// Moves streams' bytes from the source file into the output, in output
// order. A run of source bytes of some size is read straight into the
// output buffer, and a long one is copied by the kernel where it can be. Documents also hold
// thousands of streams of a few kilobytes, and one read call for each would cost more than their
// bytes; so short runs that follow one another in the source, ascending with small gaps between
// them (the free sectors an edited document leaves), are gathered and read with one call into a
// window, then appended from there. Every byte read lies between the start of one run and the end
// of another, so nothing outside the bytes validation found in the file is ever read.
class StreamCopier {
public:
  StreamCopier(const Reader &reader, Writer &writer) : reader(reader), writer(writer) {}

  /// Copies stream `index` followed by `zerosAfter` zero bytes (padding).
  void CopyStream(std::uint32_t index, std::uint64_t zerosAfter) {
    reader.StreamRuns(index, runs);
    for (const ByteRun &run : runs)
      Add(run.offset, run.length);
    if (pieces.empty())
      writer.AppendZeros(zerosAfter);
    else
      pieces.back().zerosAfter += zerosAfter;
  }

  /// Writes out what is still gathered. Call after the last stream.
  void Finish() { Flush(); }

  /// Read calls made so far.
  std::uint64_t Reads() const { return reads; }

private:
  struct Piece {
    std::uint64_t offset;
    std::uint64_t length;
    std::uint64_t zerosAfter;
  };

  void Add(std::uint64_t offset, std::uint64_t length) {
    if (length >= kDirectRead) {
      Flush();
      if (length >= kKernelCopy) {
        std::uint64_t copied = writer.AppendFromFile(reader.File().fd, offset, length);
        reader.File().CountRead(copied);
        offset += copied;
        length -= copied;
      }
      ReadDirect(offset, length);
      return;
    }
    if (!span.Joins(offset, length))
      Flush();
    span.Extend(offset, length);
    pieces.push_back({offset, length, 0});
  }

  void Flush() {
    if (pieces.empty())
      return;
    if (pieces.size() == 1) {
      ReadDirect(pieces[0].offset, pieces[0].length);
      writer.AppendZeros(pieces[0].zerosAfter);
    } else {
      if (!window)
        window.reset(new std::uint8_t[kWindow]);
      ++reads;
      reader.ReadBytes(span.start, window.get(), static_cast<std::size_t>(span.end - span.start));
      for (const Piece &piece : pieces) {
        writer.Append(window.get() + (piece.offset - span.start),
                      static_cast<std::size_t>(piece.length));
        writer.AppendZeros(piece.zerosAfter);
      }
    }
    pieces.clear();
    span = Span();
  }

  // Reads source bytes straight into the output buffer.
  void ReadDirect(std::uint64_t offset, std::uint64_t remaining) {
    while (remaining > 0) {
      ++reads;
      std::span<std::uint8_t> room = writer.Room();
      std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(room.size(), remaining));
      reader.ReadBytes(offset, room.data(), take);
      writer.Commit(take);
      offset += take;
      remaining -= take;
    }
  }

  const Reader &reader;
  Writer &writer;
  std::vector<ByteRun> runs;
  std::vector<Piece> pieces; // gathered, in output order; ascending in the source
  Span span;                 // the source bytes the gathered pieces lie in
  std::unique_ptr<std::uint8_t[]> window;
  std::uint64_t reads = 0;
};

} // namespace

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

void WriteCompoundFile(const Tree &tree, const Layout &layout, const Reader *reader,
                       Writer &writer) {
  const std::uint64_t start = writer.BytesWritten();
  if (layout.rangeLockSector != kFreeSect)
    writer.ReserveHole(start + ((std::uint64_t{layout.rangeLockSector} + 1) << layout.sectorShift),
                       layout.SectorSize());
  WriteHeader(layout, writer);
  WriteFat(tree, layout, writer);
  WriteDifat(layout, writer);
  WriteDirectory(tree, layout, writer);
  WriteMiniFat(tree, layout, writer);

  // Small streams lie in the source's mini stream in an order of their own.
  // When that order is (mostly) the copy's, they are read like regular
  // streams, their neighbouring runs gathered into few large reads. When
  // the reads show them scattered (a read call for every few kilobytes), a
  // mini stream of modest size is read whole, in long sequential reads, and
  // the remaining small streams are copied out of memory; a larger one is
  // read stream by stream all the same.
  std::uint64_t miniBytes = 0;
  std::optional<StreamCopier> copier;
  if (reader != nullptr)
    copier.emplace(*reader, writer);
  const bool miniFitsMemory = reader != nullptr && reader->MiniStreamBytes() <= kMiniStreamInMemory;
  std::unique_ptr<std::uint8_t[]> sourceMini;
  std::vector<ByteRun> runs;
  for (std::uint32_t i = 0; i < tree.entries.size(); ++i) {
    if (!IsSmall(tree.entries[i]))
      continue;
    if (reader == nullptr)
      throw std::logic_error("cfb: stream data without a source");
    std::uint64_t padded = CeilDiv(tree.entries[i].size, kMiniSectorSize) * kMiniSectorSize;
    if (!sourceMini && miniFitsMemory && copier->Reads() >= kProbeReads &&
        copier->Reads() * kScatteredRead > miniBytes) {
      copier->Finish();
      sourceMini.reset(new std::uint8_t[static_cast<std::size_t>(reader->MiniStreamBytes())]);
      reader->ReadMiniStream(sourceMini.get());
    }
    if (sourceMini) {
      reader->SmallStreamRuns(i, runs);
      for (const ByteRun &run : runs)
        writer.Append(sourceMini.get() + run.offset, static_cast<std::size_t>(run.length));
      writer.AppendZeros(padded - tree.entries[i].size);
    } else {
      copier->CopyStream(i, padded - tree.entries[i].size);
    }
    miniBytes += padded;
  }
  if (copier)
    copier->Finish();
  sourceMini.reset();
  writer.AppendZeros(std::uint64_t{layout.miniStreamSectors} * layout.SectorSize() - miniBytes);

  for (std::uint32_t i = 0; i < tree.entries.size(); ++i) {
    if (!IsLarge(tree.entries[i]))
      continue;
    if (reader == nullptr)
      throw std::logic_error("cfb: stream data without a source");
    std::uint64_t padded = CeilDiv(tree.entries[i].size, layout.SectorSize()) * layout.SectorSize();
    copier->CopyStream(i, padded - tree.entries[i].size);
  }
  if (copier)
    copier->Finish();
  if (writer.BytesWritten() - start != layout.FileSize())
    throw std::logic_error("cfb: the copy's size differs from its planned layout");
  writer.Finish();
}

} // namespace cfb

//===- cfb/reader.cpp - Opening, locking and validating a compound file ---===//
#include "cfb/reader.h"

#include "cfb/constants.h"
#include "cfb/directory.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace cfb {

std::unique_ptr<Reader> Reader::Open(const std::string &path, FinalLink link,
                                     ReadCount *readCount) {
  return Load(OpenReadable(path, link), path, readCount);
}

std::unique_ptr<Reader> Reader::OpenWritten(int writerDescriptor, const std::string &path) {
  return Load(OpenWrittenFile(writerDescriptor, path), path, nullptr);
}

std::unique_ptr<Reader> Reader::Load(ReadableFile opened, const std::string &path,
                                     ReadCount *readCount) {
  std::unique_ptr<Reader> reader(new Reader());
  reader->descriptor = std::move(opened.descriptor);

  SectorFile &file = reader->file;
  file.fd = reader->descriptor.Get();
  file.path = path;
  file.fileSize = opened.size;
  file.readCount = readCount;
  std::uint8_t bytes[kHeaderSize] = {};
  file.Read(0, bytes, kHeaderSize);
  reader->header = Header::Parse(bytes, file.fileSize);
  file.sectorShift = reader->header.sectorShift;
  std::uint64_t sectors = CeilDiv(file.fileSize - file.SectorSize(), file.SectorSize());
  file.sectorCount =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, kMaxRegSect + 1ull));
  reader->Validate();
  return reader;
}

void Reader::Validate() {
  // One owner table for all sectors: DIFAT, FAT, directory, mini FAT, the
  // mini stream and every stream must each have sectors of their own.
  SectorOwners owners(file.sectorCount);
  fat = Fat::Load(file, header, owners);
  DirectoryBytes directory = LoadDirectory(file, header, fat, owners);
  tree = BuildTree(directory.View(), header.majorVersion);
  // Freed before the mini FAT is read, so that it takes the memory the
  // directory's bytes and the tree's building have given back.
  directory = {};
  miniFat = MiniFat::Load(file, header, fat, owners);

  const Entry &root = tree.entries[0];
  // The mini stream is the root's data (MS-CFB 2.6.2). An empty one holds
  // no sectors, wherever its start sector points (writers use ENDOFCHAIN or 0).
  // Like a stream's, its chain is followed only as far as its size needs.
  if (root.size > 0) {
    const std::uint64_t needed = CeilDiv(root.size, file.SectorSize());
    miniStreamSectors =
        FollowChain(fat.Table(), root.startSector, file.sectorCount, owners, "mini stream", needed);
    if (miniStreamSectors.size() < needed)
      throw FormatError(Reason::ShortChain, root.size, "mini stream");
  }
  // Small streams may use only the mini sectors the root's size covers.
  // Tolerance (MS-CFB 2.4): writers leave the mini FAT longer than the mini
  // stream (a whole sector of entries, or entries of freed mini sectors);
  // those entries are never followed.
  miniSectorCount = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(CeilDiv(root.size, kMiniSectorSize), kMaxRegSect + 1ull));

  SectorOwners miniOwners(miniSectorCount);
  for (const Entry &entry : tree.entries)
    if (entry.kind == EntryKind::Stream)
      ValidateStream(entry, owners, miniOwners);
}

std::uint64_t Reader::DataOffset(const Entry &entry, bool mini, std::uint32_t sector,
                                 std::uint64_t length) const {
  std::uint64_t offset;
  if (mini) {
    std::uint64_t inMini = static_cast<std::uint64_t>(sector) * kMiniSectorSize;
    std::uint64_t index = inMini >> file.sectorShift;
    if (index >= miniStreamSectors.size())
      throw FormatError(Reason::MiniStreamOutsideRoot, sector, "small stream");
    offset = file.Offset(miniStreamSectors[index]) + (inMini & (file.SectorSize() - 1));
  } else {
    offset = file.Offset(sector);
  }
  // Tolerance: the file's last sector may be cut short by the end of the
  // file; that is refused only when this stream needs the missing bytes.
  if (offset + length > file.fileSize)
    throw FormatError(Reason::TruncatedFile, entry.directoryId, "stream");
  return offset;
}

template <typename Visit>
void Reader::ForEachPiece(const Entry &entry, bool inMiniStream, Visit &&visit) const {
  if (entry.size == 0)
    return;
  const bool mini = entry.size < kMiniStreamCutoff;
  const std::uint64_t unit = mini ? kMiniSectorSize : file.SectorSize();
  const std::uint64_t needed = CeilDiv(entry.size, unit);
  const std::vector<std::uint32_t> &table = mini ? miniFat.Table() : fat.Table();
  // Only the sectors the stream needs are followed. Validation found every
  // byte they hold inside the file (a file that shrank since is caught by
  // the read), so offsets are only computed here.
  const std::uint32_t sectorMask = file.SectorSize() - 1;
  std::uint32_t at = entry.startSector;
  for (std::uint64_t k = 0; k < needed; ++k) {
    if (at >= table.size())
      throw FormatError(Reason::SectorOutOfRange, at, "stream");
    std::uint64_t length = std::min<std::uint64_t>(unit, entry.size - k * unit);
    std::uint64_t offset;
    if (!mini) {
      offset = file.Offset(at);
    } else if (inMiniStream) {
      offset = static_cast<std::uint64_t>(at) * kMiniSectorSize;
    } else {
      std::uint64_t inMini = static_cast<std::uint64_t>(at) * kMiniSectorSize;
      std::uint64_t index = inMini >> file.sectorShift;
      if (index >= miniStreamSectors.size())
        throw FormatError(Reason::MiniStreamOutsideRoot, at, "small stream");
      offset = file.Offset(miniStreamSectors[index]) + (inMini & sectorMask);
    }
    visit(offset, length);
    at = table[at];
  }
}

void Reader::ValidateStream(const Entry &entry, SectorOwners &owners,
                            SectorOwners &miniOwners) const {
  // Tolerance (MS-CFB 2.6.3): an empty stream's start sector should be
  // ENDOFCHAIN, but writers also leave 0 there. An empty stream has no data,
  // so its start sector is never followed.
  if (entry.size == 0)
    return;
  const bool mini = entry.size < kMiniStreamCutoff;
  const std::uint64_t unit = mini ? kMiniSectorSize : file.SectorSize();
  const std::uint64_t needed = CeilDiv(entry.size, unit);
  // Tolerance: the chain is claimed and checked only as far as the stream's
  // size needs, and every byte of those sectors the stream uses must lie
  // inside the file. Real writers leave chains that go on past that point:
  // tails that loop back, mini chains never terminated that run on into the
  // next stream's sectors, tails that point outside the file. Independent
  // readers and office programs read such streams by their size; so does
  // this reader, and the copy writes clean, terminated chains. Inside the
  // needed part a loop, a cross-link, a pointer outside the file or a chain
  // too short is refused: there the stream's bytes would be ambiguous.
  std::uint64_t k = 0;
  auto check = [&](std::uint32_t sector) {
    DataOffset(entry, mini, sector, std::min<std::uint64_t>(unit, entry.size - k * unit));
    ++k;
  };
  std::uint64_t length =
      mini ? WalkChain(miniFat.Table(), entry.startSector, miniSectorCount, needed, miniOwners,
                       "small stream", Reason::MiniStreamOutsideRoot, check)
           : WalkChain(fat.Table(), entry.startSector, file.sectorCount, needed, owners, "stream",
                       Reason::SectorOutOfRange, check);
  if (length < needed)
    throw FormatError(Reason::ShortChain, entry.directoryId, "stream");
}

void Reader::AppendRuns(const Entry &entry, bool inMiniStream, std::vector<ByteRun> &runs) const {
  ForEachPiece(entry, inMiniStream, [&](std::uint64_t offset, std::uint64_t length) {
    AppendRun(runs, offset, length);
  });
}

void Reader::StreamRuns(std::uint32_t index, std::vector<ByteRun> &runs) const {
  if (index >= tree.entries.size() || tree.entries[index].kind != EntryKind::Stream)
    throw std::out_of_range("cfb: entry is not a stream");
  runs.clear();
  AppendRuns(tree.entries[index], false, runs);
}

void Reader::SmallStreamRuns(std::uint32_t index, std::vector<ByteRun> &runs) const {
  if (index >= tree.entries.size() || tree.entries[index].kind != EntryKind::Stream ||
      tree.entries[index].size >= kMiniStreamCutoff)
    throw std::out_of_range("cfb: entry is not a small stream");
  runs.clear();
  AppendRuns(tree.entries[index], true, runs);
}

void Reader::ReadMiniStream(std::uint8_t *out) const {
  const std::uint64_t total = MiniStreamBytes();
  const std::uint32_t sectorSize = file.SectorSize();
  std::uint64_t position = 0;
  for (std::size_t i = 0; i < miniStreamSectors.size() && position < total;) {
    std::size_t run = 1;
    while (i + run < miniStreamSectors.size() &&
           miniStreamSectors[i + run] == miniStreamSectors[i] + run)
      ++run;
    std::uint64_t offset = file.Offset(miniStreamSectors[i]);
    std::uint64_t length =
        std::min<std::uint64_t>(run * std::uint64_t{sectorSize}, total - position);
    // Validation found every byte a small stream needs inside the file; a
    // final sector cut short only lacks bytes that nothing needs (zeroed).
    std::uint64_t present = offset < file.fileSize ? std::min(length, file.fileSize - offset) : 0;
    ReadBytes(offset, out + position, static_cast<std::size_t>(present));
    std::memset(out + position + present, 0, static_cast<std::size_t>(length - present));
    position += length;
    i += run;
  }
  std::memset(out + position, 0, static_cast<std::size_t>(total - position));
}

std::size_t Reader::ReadStream(std::uint32_t index, std::uint64_t offset,
                               std::span<std::byte> out) const {
  if (cachedIndex != index) {
    StreamRuns(index, cachedRuns);
    cachedStarts.clear();
    std::uint64_t start = 0;
    for (const ByteRun &run : cachedRuns) {
      cachedStarts.push_back(start);
      start += run.length;
    }
    cachedIndex = index;
  }
  const std::uint64_t size = tree.entries[index].size;
  if (offset >= size || out.empty())
    return 0;
  std::size_t done = 0;
  auto it = std::upper_bound(cachedStarts.begin(), cachedStarts.end(), offset);
  std::size_t run = static_cast<std::size_t>(it - cachedStarts.begin()) - 1;
  while (done < out.size() && run < cachedRuns.size()) {
    std::uint64_t within = offset + done - cachedStarts[run];
    std::uint64_t take =
        std::min<std::uint64_t>(cachedRuns[run].length - within, out.size() - done);
    ReadBytes(cachedRuns[run].offset + within, out.data() + done, static_cast<std::size_t>(take));
    done += static_cast<std::size_t>(take);
    ++run;
  }
  return done;
}

void Reader::ReadBytes(std::uint64_t offset, void *buffer, std::size_t length) const {
  if (file.Read(offset, buffer, length) != length)
    throw FormatError(Reason::TruncatedFile, offset, "file shrank since it was opened");
}

void Reader::Close() {
  descriptor.Close();
  file.fd = -1;
}

} // namespace cfb

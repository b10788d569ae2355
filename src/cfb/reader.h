//===- cfb/reader.h - An open, locked and validated compound file ---------===//
#pragma once

#include "cfb/chain.h"
#include "cfb/sector_file.h"
#include "cfb/fat.h"
#include "cfb/header.h"
#include "cfb/io.h"
#include "cfb/mini_fat.h"
#include "cfb/tree.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace cfb {

/// Opens a compound file with writers shut out and validates, at open,
/// everything a copy relies on: header, DIFAT, FAT, mini FAT, directory,
/// tree, the mini stream and every stream's chain (as far as each one's size
/// needs: links past that point are never followed). Afterwards it hands out
/// each stream's data as runs of file bytes.
class Reader {
public:
  /// Throws `FormatError`, `InUseError` or `IoError` (see `Source::Open`).
  /// Counts every byte it reads from the file into `readCount` when given.
  static std::unique_ptr<Reader> Open(const std::string &path, FinalLink link = FinalLink::follow,
                                      ReadCount *readCount = nullptr);
  /// The same for the file this process writes through `writerDescriptor`
  /// at `path` (see OpenWrittenFile).
  static std::unique_ptr<Reader> OpenWritten(int writerDescriptor, const std::string &path);

  const Tree &GetTree() const { return tree; }
  const SectorFile &File() const { return file; }
  std::uint16_t MajorVersion() const { return header.majorVersion; }

  /// Where the bytes of stream `index` (an index into the tree) lie in the
  /// file, in order, adjacent pieces merged, into `runs` (replacing its
  /// contents, so that a caller going through many streams reuses one
  /// vector). Together exactly its size.
  void StreamRuns(std::uint32_t index, std::vector<ByteRun> &runs) const;

  /// For a stream below the mini stream cutoff: where its bytes lie in the
  /// mini stream (offsets from the mini stream's start), adjacent pieces
  /// merged, into `runs` (replacing its contents).
  void SmallStreamRuns(std::uint32_t index, std::vector<ByteRun> &runs) const;

  /// Bytes of the mini stream that small streams may use (whole mini sectors).
  std::uint64_t MiniStreamBytes() const { return std::uint64_t{miniSectorCount} * 64; }
  /// Reads the mini stream (`MiniStreamBytes` bytes) with one read per run
  /// of consecutive sectors; bytes beyond the end of the file stay zero.
  void ReadMiniStream(std::uint8_t *out) const;

  /// Reads stream bytes at an offset (see `Source::ReadStream`).
  std::size_t ReadStream(std::uint32_t index, std::uint64_t offset, std::span<std::byte> out) const;

  /// Reads `length` bytes at a file offset that validation found inside the
  /// file; a shorter read means the file shrank since it was opened.
  void ReadBytes(std::uint64_t offset, void *buffer, std::size_t length) const;

  /// Drops the locks and closes the file.
  void Close();

private:
  Reader() = default;
  /// Reads the header of the opened file and validates it.
  static std::unique_ptr<Reader> Load(ReadableFile opened, const std::string &path,
                                      ReadCount *readCount);
  void Validate();
  /// Claims the sectors of a stream's chain that its size needs (no more)
  /// and checks that the chain is long enough and that every byte the
  /// stream needs lies inside the file.
  void ValidateStream(const Entry &entry, SectorOwners &owners, SectorOwners &miniOwners) const;
  /// Calls `visit(offset, length)` for each (mini) sector of the stream's
  /// data in order: file offsets, or offsets in the mini stream when
  /// `inMiniStream` (small streams only).
  template <typename Visit>
  void ForEachPiece(const Entry &entry, bool inMiniStream, Visit &&visit) const;
  /// Appends the runs of a validated stream: file offsets, or offsets in the
  /// mini stream when `inMiniStream` (small streams only).
  void AppendRuns(const Entry &entry, bool inMiniStream, std::vector<ByteRun> &runs) const;
  /// File offset of `length` bytes at the start of a stream's (mini) sector.
  /// Throws `MiniStreamOutsideRoot`, or `TruncatedFile` when they pass the
  /// end of the file.
  std::uint64_t DataOffset(const Entry &entry, bool mini, std::uint32_t sector,
                           std::uint64_t length) const;

  FileDescriptor descriptor;
  SectorFile file;
  Header header;
  Fat fat;
  MiniFat miniFat;
  Tree tree;
  /// The sectors of the root's chain that hold the mini stream (as many as its size needs).
  std::vector<std::uint32_t> miniStreamSectors;
  std::uint32_t miniSectorCount = 0; ///< 64-byte sectors in the mini stream

  // The runs of the stream read last, so that sequential reads stay cheap.
  mutable std::uint32_t cachedIndex = kNoParent;
  mutable std::vector<ByteRun> cachedRuns;
  mutable std::vector<std::uint64_t> cachedStarts; // stream offset of each run
};

} // namespace cfb

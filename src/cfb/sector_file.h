//===- cfb/sector_file.h - The sectors of one open compound file -----------===//
///
/// \file
/// A compound file is a run of equal sectors after the header. This is the
/// geometry of one open file and the reads of whole structure sectors.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cfb/io.h"

namespace cfb {

/// The sector geometry of one open file.
struct SectorFile {
  int fd = -1;
  std::string path;
  std::uint64_t fileSize = 0;
  std::uint32_t sectorShift = 9;
  /// Sectors that lie at least partly inside the file. A final sector cut
  /// short by the end of the file still counts (see ReadFullSector).
  std::uint32_t sectorCount = 0;
  /// Where the bytes read from the file are counted; none when null.
  ReadCount *readCount = nullptr;

  std::uint32_t SectorSize() const { return 1u << sectorShift; }
  /// File offset of a sector: the header takes the place of sector -1.
  std::uint64_t Offset(std::uint32_t sector) const {
    return (static_cast<std::uint64_t>(sector) + 1) << sectorShift;
  }
  /// Reads up to `length` bytes at `offset`, as `ReadAt`, and counts them.
  std::size_t Read(std::uint64_t offset, void *out, std::size_t length) const;
  /// Counts bytes that left the file other than through `Read` (a copy
  /// made by the kernel from file to file).
  void CountRead(std::uint64_t bytes) const {
    if (readCount != nullptr)
      readCount->bytes += bytes;
  }
  /// Reads a whole sector of a structure (FAT, DIFAT, mini FAT, directory).
  /// Structures are never cut short: a sector that does not lie entirely in
  /// the file is `TruncatedFile`.
  void ReadFullSector(std::uint32_t sector, std::uint8_t *out, const char *where) const;
  /// Reads `count` whole sectors one after another into `out`, with one
  /// read for each run of consecutive sector ids.
  void ReadFullSectors(const std::uint32_t *sectors, std::size_t count, std::uint8_t *out,
                       const char *where) const;
};

} // namespace cfb

//===- tests/support/raw_view.h - Reading a compound file's fields directly ===//
///
/// \file
/// A deliberately simple reader of a compound file's bytes for checking what
/// the library wrote and for finding where to damage a valid file: header
/// fields, the FAT (through the DIFAT), the mini FAT, the directory sectors
/// and entries, and the file offsets of each. Trusts its input; tests only.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velkor::test {

struct RawEntry {
  std::u16string name;
  std::uint8_t type = 0, color = 0;
  std::uint32_t left = 0, right = 0, child = 0, start = 0;
  std::uint64_t size = 0;
};

class RawView {
public:
  explicit RawView(std::vector<std::uint8_t> bytes);

  std::uint16_t U16(std::uint64_t at) const;
  std::uint32_t U32(std::uint64_t at) const;
  std::uint64_t U64(std::uint64_t at) const;

  std::uint32_t sectorSize = 512;
  std::uint32_t sectorCount = 0;         ///< sectors after the header
  std::vector<std::uint32_t> fatSectors; ///< from the header and the DIFAT chain
  std::vector<std::uint32_t> difatSectors;
  std::vector<std::uint32_t> fat; ///< all FAT entries
  std::vector<std::uint32_t> dirSectors;
  std::vector<std::uint32_t> miniFatSectors;
  std::vector<std::uint32_t> miniFat;
  std::uint32_t entryCount = 0;  ///< directory slots
  std::vector<RawEntry> entries; ///< the directory, every slot
  std::vector<std::uint8_t> bytes;

  std::vector<std::uint32_t> Chain(std::uint32_t start) const;
  std::uint64_t Offset(std::uint32_t sector) const {
    return (std::uint64_t{sector} + 1) * sectorSize;
  }
  /// File offset of the FAT entry of a sector / the mini FAT entry of a mini
  /// sector / the 128-byte directory entry with this id.
  std::uint64_t FatEntryOffset(std::uint32_t sector) const;
  std::uint64_t MiniFatEntryOffset(std::uint32_t miniSector) const;
  std::uint64_t DirEntryOffset(std::uint32_t id) const;
};

} // namespace velkor::test

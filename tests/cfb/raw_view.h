//===- tests/cfb/raw_view.h - Reading a written file's fields directly -----===//
///
/// \file
/// A deliberately simple reader of a compound file's bytes for checking what
/// the library wrote: header fields, the FAT (through the DIFAT), the mini
/// FAT and the directory entries. Trusts its input; tests only.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cfbtest {

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
  std::vector<std::uint32_t> fatSectors;   ///< from the header and the DIFAT chain
  std::vector<std::uint32_t> fat;          ///< all FAT entries
  std::vector<std::uint32_t> miniFat;
  std::vector<RawEntry> entries;           ///< the directory, every slot
  std::vector<std::uint8_t> bytes;

  std::vector<std::uint32_t> Chain(std::uint32_t start) const;
  std::uint64_t Offset(std::uint32_t sector) const { return (std::uint64_t{sector} + 1) * sectorSize; }
};

}  // namespace cfbtest

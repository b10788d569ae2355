//===- cfb/mini_fat.h - The mini FAT (MS-CFB 2.4) -------------------------===//
#pragma once

#include "cfb/chain.h"
#include "cfb/sector_file.h"
#include "cfb/fat.h"
#include "cfb/header.h"

#include <cstdint>
#include <vector>

namespace cfb {

/// The mini FAT: for each 64-byte mini sector of the mini stream, the next
/// mini sector of its chain.
class MiniFat {
public:
  /// Follows the mini FAT's chain in the FAT (claiming its sectors) and reads
  /// it. Throws `FormatError`.
  static MiniFat Load(const SectorFile &file, const Header &header, const Fat &fat,
                      SectorOwners &owners);

  const std::vector<std::uint32_t> &Table() const { return table; }

private:
  std::vector<std::uint32_t> table;
};

} // namespace cfb

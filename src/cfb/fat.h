//===- cfb/fat.h - The file allocation table, read through the DIFAT ------===//
#pragma once

#include "cfb/chain.h"
#include "cfb/sector_file.h"
#include "cfb/header.h"

#include <cstdint>
#include <vector>

namespace cfb {

/// The FAT (MS-CFB 2.3): for each sector, the next sector of its chain. Only
/// the entries of sectors that exist in the file are kept, so a header that
/// claims a huge FAT costs no more memory than the file's own sector count.
class Fat {
public:
  /// Collects the FAT sector ids from the header's 109 DIFAT entries and the
  /// DIFAT chain (MS-CFB 2.5), claims the FAT and DIFAT sectors in `owners`
  /// and reads the FAT. Throws `FormatError`.
  static Fat Load(const SectorFile &file, const Header &header, SectorOwners &owners);

  const std::vector<std::uint32_t> &Table() const { return table; }

private:
  std::vector<std::uint32_t> table;
};

} // namespace cfb

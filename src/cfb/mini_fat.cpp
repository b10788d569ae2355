//===- cfb/mini_fat.cpp - Reading the mini FAT ----------------------------===//
#include "cfb/mini_fat.h"

#include "cfb/constants.h"
#include "cfb/io.h"

namespace cfb {

MiniFat MiniFat::Load(const SectorFile &file, const Header &header, const Fat &fat,
                      SectorOwners &owners) {
  // The header's mini FAT sector count is not trusted; the chain decides.
  // A file without small streams has ENDOFCHAIN here and an empty table.
  std::vector<std::uint32_t> sectors =
      FollowChain(fat.Table(), header.firstMiniFatSector, file.sectorCount, owners, "mini FAT");
  const std::uint32_t perSector = file.SectorSize() / 4;
  MiniFat miniFat;
  // The chain claimed its sectors, so its length is bounded by the file.
  std::vector<std::uint8_t> bytes(sectors.size() * std::size_t{file.SectorSize()});
  file.ReadFullSectors(sectors.data(), sectors.size(), bytes.data(), "mini FAT");
  miniFat.table.resize(sectors.size() * std::size_t{perSector});
  for (std::size_t i = 0; i < miniFat.table.size(); ++i)
    miniFat.table[i] = Load32(bytes.data() + 4 * i);
  return miniFat;
}

} // namespace cfb

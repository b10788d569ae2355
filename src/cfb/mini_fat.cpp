//===- cfb/mini_fat.cpp - Reading the mini FAT ----------------------------===//
#include "cfb/mini_fat.h"

#include "cfb/constants.h"
#include "cfb/io.h"

namespace cfb {

MiniFat MiniFat::Load(const SectorFile& file, const Header& header, const Fat& fat,
                      SectorOwners& owners) {
  // The header's mini FAT sector count is not trusted; the chain decides.
  // A file without small streams has ENDOFCHAIN here and an empty table.
  std::vector<std::uint32_t> sectors =
      FollowChain(fat.Table(), header.firstMiniFatSector, file.sectorCount, owners, "mini FAT");
  const std::uint32_t perSector = file.SectorSize() / 4;
  MiniFat miniFat;
  miniFat.table.reserve(sectors.size() * perSector);
  std::vector<std::uint8_t> sector(file.SectorSize());
  for (std::uint32_t at : sectors) {
    file.ReadFullSector(at, sector.data(), "mini FAT");
    for (std::uint32_t i = 0; i < perSector; ++i)
      miniFat.table.push_back(Load32(sector.data() + 4 * i));
  }
  return miniFat;
}

}  // namespace cfb

//===- cfb/mini_fat.cpp - Reading the mini FAT ----------------------------===//
#include "cfb/mini_fat.h"

#include "cfb/constants.h"
#include "cfb/io.h"

#include <algorithm>
#include <memory>

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
  // Read in batches through a buffer left uninitialised (every byte used is
  // read first); the table is filled in order, not set first.
  constexpr std::size_t kBatch = 256;
  const std::size_t sectorSize = file.SectorSize();
  std::unique_ptr<std::uint8_t[]> batch(
      new std::uint8_t[std::min(sectors.size(), kBatch) * sectorSize]);
  miniFat.table.reserve(sectors.size() * std::size_t{perSector});
  for (std::size_t first = 0; first < sectors.size(); first += kBatch) {
    std::size_t count = std::min(kBatch, sectors.size() - first);
    file.ReadFullSectors(sectors.data() + first, count, batch.get(), "mini FAT");
    for (std::size_t i = 0; i < count * perSector; ++i)
      miniFat.table.push_back(Load32(batch.get() + 4 * i));
  }
  return miniFat;
}

} // namespace cfb

//===- cfb/fat.cpp - Reading the DIFAT and the FAT ------------------------===//
#include "cfb/fat.h"

#include "cfb/constants.h"
#include "cfb/io.h"

#include <algorithm>
#include <memory>

namespace cfb {

Fat Fat::Load(const SectorFile &file, const Header &header, SectorOwners &owners) {
  const std::uint32_t sectorSize = file.SectorSize();
  const std::uint32_t perSector = sectorSize / 4;
  // Counts from the header are capped by what the file can hold before
  // anything is allocated from them.
  if (header.fatSectorCount > file.sectorCount)
    throw FormatError(Reason::CountOutOfRange, header.fatSectorCount, "header FAT sector count");
  if (header.difatSectorCount > file.sectorCount)
    throw FormatError(Reason::CountOutOfRange, header.difatSectorCount,
                      "header DIFAT sector count");

  std::vector<std::uint32_t> fatSectors;
  fatSectors.reserve(header.fatSectorCount);
  for (std::uint32_t i = 0; i < kHeaderDifatCount && fatSectors.size() < header.fatSectorCount; ++i)
    fatSectors.push_back(header.difat[i]);
  // Tolerance (MS-CFB 2.5): writers pad the unused DIFAT entries, in the
  // header and in the last DIFAT sector, with FREESECT; they are not read.
  // The last DIFAT sector's next link may be ENDOFCHAIN or FREESECT.
  // Read buffers are left uninitialised: every byte used is read first.
  std::unique_ptr<std::uint8_t[]> sector(new std::uint8_t[sectorSize]);
  std::uint32_t difatOwner = owners.NewOwner();
  for (std::uint32_t at = header.firstDifatSector; fatSectors.size() < header.fatSectorCount;) {
    if (at == kEndOfChain || at == kFreeSect)
      throw FormatError(Reason::ShortChain, fatSectors.size(), "DIFAT");
    if (at >= file.sectorCount)
      throw FormatError(Reason::SectorOutOfRange, at, "DIFAT");
    owners.Claim(at, difatOwner, "DIFAT");
    file.ReadFullSector(at, sector.get(), "DIFAT");
    for (std::uint32_t i = 0; i + 1 < perSector && fatSectors.size() < header.fatSectorCount; ++i)
      fatSectors.push_back(Load32(sector.get() + 4 * i));
    at = Load32(sector.get() + 4 * (perSector - 1));
  }

  Fat fat;
  std::uint64_t covered = static_cast<std::uint64_t>(fatSectors.size()) * perSector;
  const auto entryCount =
      static_cast<std::size_t>(std::min<std::uint64_t>(covered, file.sectorCount));
  for (std::uint32_t fatSector : fatSectors) {
    if (fatSector >= file.sectorCount)
      throw FormatError(Reason::SectorOutOfRange, fatSector, "DIFAT");
    // Each FAT sector is its own one-sector chain: one listed twice, or one
    // that is also a DIFAT sector, is a cross-link.
    owners.Claim(fatSector, owners.NewOwner(), "FAT");
  }
  // Only the FAT sectors that describe sectors of the file are read (the
  // others' entries are never followed), in batches of up to 256 sectors
  // with one read per run of consecutive sectors.
  // The table is filled in order as the sectors are read, not set first.
  const std::size_t needed = static_cast<std::size_t>(CeilDiv(entryCount, perSector));
  constexpr std::size_t kBatch = 256;
  std::unique_ptr<std::uint8_t[]> batch(
      new std::uint8_t[std::min(needed, kBatch) * std::size_t{sectorSize}]);
  fat.table.reserve(entryCount);
  for (std::size_t first = 0; first < needed; first += kBatch) {
    std::size_t count = std::min(kBatch, needed - first);
    file.ReadFullSectors(fatSectors.data() + first, count, batch.get(), "FAT");
    std::size_t entries = std::min<std::size_t>(count * perSector, entryCount - first * perSector);
    for (std::size_t i = 0; i < entries; ++i)
      fat.table.push_back(Load32(batch.get() + 4 * i));
  }
  return fat;
}

} // namespace cfb

//===- cfb/chain.cpp - Walking sector chains with loop and cross-link checks ===//
#include "cfb/chain.h"

#include "cfb/constants.h"
#include "cfb/io.h"

#include <stdexcept>

namespace cfb {

void SectorFile::ReadFullSector(std::uint32_t sector, std::uint8_t* out,
                                const char* where) const {
  std::uint64_t offset = Offset(sector);
  std::uint32_t size = SectorSize();
  if (sector >= sectorCount || offset + size > fileSize)
    throw FormatError(Reason::TruncatedFile, sector, where);
  if (ReadAt(fd, offset, out, size, path) != size)
    throw FormatError(Reason::TruncatedFile, sector, where);
}

void SectorFile::ReadFullSectors(const std::uint32_t* sectors, std::size_t count,
                                 std::uint8_t* out, const char* where) const {
  const std::uint32_t size = SectorSize();
  for (std::size_t i = 0; i < count;) {
    std::size_t run = 1;
    while (i + run < count && sectors[i + run] == sectors[i] + run) ++run;
    const std::uint32_t last = sectors[i + run - 1];
    if (sectors[i] >= sectorCount || last >= sectorCount || Offset(last) + size > fileSize)
      throw FormatError(Reason::TruncatedFile, sectors[i] >= sectorCount ? sectors[i] : last, where);
    std::size_t length = run * std::size_t{size};
    if (ReadAt(fd, Offset(sectors[i]), out + i * std::size_t{size}, length, path) != length)
      throw FormatError(Reason::TruncatedFile, sectors[i], where);
    i += run;
  }
}

void SectorOwners::Claim(std::uint32_t sector, std::uint32_t ownerId, const char* where) {
  if (sector >= count) throw std::out_of_range("sector owner table");
  std::unique_ptr<std::uint32_t[]>& page = pages[sector / kPageSize];
  if (!page) page = std::make_unique<std::uint32_t[]>(kPageSize);  // zeroed: no owner
  std::uint32_t& slot = page[sector % kPageSize];
  if (slot == ownerId) throw FormatError(Reason::ChainLoop, sector, where);
  if (slot != 0) throw FormatError(Reason::CrossLinkedChain, sector, where);
  slot = ownerId;
}

std::vector<std::uint32_t> FollowChain(const std::vector<std::uint32_t>& table,
                                       std::uint32_t start, std::uint32_t limit,
                                       SectorOwners& owners, const char* where,
                                       std::uint64_t maxLength) {
  std::vector<std::uint32_t> sectors;
  WalkChain(table, start, limit, maxLength, owners, where, Reason::SectorOutOfRange,
            [&](std::uint32_t sector) { sectors.push_back(sector); });
  return sectors;
}

}  // namespace cfb

//===- cfb/chain.cpp - Walking sector chains with loop and cross-link checks ===//
#include "cfb/chain.h"

#include "cfb/constants.h"

#include <cassert>

namespace cfb {

void SectorOwners::Claim(std::uint32_t sector, std::uint32_t ownerId, const char *where) {
  assert(sector < count && "a chain walk claimed a sector beyond the file's sectors");
  std::unique_ptr<std::uint32_t[]> &page = pages[sector / kPageSize];
  if (!page)
    page = std::make_unique<std::uint32_t[]>(kPageSize); // zeroed: no owner
  std::uint32_t &slot = page[sector % kPageSize];
  if (slot == ownerId)
    throw FormatError(Reason::ChainLoop, sector, where);
  if (slot != 0)
    throw FormatError(Reason::CrossLinkedChain, sector, where);
  slot = ownerId;
}

std::vector<std::uint32_t> FollowChain(const std::vector<std::uint32_t> &table, std::uint32_t start,
                                       std::uint32_t limit, SectorOwners &owners, const char *where,
                                       std::uint64_t maxLength) {
  std::vector<std::uint32_t> sectors;
  WalkChain(table, start, limit, maxLength, owners, where, Reason::SectorOutOfRange,
            [&](std::uint32_t sector) { sectors.push_back(sector); });
  return sectors;
}

} // namespace cfb

//===- cfb/chain.h - Sector chains and who owns each sector ---------------===//
///
/// \file
/// A compound file is a run of equal sectors after the header; every
/// structure and every stream is a chain of them, linked by a table (the FAT
/// for sectors, the mini FAT for mini sectors). This file walks such chains
/// without trusting them: each sector is claimed by exactly one chain, so a
/// chain that comes back to itself is a loop and one that runs into another
/// chain is a cross-link, and every walk ends after at most as many steps as
/// there are sectors. A chain with a known length (a stream's, whose size
/// says how many sectors it needs) is walked only that far: what its links
/// say beyond that is never followed, claimed or read.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "cfb/constants.h"
#include "cfb/error.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace cfb {

/// Which chain owns each sector (0: none yet).
class SectorOwners {
public:
  /// A table for sector ids 0 .. count-1. Its pages are made when a sector
  /// in them is first claimed, so its memory follows the sectors the file's
  /// chains use, not the file's length (a small document at the start of a
  /// huge sparse file costs a few pages).
  explicit SectorOwners(std::uint32_t count)
      : count(count), pages((static_cast<std::uint64_t>(count) + kPageSize - 1) / kPageSize) {}

  /// A fresh owner id for the next chain.
  std::uint32_t NewOwner() { return ++lastOwner; }

  /// Claims `sector` for `ownerId`. Throws `ChainLoop` when that chain holds
  /// it already, `CrossLinkedChain` when another chain does.
  void Claim(std::uint32_t sector, std::uint32_t ownerId, const char *where);

private:
  static constexpr std::uint32_t kPageSize = 4096;
  std::uint32_t count;
  std::vector<std::unique_ptr<std::uint32_t[]>> pages;
  std::uint32_t lastOwner = 0;
};

/// No limit on a chain's length: it is followed to its ENDOFCHAIN.
inline constexpr std::uint64_t kWholeChain = ~std::uint64_t{0};

/// Follows a chain from `start` through `table` until kEndOfChain or until
/// `maxLength` sectors have been visited, claiming every sector visited for
/// a new owner and handing each to `visit` in order. The link out of the
/// last sector visited is not looked at when `maxLength` stops the walk.
/// Ids at or beyond `limit` (or markers) are refused with `outOfRange`
/// (usually `SectorOutOfRange`); links read from beyond the table's end are
/// `SectorOutOfRange`. Returns the number of sectors visited.
template <typename Visit>
std::uint64_t WalkChain(const std::vector<std::uint32_t> &table, std::uint32_t start,
                        std::uint32_t limit, std::uint64_t maxLength, SectorOwners &owners,
                        const char *where, Reason outOfRange, Visit &&visit) {
  std::uint32_t ownerId = owners.NewOwner();
  std::uint64_t length = 0;
  // Each step claims a new sector, so the walk ends after at most `limit` steps.
  for (std::uint32_t at = start; at != kEndOfChain && length < maxLength;) {
    if (at > kMaxRegSect)
      throw FormatError(Reason::SectorOutOfRange, at, where);
    if (at >= limit)
      throw FormatError(outOfRange, at, where);
    if (at >= table.size())
      throw FormatError(Reason::SectorOutOfRange, at, where);
    owners.Claim(at, ownerId, where);
    visit(at);
    ++length;
    at = table[at];
  }
  return length;
}

/// `WalkChain` that returns the sectors in order.
std::vector<std::uint32_t> FollowChain(const std::vector<std::uint32_t> &table, std::uint32_t start,
                                       std::uint32_t limit, SectorOwners &owners, const char *where,
                                       std::uint64_t maxLength = kWholeChain);

/// A stretch of bytes in the file.
struct ByteRun {
  std::uint64_t offset;
  std::uint64_t length;
};

/// Appends a run, merging it with the last one when they touch, so that
/// contiguous sectors are read with one call.
inline void AppendRun(std::vector<ByteRun> &runs, std::uint64_t offset, std::uint64_t length) {
  if (length == 0)
    return;
  if (!runs.empty() && runs.back().offset + runs.back().length == offset)
    runs.back().length += length;
  else
    runs.push_back({offset, length});
}

} // namespace cfb

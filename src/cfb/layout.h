//===- cfb/layout.h - Planning the sectors of a fresh compound file -------===//
///
/// \file
/// Everything about a copy's layout is decided before a byte is written, so
/// that the file comes out gap-free and in one sequential pass, and its size
/// is known in advance. Sector order:
///
///   header | FAT | DIFAT | directory | mini FAT | mini stream | streams
///
/// Streams below 4096 bytes live in the mini stream, in tree order, each
/// starting on a 64-byte mini sector; larger streams follow in tree order,
/// each starting on a sector. The directory is the tree in pre-order (entry
/// id = tree index) with each storage's children in a red-black tree.
///
/// Regions are planned in logical sector numbers, 0, 1, 2, ... A version 4
/// file that grows past 2 GB must keep the range lock sector (the one that
/// covers file offsets 0x7FFFFF00-0x7FFFFFFF, MS-CFB 2.2) out of every chain
/// and mark it ENDOFCHAIN; that sector is skipped when logical numbers are
/// turned into the sector ids written to the file (`Physical`).
///
//===----------------------------------------------------------------------===//
#pragma once

#include "cfb/tree.h"

#include <cstdint>
#include <vector>

namespace cfb {

/// Links of one entry in its sibling tree (local indexes into the sorted
/// sibling list; -1 for none) and its colour.
struct SiblingNode {
  std::int32_t left = -1;
  std::int32_t right = -1;
  bool red = false;
};

/// Builds a red-black tree over `count` siblings already in name order: the
/// balanced binary tree of the middle elements, with the nodes of an
/// incomplete last level red and all others black. Root black, no red node
/// with a red child, equal black height on every path. Returns the nodes;
/// `root` receives the root's index (-1 when count is 0). Iterative.
std::vector<SiblingNode> BuildSiblingTree(std::uint32_t count, std::int32_t &root);

/// The planned layout of a copy of one tree.
struct Layout {
  std::uint16_t majorVersion = 3;
  std::uint32_t sectorShift = 9;
  std::uint32_t fatSectors = 0;
  std::uint32_t difatSectors = 0;
  std::uint32_t dirSectors = 0;
  std::uint32_t miniFatSectors = 0;
  std::uint32_t miniStreamSectors = 0;
  std::uint32_t dataSectors = 0;  ///< sectors of all regular streams
  std::uint32_t miniSectors = 0;  ///< 64-byte mini sectors in use
  std::uint32_t totalSectors = 0; ///< all sectors after the header, range lock included
  /// Sector id of the range lock sector, or kFreeSect when the file has none.
  std::uint32_t rangeLockSector = 0xFFFFFFFFu;

  // First logical sector of each region (meaningful only when it is not empty).
  std::uint32_t firstDifat = 0;
  std::uint32_t firstDir = 0;
  std::uint32_t firstMiniFat = 0;
  std::uint32_t firstMiniStream = 0;
  std::uint32_t firstData = 0;

  /// Per tree entry: its start (the logical sector of a regular stream or of
  /// the root's mini stream, the mini sector of a small stream, ENDOFCHAIN
  /// for empty streams and for a root without mini stream, 0 for storages)
  /// and its sibling-tree links and colour as directory ids.
  std::vector<std::uint32_t> startSector;
  std::vector<std::uint32_t> left, right, child;
  std::vector<bool> red;

  std::uint32_t SectorSize() const { return 1u << sectorShift; }
  /// The sector id written to the file for a logical sector number.
  std::uint32_t Physical(std::uint32_t logical) const {
    return logical < rangeLockSector ? logical : logical + 1;
  }
  /// Total bytes of the file: header sector plus all sectors.
  std::uint64_t FileSize() const {
    return (static_cast<std::uint64_t>(totalSectors) + 1) << sectorShift;
  }
};

/// Plans a copy: version 3 with 512-byte sectors unless that file would reach
/// 2 GiB, then version 4 with 4096-byte sectors. The FAT and DIFAT sizes are
/// iterated to the least values that cover every sector, themselves
/// included. Throws `FormatError` (`TooLarge`) when even version 4 cannot
/// hold the tree. `minimumVersion` 4 asks for version 4 whatever the size,
/// and `rangeLockOffset` moves the range lock (both for tests of the
/// version 4 writer).
inline constexpr std::uint64_t kRangeLockOffset = 0x7FFFFF00ull;
Layout PlanLayout(const Tree &tree, std::uint16_t minimumVersion = 3,
                  std::uint64_t rangeLockOffset = kRangeLockOffset);

} // namespace cfb

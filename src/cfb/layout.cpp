//===- cfb/layout.cpp - Least-size layout and red-black sibling trees -----===//
#include "cfb/layout.h"

#include "cfb/constants.h"
#include "cfb/error.h"

#include <cassert>
#include <optional>

namespace cfb {

namespace {

// Sector counts for one sector size; nothing when they do not fit 32 bits.
std::optional<Layout> Plan(const Tree &tree, std::uint16_t version, std::uint32_t shift,
                           std::uint64_t rangeLockOffset) {
  Layout layout;
  layout.majorVersion = version;
  layout.sectorShift = shift;
  const std::uint64_t sectorSize = 1ull << shift;
  const std::uint64_t perSector = sectorSize / 4;

  std::uint64_t miniSectors = 0;
  std::uint64_t dataSectors = 0;
  for (const Entry &entry : tree.entries) {
    if (entry.kind != EntryKind::Stream || entry.size == 0)
      continue;
    if (entry.size < kMiniStreamCutoff)
      miniSectors += CeilDiv(entry.size, kMiniSectorSize);
    else
      dataSectors += CeilDiv(entry.size, sectorSize);
  }
  const std::uint64_t dirSectors =
      CeilDiv(tree.entries.size() * std::uint64_t{kDirEntrySize}, sectorSize);
  const std::uint64_t miniFatSectors = CeilDiv(miniSectors, perSector);
  const std::uint64_t miniStreamSectors = CeilDiv(miniSectors * kMiniSectorSize, sectorSize);
  const std::uint64_t base = dirSectors + miniFatSectors + miniStreamSectors + dataSectors;

  // Version 4 only: the sector holding the range lock bytes, once the file
  // reaches it. (The header takes the place of sector -1.)
  const std::uint64_t rangeLock =
      version == kMajorVersion4 ? rangeLockOffset / sectorSize - 1 : ~std::uint64_t{0};

  // The FAT must describe every sector, its own and the DIFAT's included;
  // the DIFAT lists the FAT sectors beyond the header's 109. All three terms
  // only grow as the count grows, so iterating from below stops at the
  // least fixed point.
  std::uint64_t fat = CeilDiv(base, perSector);
  std::uint64_t difat = 0;
  std::uint64_t reserved = 0;
  for (;;) {
    difat = fat > kHeaderDifatCount ? CeilDiv(fat - kHeaderDifatCount, perSector - 1) : 0;
    reserved = base + fat + difat > rangeLock ? 1 : 0;
    std::uint64_t needed = CeilDiv(base + fat + difat + reserved, perSector);
    if (needed == fat)
      break;
    fat = needed;
  }
  const std::uint64_t total = base + fat + difat + reserved;
  if (total > kMaxRegSect || miniSectors > kMaxRegSect)
    return std::nullopt;

  layout.fatSectors = static_cast<std::uint32_t>(fat);
  layout.difatSectors = static_cast<std::uint32_t>(difat);
  layout.dirSectors = static_cast<std::uint32_t>(dirSectors);
  layout.miniFatSectors = static_cast<std::uint32_t>(miniFatSectors);
  layout.miniStreamSectors = static_cast<std::uint32_t>(miniStreamSectors);
  layout.dataSectors = static_cast<std::uint32_t>(dataSectors);
  layout.miniSectors = static_cast<std::uint32_t>(miniSectors);
  layout.totalSectors = static_cast<std::uint32_t>(total);
  layout.rangeLockSector = reserved ? static_cast<std::uint32_t>(rangeLock) : kFreeSect;
  layout.firstDifat = layout.fatSectors;
  layout.firstDir = layout.firstDifat + layout.difatSectors;
  layout.firstMiniFat = layout.firstDir + layout.dirSectors;
  layout.firstMiniStream = layout.firstMiniFat + layout.miniFatSectors;
  layout.firstData = layout.firstMiniStream + layout.miniStreamSectors;
  return layout;
}

void AssignSectorsAndLinks(const Tree &tree, Layout &layout) {
  const std::size_t count = tree.entries.size();
  // Start sectors and child links are set entry by entry, in order; the
  // sibling links and colours are set by each entry's parent, so they start
  // out as those of an entry without siblings (the root's).
  layout.startSector.clear();
  layout.startSector.reserve(count);
  layout.child.clear();
  layout.child.reserve(count);
  layout.left.assign(count, kNoStream);
  layout.right.assign(count, kNoStream);
  layout.red.assign(count, false);

  std::uint32_t nextMini = 0;
  std::uint32_t nextData = layout.firstData;
  for (std::size_t i = 0; i < count; ++i) {
    const Entry &entry = tree.entries[i];
    if (entry.kind == EntryKind::Root) {
      layout.startSector.push_back(layout.miniSectors > 0 ? layout.firstMiniStream : kEndOfChain);
    } else if (entry.kind == EntryKind::Storage) {
      layout.startSector.push_back(0);
    } else if (entry.size == 0) {
      layout.startSector.push_back(kEndOfChain);
    } else if (entry.size < kMiniStreamCutoff) {
      layout.startSector.push_back(nextMini);
      nextMini += static_cast<std::uint32_t>(CeilDiv(entry.size, kMiniSectorSize));
    } else {
      layout.startSector.push_back(nextData);
      nextData += static_cast<std::uint32_t>(CeilDiv(entry.size, layout.SectorSize()));
    }

    std::int32_t root = -1;
    std::vector<SiblingNode> nodes =
        BuildSiblingTree(static_cast<std::uint32_t>(entry.children.size()), root);
    layout.child.push_back(root >= 0 ? entry.children[static_cast<std::size_t>(root)] : kNoStream);
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      std::uint32_t id = entry.children[k];
      if (nodes[k].left >= 0)
        layout.left[id] = entry.children[static_cast<std::size_t>(nodes[k].left)];
      if (nodes[k].right >= 0)
        layout.right[id] = entry.children[static_cast<std::size_t>(nodes[k].right)];
      layout.red[id] = nodes[k].red;
    }
  }
  assert(nextMini == layout.miniSectors && "mini sectors planned and assigned differ");
  assert(nextData == layout.firstData + layout.dataSectors &&
         "data sectors planned and assigned differ");
  assert(nextData + (layout.rangeLockSector != kFreeSect) == layout.totalSectors &&
         "logical sectors and the file's sectors differ");
}

} // namespace

std::vector<SiblingNode> BuildSiblingTree(std::uint32_t count, std::int32_t &root) {
  std::vector<SiblingNode> nodes(count);
  std::vector<std::uint32_t> depth(count, 0);
  root = -1;
  if (count == 0)
    return nodes;
  struct Range {
    std::uint32_t low, high; // [low, high)
    std::int32_t parent;
    bool isLeft;
    std::uint32_t depth;
  };
  std::vector<Range> stack{{0, count, -1, false, 0}};
  std::uint32_t maxDepth = 0;
  while (!stack.empty()) {
    Range range = stack.back();
    stack.pop_back();
    if (range.low >= range.high)
      continue;
    std::uint32_t mid = range.low + (range.high - range.low) / 2;
    auto node = static_cast<std::int32_t>(mid);
    depth[mid] = range.depth;
    if (range.depth > maxDepth)
      maxDepth = range.depth;
    if (range.parent < 0)
      root = node;
    else if (range.isLeft)
      nodes[static_cast<std::size_t>(range.parent)].left = node;
    else
      nodes[static_cast<std::size_t>(range.parent)].right = node;
    stack.push_back({range.low, mid, node, true, range.depth + 1});
    stack.push_back({mid + 1, range.high, node, false, range.depth + 1});
  }
  // Halving keeps every empty link at depth maxDepth or maxDepth + 1. When
  // the deepest level is not full, its nodes are red: each path then counts
  // maxDepth black nodes, and red nodes have no children at all.
  const bool lastLevelFull = maxDepth < 31 && count == (2u << maxDepth) - 1;
  for (std::uint32_t i = 0; i < count; ++i)
    nodes[i].red = !lastLevelFull && depth[i] == maxDepth && maxDepth > 0;
  return nodes;
}

Layout PlanLayout(const Tree &tree, std::uint16_t minimumVersion, std::uint64_t rangeLockOffset) {
  assert(!tree.entries.empty() && "a tree has at least its root");
  std::optional<Layout> layout;
  if (minimumVersion <= kMajorVersion3)
    layout = Plan(tree, kMajorVersion3, kSectorShiftV3, rangeLockOffset);
  if (!layout || layout->FileSize() >= kVersion3SizeLimit)
    layout = Plan(tree, kMajorVersion4, kSectorShiftV4, rangeLockOffset);
  if (!layout)
    throw FormatError(Reason::TooLarge, tree.entries.size(), "copy layout");
  AssignSectorsAndLinks(tree, *layout);
  return *layout;
}

} // namespace cfb

//===- cfb/directory.h - The directory: entries and their tree ------------===//
#pragma once

#include "cfb/chain.h"
#include "cfb/sector_file.h"
#include "cfb/fat.h"
#include "cfb/header.h"
#include "cfb/tree.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace cfb {

/// The raw bytes of a directory as read from its sectors, 128 per entry.
struct DirectoryBytes {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;

  std::span<const std::uint8_t> View() const { return {bytes.get(), size}; }
};

/// Reads the directory's sectors (its chain claimed in `owners`); returns
/// the raw entry bytes. Throws `FormatError`.
DirectoryBytes LoadDirectory(const SectorFile &file, const Header &header, const Fat &fat,
                             SectorOwners &owners);

/// Walks the directory from the root entry and builds the reachable tree,
/// validating each reachable entry: ids in range, each entry reached once,
/// known types, name lengths, no two siblings with the same name. Sibling
/// trees are walked as they are (their colours and order are not trusted).
/// Stream sizes and start sectors are taken as stored (the high half of a
/// version 3 size dropped); chains are checked by the reader. Iterative: no
/// recursion over the tree, whatever its depth. Throws `FormatError`.
Tree BuildTree(std::span<const std::uint8_t> directory, std::uint16_t majorVersion);

} // namespace cfb

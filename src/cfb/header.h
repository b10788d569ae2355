//===- cfb/header.h - The compound file header (MS-CFB 2.2) ---------------===//
#pragma once

#include "cfb/constants.h"

#include <array>
#include <cstdint>

namespace cfb {

/// The fields of the 512-byte header that the reader uses and the writer sets.
struct Header {
  std::uint16_t majorVersion = kMajorVersion3;
  std::uint16_t sectorShift = kSectorShiftV3;
  std::uint32_t dirSectorCount = 0; ///< 0 in version 3 files
  std::uint32_t fatSectorCount = 0;
  std::uint32_t firstDirSector = kEndOfChain;
  std::uint32_t firstMiniFatSector = kEndOfChain;
  std::uint32_t miniFatSectorCount = 0;
  std::uint32_t firstDifatSector = kEndOfChain;
  std::uint32_t difatSectorCount = 0;
  std::array<std::uint32_t, kHeaderDifatCount> difat{};

  std::uint32_t SectorSize() const { return 1u << sectorShift; }
  /// Bytes before sector 0: the header padded to a whole sector.
  std::uint32_t HeaderSectorSize() const { return SectorSize(); }

  /// Parses and validates the first 512 bytes of a file of `fileSize` bytes:
  /// signature, byte order, version, sector shifts, mini stream cutoff and
  /// that the file holds the whole header sector. Throws `FormatError`.
  static Header Parse(const std::uint8_t *bytes, std::uint64_t fileSize);

  /// Writes the 512 header bytes (the rest of a v4 header sector is zero).
  void Serialize(std::uint8_t *bytes) const;
};

} // namespace cfb

//===- cfb/constants.h - Magic numbers of the Compound File Binary format -===//
///
/// \file
/// Every fixed value of MS-CFB, under the format document's own names, and
/// the rounding every count of sectors uses.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

namespace cfb {

/// How many units of `divisor` bytes hold `value` bytes (rounded up).
constexpr std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t divisor) {
  return value / divisor + (value % divisor != 0);
}

// MS-CFB 2.1: special sector ids.
inline constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFAu; ///< largest regular sector id
inline constexpr std::uint32_t kDifSect = 0xFFFFFFFCu;    ///< FAT entry of a DIFAT sector
inline constexpr std::uint32_t kFatSect = 0xFFFFFFFDu;    ///< FAT entry of a FAT sector
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
inline constexpr std::uint32_t kFreeSect = 0xFFFFFFFFu;

// MS-CFB 2.1: special stream (directory entry) ids.
inline constexpr std::uint32_t kMaxRegSid = 0xFFFFFFFAu;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;

// MS-CFB 2.2: the header.
inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr std::uint16_t kMinorVersion = 0x003E;
inline constexpr std::uint16_t kMajorVersion3 = 3;
inline constexpr std::uint16_t kMajorVersion4 = 4;
inline constexpr std::uint16_t kSectorShiftV3 = 9;   ///< 512-byte sectors
inline constexpr std::uint16_t kSectorShiftV4 = 12;  ///< 4096-byte sectors
inline constexpr std::uint16_t kMiniSectorShift = 6; ///< 64-byte mini sectors
inline constexpr std::uint32_t kMiniSectorSize = 64;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::uint32_t kHeaderSize = 512;       ///< bytes of the header proper
inline constexpr std::uint32_t kHeaderDifatCount = 109; ///< DIFAT entries in the header

// Header field offsets (MS-CFB 2.2).
inline constexpr std::uint32_t kOffSignature = 0x00;
inline constexpr std::uint32_t kOffClassId = 0x08;
inline constexpr std::uint32_t kOffMinorVersion = 0x18;
inline constexpr std::uint32_t kOffMajorVersion = 0x1A;
inline constexpr std::uint32_t kOffByteOrder = 0x1C;
inline constexpr std::uint32_t kOffSectorShift = 0x1E;
inline constexpr std::uint32_t kOffMiniSectorShift = 0x20;
inline constexpr std::uint32_t kOffDirSectorCount = 0x28;
inline constexpr std::uint32_t kOffFatSectorCount = 0x2C;
inline constexpr std::uint32_t kOffFirstDirSector = 0x30;
inline constexpr std::uint32_t kOffTransactionSignature = 0x34;
inline constexpr std::uint32_t kOffMiniStreamCutoff = 0x38;
inline constexpr std::uint32_t kOffFirstMiniFatSector = 0x3C;
inline constexpr std::uint32_t kOffMiniFatSectorCount = 0x40;
inline constexpr std::uint32_t kOffFirstDifatSector = 0x44;
inline constexpr std::uint32_t kOffDifatSectorCount = 0x48;
inline constexpr std::uint32_t kOffDifat = 0x4C;

// MS-CFB 2.6: directory entries.
inline constexpr std::uint32_t kDirEntrySize = 128;
inline constexpr std::uint32_t kMaxNameBytes = 64; ///< name field, terminator included
inline constexpr std::uint8_t kTypeUnknown = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;
inline constexpr std::uint8_t kColorRed = 0;
inline constexpr std::uint8_t kColorBlack = 1;

inline constexpr std::uint32_t kOffEntryName = 0x00;
inline constexpr std::uint32_t kOffEntryNameLength = 0x40;
inline constexpr std::uint32_t kOffEntryType = 0x42;
inline constexpr std::uint32_t kOffEntryColor = 0x43;
inline constexpr std::uint32_t kOffEntryLeft = 0x44;
inline constexpr std::uint32_t kOffEntryRight = 0x48;
inline constexpr std::uint32_t kOffEntryChild = 0x4C;
inline constexpr std::uint32_t kOffEntryClassId = 0x50;
inline constexpr std::uint32_t kOffEntryStateBits = 0x60;
inline constexpr std::uint32_t kOffEntryCreationTime = 0x64;
inline constexpr std::uint32_t kOffEntryModifiedTime = 0x6C;
inline constexpr std::uint32_t kOffEntryStartSector = 0x74;
inline constexpr std::uint32_t kOffEntrySize = 0x78;

/// Copies are version 3 unless they would reach this size (MS-CFB 2.9: a
/// file with 512-byte sectors must be no greater than 2 GB).
inline constexpr std::uint64_t kVersion3SizeLimit = 0x80000000ull;

} // namespace cfb

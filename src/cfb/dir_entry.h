//===- cfb/dir_entry.h - One 128-byte directory entry (MS-CFB 2.6) --------===//
#pragma once

#include "cfb/constants.h"
#include "cfb/tree.h"

#include <cstdint>
#include <string>

namespace cfb {

/// The fields of a directory entry as stored, without interpretation.
struct DirEntry {
  std::u16string name;          ///< code units before the terminator (nameLength/2 - 1 of them)
  std::uint16_t nameLength = 0; ///< bytes, terminator included
  std::uint8_t type = kTypeUnknown;
  std::uint8_t color = kColorBlack;
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  ClassId classId{};
  std::uint32_t stateBits = 0;
  std::uint64_t creationTime = 0;
  std::uint64_t modifiedTime = 0;
  std::uint32_t startSector = 0;
  std::uint64_t size = 0; ///< all 64 bits as stored

  /// Reads the fields of the 128 bytes at `bytes`. The name is taken only
  /// when its length field is valid (even, 2..64); otherwise it stays empty.
  static DirEntry Parse(const std::uint8_t *bytes);

  /// Writes 128 bytes; the name's length field is derived from `name`.
  void Serialize(std::uint8_t *bytes) const;

  /// The bytes of an unused entry: zero except the three links, NOSTREAM.
  static void SerializeUnused(std::uint8_t *bytes);
};

} // namespace cfb

//===- cfb/tree.h - The storage tree of a compound file, for listing ------===//
///
/// \file
/// What a compound file holds, as a plain model: entry 0 is the root, the
/// other entries follow in pre-order, and each storage lists its children in
/// the format's name order (MS-CFB 2.6.4: shorter names first, then the names
/// compared after a per-character uppercase). Built by the reader after
/// validation; the writer lays the copy out in exactly this order.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cfb {

/// A class id (CLSID) as the 16 bytes stored in the file.
using ClassId = std::array<std::uint8_t, 16>;

enum class EntryKind : std::uint8_t {
  Root,    ///< the root storage (entry 0)
  Storage, ///< a storage (a directory inside the file)
  Stream,  ///< a stream (a file inside the file)
};

/// One reachable directory entry.
struct Entry {
  /// The name as stored: UTF-16 code units without the terminating zero.
  /// Never altered, so that copies keep names byte for byte.
  std::u16string name;
  /// The name converted to UTF-8 for display (unpaired surrogates become
  /// U+FFFD; control characters such as the 0x05 of "\x05SummaryInformation"
  /// are kept as they are; a front end escapes them if it wants to).
  std::string displayName;
  EntryKind kind = EntryKind::Stream;
  /// Bytes in a stream; 0 for a storage; for the root, the size of its mini
  /// stream (an internal structure, not content).
  std::uint64_t size = 0;
  ClassId classId{};
  std::uint32_t stateBits = 0;
  std::uint64_t creationTime = 0; ///< FILETIME: 100 ns ticks since 1601-01-01 UTC
  std::uint64_t modifiedTime = 0; ///< FILETIME
  /// Index of the parent in `Tree::entries`; `kNoParent` for the root.
  std::uint32_t parent = 0;
  /// Indexes of the children in `Tree::entries`, in the format's name order.
  std::vector<std::uint32_t> children;
  /// The entry's id in its file's directory (its stream id).
  std::uint32_t directoryId = 0;
  /// First sector (regular or mini, by size) of a stream's data in its file.
  std::uint32_t startSector = 0;
};

inline constexpr std::uint32_t kNoParent = 0xFFFFFFFFu;

/// The reachable tree of one compound file.
struct Tree {
  std::vector<Entry> entries; ///< entries[0] is the root; pre-order

  /// The entry's path from the root, names joined with '/' (UTF-8; the root is "/").
  std::string PathOf(std::uint32_t index) const;
};

/// The class id in registry form, "{00020906-0000-0000-C000-000000000046}".
std::string FormatClassId(const ClassId &classId);

/// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string &text);

/// The format's order of sibling names (MS-CFB 2.6.4): a shorter name sorts
/// first; names of equal length compare code unit by code unit after simple
/// uppercasing (the basic plane's simple uppercase mappings, compiled in from
/// the Unicode character database, so the order is the same on every machine).
/// Returns <0, 0 or >0. Two siblings may not compare equal.
int CompareNames(const std::u16string &a, const std::u16string &b);

} // namespace cfb

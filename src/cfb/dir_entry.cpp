//===- cfb/dir_entry.cpp - Reading and writing directory entries ----------===//
#include "cfb/dir_entry.h"

#include "cfb/io.h"

#include <cassert>
#include <cstring>

namespace cfb {

DirEntry DirEntry::Parse(const std::uint8_t *bytes) {
  DirEntry entry;
  entry.nameLength = Load16(bytes + kOffEntryNameLength);
  if (entry.nameLength >= 2 && entry.nameLength <= kMaxNameBytes && entry.nameLength % 2 == 0) {
    std::size_t units = entry.nameLength / 2 - 1;
    entry.name.resize(units);
    for (std::size_t i = 0; i < units; ++i)
      entry.name[i] = static_cast<char16_t>(Load16(bytes + kOffEntryName + 2 * i));
  }
  entry.type = bytes[kOffEntryType];
  entry.color = bytes[kOffEntryColor];
  entry.left = Load32(bytes + kOffEntryLeft);
  entry.right = Load32(bytes + kOffEntryRight);
  entry.child = Load32(bytes + kOffEntryChild);
  std::memcpy(entry.classId.data(), bytes + kOffEntryClassId, entry.classId.size());
  entry.stateBits = Load32(bytes + kOffEntryStateBits);
  entry.creationTime = Load64(bytes + kOffEntryCreationTime);
  entry.modifiedTime = Load64(bytes + kOffEntryModifiedTime);
  entry.startSector = Load32(bytes + kOffEntryStartSector);
  entry.size = Load64(bytes + kOffEntrySize);
  return entry;
}

void DirEntry::Serialize(std::uint8_t *bytes) const {
  assert(name.size() <= kMaxNameBytes / 2 - 1 && "directory entry name too long");
  // Every field after the name is stored below; only the name field's
  // bytes after the name (its terminator and padding) are zeroed.
  for (std::size_t i = 0; i < name.size(); ++i)
    Store16(bytes + kOffEntryName + 2 * i, static_cast<std::uint16_t>(name[i]));
  std::memset(bytes + kOffEntryName + 2 * name.size(), 0, kMaxNameBytes - 2 * name.size());
  Store16(bytes + kOffEntryNameLength, static_cast<std::uint16_t>((name.size() + 1) * 2));
  bytes[kOffEntryType] = type;
  bytes[kOffEntryColor] = color;
  Store32(bytes + kOffEntryLeft, left);
  Store32(bytes + kOffEntryRight, right);
  Store32(bytes + kOffEntryChild, child);
  std::memcpy(bytes + kOffEntryClassId, classId.data(), classId.size());
  Store32(bytes + kOffEntryStateBits, stateBits);
  Store64(bytes + kOffEntryCreationTime, creationTime);
  Store64(bytes + kOffEntryModifiedTime, modifiedTime);
  Store32(bytes + kOffEntryStartSector, startSector);
  Store64(bytes + kOffEntrySize, size);
}

void DirEntry::SerializeUnused(std::uint8_t *bytes) {
  std::memset(bytes, 0, kDirEntrySize);
  Store32(bytes + kOffEntryLeft, kNoStream);
  Store32(bytes + kOffEntryRight, kNoStream);
  Store32(bytes + kOffEntryChild, kNoStream);
}

} // namespace cfb

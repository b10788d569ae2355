//===- tests/support/raw_view.cpp - Direct field reading for checks -------===//
#include "support/raw_view.h"

namespace velkor::test {

namespace {
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
}

RawView::RawView(std::vector<std::uint8_t> data) : bytes(std::move(data)) {
  sectorSize = 1u << U16(0x1E);
  sectorCount =
      static_cast<std::uint32_t>((bytes.size() - sectorSize + sectorSize - 1) / sectorSize);
  const std::uint32_t perSector = sectorSize / 4;
  std::uint32_t fatCount = U32(0x2C);
  for (std::uint32_t k = 0; k < 109 && fatSectors.size() < fatCount; ++k)
    fatSectors.push_back(U32(0x4C + 4 * k));
  for (std::uint32_t at = U32(0x44); fatSectors.size() < fatCount && at <= kMaxRegSect;) {
    difatSectors.push_back(at);
    for (std::uint32_t k = 0; k + 1 < perSector && fatSectors.size() < fatCount; ++k)
      fatSectors.push_back(U32(Offset(at) + 4 * k));
    at = U32(Offset(at) + 4 * (perSector - 1));
  }
  for (std::uint32_t s : fatSectors)
    for (std::uint32_t k = 0; k < perSector; ++k)
      fat.push_back(U32(Offset(s) + 4 * k));
  if (U32(0x3C) <= kMaxRegSect)
    miniFatSectors = Chain(U32(0x3C));
  for (std::uint32_t s : miniFatSectors)
    for (std::uint32_t k = 0; k < perSector; ++k)
      miniFat.push_back(U32(Offset(s) + 4 * k));
  dirSectors = Chain(U32(0x30));
  entryCount = static_cast<std::uint32_t>(dirSectors.size() * (sectorSize / 128));
  for (std::uint32_t s : dirSectors)
    for (std::uint32_t k = 0; k < sectorSize / 128; ++k) {
      std::uint64_t at = Offset(s) + 128 * k;
      RawEntry e;
      std::uint16_t length = U16(at + 0x40);
      for (std::uint32_t c = 0; c + 1 < length / 2u && c < 32; ++c)
        e.name.push_back(static_cast<char16_t>(U16(at + 2 * c)));
      e.type = bytes[at + 0x42];
      e.color = bytes[at + 0x43];
      e.left = U32(at + 0x44);
      e.right = U32(at + 0x48);
      e.child = U32(at + 0x4C);
      e.start = U32(at + 0x74);
      e.size = U64(at + 0x78);
      entries.push_back(e);
    }
}

std::uint16_t RawView::U16(std::uint64_t at) const {
  return bytes.at(at) | (bytes.at(at + 1) << 8);
}
std::uint32_t RawView::U32(std::uint64_t at) const {
  return U16(at) | (std::uint32_t{U16(at + 2)} << 16);
}
std::uint64_t RawView::U64(std::uint64_t at) const {
  return U32(at) | (std::uint64_t{U32(at + 4)} << 32);
}

std::vector<std::uint32_t> RawView::Chain(std::uint32_t start) const {
  std::vector<std::uint32_t> chain;
  for (std::uint32_t at = start; at < fat.size() && chain.size() <= fat.size(); at = fat[at])
    chain.push_back(at);
  return chain;
}

std::uint64_t RawView::FatEntryOffset(std::uint32_t sector) const {
  const std::uint32_t perSector = sectorSize / 4;
  return Offset(fatSectors.at(sector / perSector)) + 4 * (sector % perSector);
}
std::uint64_t RawView::MiniFatEntryOffset(std::uint32_t miniSector) const {
  const std::uint32_t perSector = sectorSize / 4;
  return Offset(miniFatSectors.at(miniSector / perSector)) + 4 * (miniSector % perSector);
}
std::uint64_t RawView::DirEntryOffset(std::uint32_t id) const {
  const std::uint32_t perSector = sectorSize / 128;
  return Offset(dirSectors.at(id / perSector)) + 128 * (id % perSector);
}

} // namespace velkor::test

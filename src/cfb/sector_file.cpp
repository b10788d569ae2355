//===- cfb/sector_file.cpp - Reading whole sectors of structures -----------===//
#include "cfb/sector_file.h"

#include "cfb/error.h"
#include "cfb/io.h"

namespace cfb {

std::size_t SectorFile::Read(std::uint64_t offset, void *out, std::size_t length) const {
  const std::size_t got = ReadAt(fd, offset, out, length, path);
  CountRead(got);
  return got;
}

void SectorFile::ReadFullSector(std::uint32_t sector, std::uint8_t *out, const char *where) const {
  std::uint64_t offset = Offset(sector);
  std::uint32_t size = SectorSize();
  if (sector >= sectorCount || offset + size > fileSize)
    throw FormatError(Reason::TruncatedFile, sector, where);
  if (Read(offset, out, size) != size)
    throw FormatError(Reason::TruncatedFile, sector, where);
}

void SectorFile::ReadFullSectors(const std::uint32_t *sectors, std::size_t count, std::uint8_t *out,
                                 const char *where) const {
  const std::uint32_t size = SectorSize();
  for (std::size_t i = 0; i < count;) {
    std::size_t run = 1;
    while (i + run < count && sectors[i + run] == sectors[i] + run)
      ++run;
    const std::uint32_t last = sectors[i + run - 1];
    if (sectors[i] >= sectorCount || last >= sectorCount || Offset(last) + size > fileSize)
      throw FormatError(Reason::TruncatedFile, sectors[i] >= sectorCount ? sectors[i] : last,
                        where);
    std::size_t length = run * std::size_t{size};
    if (Read(Offset(sectors[i]), out + i * std::size_t{size}, length) != length)
      throw FormatError(Reason::TruncatedFile, sectors[i], where);
    i += run;
  }
}

} // namespace cfb

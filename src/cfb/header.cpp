//===- cfb/header.cpp - Parsing, validating and writing the header --------===//
#include "cfb/header.h"

#include "cfb/error.h"
#include "cfb/io.h"

#include <cstring>

namespace cfb {

Header Header::Parse(const std::uint8_t *bytes, std::uint64_t fileSize) {
  if (fileSize < kHeaderSize)
    throw FormatError(Reason::FileTooSmall, fileSize, "file size");
  // MS-CFB 2.2: Header Signature.
  if (std::memcmp(bytes + kOffSignature, kSignature, sizeof kSignature) != 0)
    throw FormatError(Reason::BadSignature, Load64(bytes + kOffSignature), "header signature");
  Header header;
  header.majorVersion = Load16(bytes + kOffMajorVersion);
  if (header.majorVersion != kMajorVersion3 && header.majorVersion != kMajorVersion4)
    throw FormatError(Reason::UnsupportedVersion, header.majorVersion, "header major version");
  std::uint16_t byteOrder = Load16(bytes + kOffByteOrder);
  if (byteOrder != kByteOrderMark)
    throw FormatError(Reason::BadByteOrder, byteOrder, "header byte order");
  header.sectorShift = Load16(bytes + kOffSectorShift);
  std::uint16_t expectedShift =
      header.majorVersion == kMajorVersion3 ? kSectorShiftV3 : kSectorShiftV4;
  if (header.sectorShift != expectedShift)
    throw FormatError(Reason::BadSectorShift, header.sectorShift, "header sector shift");
  std::uint16_t miniShift = Load16(bytes + kOffMiniSectorShift);
  if (miniShift != kMiniSectorShift)
    throw FormatError(Reason::BadMiniSectorShift, miniShift, "header mini sector shift");
  std::uint32_t cutoff = Load32(bytes + kOffMiniStreamCutoff);
  if (cutoff != kMiniStreamCutoff)
    throw FormatError(Reason::BadMiniStreamCutoff, cutoff, "header mini stream cutoff");
  if (fileSize < header.HeaderSectorSize())
    throw FormatError(Reason::FileTooSmall, fileSize, "file size");

  // The minor version, the reserved bytes and the transaction signature are
  // not checked: nothing the copy does depends on them. The directory sector
  // count is not trusted either (MS-CFB 2.2 wants 0 in version 3 files); the
  // directory's length comes from its chain.
  header.dirSectorCount = Load32(bytes + kOffDirSectorCount);
  header.fatSectorCount = Load32(bytes + kOffFatSectorCount);
  header.firstDirSector = Load32(bytes + kOffFirstDirSector);
  header.firstMiniFatSector = Load32(bytes + kOffFirstMiniFatSector);
  header.miniFatSectorCount = Load32(bytes + kOffMiniFatSectorCount);
  header.firstDifatSector = Load32(bytes + kOffFirstDifatSector);
  header.difatSectorCount = Load32(bytes + kOffDifatSectorCount);
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i)
    header.difat[i] = Load32(bytes + kOffDifat + 4 * i);
  return header;
}

void Header::Serialize(std::uint8_t *bytes) const {
  std::memset(bytes, 0, kHeaderSize);
  std::memcpy(bytes + kOffSignature, kSignature, sizeof kSignature);
  Store16(bytes + kOffMinorVersion, kMinorVersion);
  Store16(bytes + kOffMajorVersion, majorVersion);
  Store16(bytes + kOffByteOrder, kByteOrderMark);
  Store16(bytes + kOffSectorShift, sectorShift);
  Store16(bytes + kOffMiniSectorShift, kMiniSectorShift);
  Store32(bytes + kOffDirSectorCount, dirSectorCount);
  Store32(bytes + kOffFatSectorCount, fatSectorCount);
  Store32(bytes + kOffFirstDirSector, firstDirSector);
  Store32(bytes + kOffTransactionSignature, 0);
  Store32(bytes + kOffMiniStreamCutoff, kMiniStreamCutoff);
  Store32(bytes + kOffFirstMiniFatSector, firstMiniFatSector);
  Store32(bytes + kOffMiniFatSectorCount, miniFatSectorCount);
  Store32(bytes + kOffFirstDifatSector, firstDifatSector);
  Store32(bytes + kOffDifatSectorCount, difatSectorCount);
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i)
    Store32(bytes + kOffDifat + 4 * i, difat[i]);
}

} // namespace cfb

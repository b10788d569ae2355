//===- cfb/error.cpp - Error texts built from reasons and values ----------===//
#include "cfb/error.h"

#include <cstdio>
#include <cstring>

namespace cfb {

namespace {

struct ReasonInfo {
  const char *name;
  const char *text;
};

ReasonInfo InfoOf(Reason reason) {
  switch (reason) {
  case Reason::NotRegularFile:
    return {"NotRegularFile", "not a regular file"};
  case Reason::FileTooSmall:
    return {"FileTooSmall", "file too small for a compound file"};
  case Reason::BadSignature:
    return {"BadSignature", "bad signature"};
  case Reason::BadByteOrder:
    return {"BadByteOrder", "bad byte order mark"};
  case Reason::UnsupportedVersion:
    return {"UnsupportedVersion", "unsupported major version"};
  case Reason::BadSectorShift:
    return {"BadSectorShift", "bad sector shift for the version"};
  case Reason::BadMiniSectorShift:
    return {"BadMiniSectorShift", "bad mini sector shift"};
  case Reason::BadMiniStreamCutoff:
    return {"BadMiniStreamCutoff", "bad mini stream cutoff"};
  case Reason::CountOutOfRange:
    return {"CountOutOfRange", "count larger than the file can hold"};
  case Reason::SectorOutOfRange:
    return {"SectorOutOfRange", "sector id out of range"};
  case Reason::ChainLoop:
    return {"ChainLoop", "sector chain loops"};
  case Reason::CrossLinkedChain:
    return {"CrossLinkedChain", "sector chains cross-linked"};
  case Reason::ShortChain:
    return {"ShortChain", "sector chain shorter than its size"};
  case Reason::TruncatedFile:
    return {"TruncatedFile", "needed bytes beyond the end of the file"};
  case Reason::BadRootEntry:
    return {"BadRootEntry", "directory entry 0 is not a root storage"};
  case Reason::EntryOutOfRange:
    return {"EntryOutOfRange", "directory entry id out of range"};
  case Reason::UnknownEntryType:
    return {"UnknownEntryType", "unknown directory entry type"};
  case Reason::BadNameLength:
    return {"BadNameLength", "name length out of range"};
  case Reason::DirectoryLoop:
    return {"DirectoryLoop", "directory entry reached twice"};
  case Reason::DuplicateName:
    return {"DuplicateName", "two siblings with the same name"};
  case Reason::MiniStreamOutsideRoot:
    return {"MiniStreamOutsideRoot", "small stream outside the root's mini stream"};
  case Reason::TooLarge:
    return {"TooLarge", "tree too large for a compound file"};
  }
  return {"Unknown", "unknown reason"};
}

std::string FormatText(Reason reason, std::uint64_t value, const char *where) {
  std::string text = InfoOf(reason).text;
  text += " (";
  text += where;
  text += ": ";
  // Signatures and byte-order marks are magic numbers, read in hexadecimal;
  // every other value is a count, an id or a size.
  if (reason == Reason::BadSignature || reason == Reason::BadByteOrder) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%016llX", static_cast<unsigned long long>(value));
    text += reason == Reason::BadByteOrder ? std::string("0x") + (hex + 14) : hex;
  } else {
    text += std::to_string(value);
  }
  text += ")";
  return text;
}

} // namespace

const char *ReasonName(Reason reason) { return InfoOf(reason).name; }
const char *ReasonText(Reason reason) { return InfoOf(reason).text; }

FormatError::FormatError(Reason reason, std::uint64_t value, const char *where)
    : Error(FormatText(reason, value, where)), reason(reason), value(value), where(where) {}

InUseError::InUseError(const std::string &path)
    : Error(path + ": in use (another process holds a write lock)"), path(path) {}

IoError::IoError(int errorNumber, const char *operation, const std::string &path)
    : Error(path + ": " + operation + ": " + std::strerror(errorNumber)), errorNumber(errorNumber),
      operation(operation), path(path) {}

} // namespace cfb

//===- cfb/error.h - Why a compound file was refused or could not be used --===//
///
/// \file
/// Three kinds of failure, kept apart so that a caller can tell "not a
/// compound document" from "somebody else is writing it" from "the disk is
/// full" without reading message texts:
///
/// - `FormatError`: the bytes are not a compound file this library will copy.
///   It carries a `Reason` and the offending value; its text is built from
///   those fields.
/// - `InUseError`: another process holds a write lock on the file.
/// - `IoError`: a system call failed; it carries the errno value.
///
/// All three derive from `cfb::Error` (a `std::runtime_error`).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace cfb {

/// Why a file was refused. Each value names the structure that is wrong; the
/// error's value says where or what (a sector id, an entry id, a count).
enum class Reason {
  NotRegularFile,        ///< the path is a directory, device, FIFO, ...
  FileTooSmall,          ///< shorter than the header sector
  BadSignature,          ///< the first eight bytes are not the compound-file signature
  BadByteOrder,          ///< byte-order mark other than 0xFFFE
  UnsupportedVersion,    ///< major version other than 3 or 4
  BadSectorShift,        ///< sector shift other than 9 (v3) or 12 (v4)
  BadMiniSectorShift,    ///< mini sector shift other than 6
  BadMiniStreamCutoff,   ///< mini stream cutoff other than 4096
  CountOutOfRange,       ///< a count in the header is larger than the file could hold
  SectorOutOfRange,      ///< a sector id (or chain link) points outside the file or is a marker
  ChainLoop,             ///< a sector chain comes back to one of its own sectors
  CrossLinkedChain,      ///< two chains (or a chain and the FAT/DIFAT) share a sector
  ShortChain,            ///< a chain holds fewer sectors than its size or count needs
  TruncatedFile,         ///< bytes that are needed lie beyond the end of the file
  BadRootEntry,          ///< directory entry 0 is not a root storage
  EntryOutOfRange,       ///< a directory link names an entry that does not exist
  UnknownEntryType,      ///< a reachable directory entry is neither storage nor stream
  BadNameLength,         ///< a name length field is odd, below 2 or above 64
  DirectoryLoop,         ///< a directory entry is reached twice (a cycle or a shared entry)
  DuplicateName,         ///< two siblings with the same name (case-insensitive)
  MiniStreamOutsideRoot, ///< a small stream uses mini sectors beyond the root's mini stream
  TooLarge,              ///< the tree does not fit the largest compound file this library writes
};

/// The stable identifier of a reason ("BadSignature"), for machine-readable output.
const char *ReasonName(Reason reason);

/// A short human text for a reason ("bad signature").
const char *ReasonText(Reason reason);

/// Base of every error this library throws.
class Error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// The file is not a compound file this library accepts.
class FormatError : public Error {
public:
  /// `where` names the structure ("header", "FAT", "directory", "stream"...);
  /// `value` is the offending value (a sector or entry id, a count, a field).
  FormatError(Reason reason, std::uint64_t value, const char *where);

  Reason GetReason() const { return reason; }
  std::uint64_t GetValue() const { return value; }
  const char *GetWhere() const { return where; }

private:
  Reason reason;
  std::uint64_t value;
  const char *where;
};

/// Another process holds a write lock (fcntl, open-file-description or flock)
/// on the file, so it cannot be opened with writers shut out: it is in use.
class InUseError : public Error {
public:
  explicit InUseError(const std::string &path);
  const std::string &GetPath() const { return path; }

private:
  std::string path;
};

/// A system call failed. `operation` names it ("open", "read", "write",
/// "fsync"...); the errno value tells, for instance, ENOSPC from EACCES.
class IoError : public Error {
public:
  IoError(int errorNumber, const char *operation, const std::string &path);
  int GetErrorNumber() const { return errorNumber; }
  const char *GetOperation() const { return operation; }
  const std::string &GetPath() const { return path; }

private:
  int errorNumber;
  const char *operation;
  std::string path;
};

} // namespace cfb

//===- cfb/compound_file.h - Open, create, copy and release compound files -===//
///
/// \file
/// The compound-file layer's public face. It offers the four operations that
/// document compaction relies on, and little more:
///
/// \code
///   cfb::Source source = cfb::Source::Open(documentPath);     // writers shut out
///   cfb::Destination copy = cfb::Destination::Create(tmpPath); // replaces the empty file
///   source.CopyTo(copy);                                       // whole tree, readable
///   copy.Release();                                            // fsync'ed and closed
///   source.Release();
/// \endcode
///
/// Besides: the tree model for listing (`Source::GetTree`), stream contents
/// (`Source::ReadStream`), and the size a copy will have (`PlannedCopySize`),
/// computed without writing. Comparison of two files' trees is in compare.h.
///
/// Errors: `FormatError` (with a `Reason`) when the file is not a compound
/// file this library accepts, `InUseError` when another process holds a write
/// lock, `IoError` (with errno) when a system call fails. See error.h.
///
/// A copy is a version 3 file with 512-byte sectors (version 4 with
/// 4096-byte sectors only when it would reach 2 GiB), with no free space,
/// deterministic: the same tree always gives the same bytes.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "cfb/error.h"
#include "cfb/io.h"
#include "cfb/tree.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace cfb {

class Reader;
class Writer;
class Destination;

/// An existing compound file opened for reading. While it is open the file
/// carries a shared (read) lock, both an open-file-description lock and a
/// flock lock, so that writers which lock are shut out (on Windows, its
/// sharing mode shuts every writer out). Validated entirely at
/// open: everything a copy relies on has been checked before `Open` returns.
class Source {
public:
  /// Opens and validates the compound file at `path` (a file-system path as
  /// bytes, relative to the current directory or absolute).
  /// Throws `FormatError` for a file that is not an acceptable compound file
  /// (including a path that is not a regular file), `InUseError` when another
  /// process holds a write lock on it, `IoError` when it cannot be opened or
  /// read (missing, no permission, I/O error; ELOOP for a refused link).
  /// With `readCount`, every byte read from the file, from this call on
  /// until `Release` (validation, copies, stream reads; bytes the kernel
  /// copies from file to file included), is counted there, also when the
  /// open fails; it must outlive the source.
  /// On Windows the file is opened with the sharing mode FILE_SHARE_READ:
  /// the system refuses a file another program has open for writing
  /// (`InUseError`) and keeps writers out while it is read.
  static Source Open(const std::string &path, FinalLink link = FinalLink::follow,
                     ReadCount *readCount = nullptr);

  /// Opens the copy in `copy`, written and not yet released, to read it
  /// back: on Linux by its path, a final link refused (as `Open`); on
  /// Windows through the destination's own handle, since the holder of a
  /// copy's name may share it with nobody. Throws as `Open`, and
  /// `std::logic_error` for a released destination.
  static Source OpenCopy(const Destination &copy);

  Source(Source &&) noexcept;
  Source &operator=(Source &&) noexcept;
  ~Source(); ///< releases the file if `Release` was not called

  /// Writes this file's whole reachable tree into `destination`: every
  /// storage and stream with its raw name, class id, state bits and times,
  /// every stream byte for byte, the root's class id, state bits and times.
  /// Unreachable entries and free space are left behind. When this returns
  /// the copy is complete and may be read back (`Source::Open` of its path)
  /// while the disk takes its data in; `Destination::Release` waits until it
  /// is on disk. A destination takes one copy.
  /// Throws `IoError` (e.g. ENOSPC) when writing fails, `FormatError` when
  /// the source changed underneath so that its data can no longer be read,
  /// `std::logic_error` when the destination was already written or released.
  void CopyTo(Destination &destination) const;

  /// The exact size in bytes of the file `CopyTo` would write, computed from
  /// the tree alone. Throws `FormatError` (`TooLarge`) if no copy is possible.
  std::uint64_t PlannedCopySize() const;

  /// The reachable tree (see tree.h).
  const Tree &GetTree() const;

  /// Reads up to `out.size()` bytes of stream `entryIndex` (an index into
  /// `GetTree().entries`) from byte `offset`; returns the count read (0 at or
  /// past the end). Sequential calls are cheap. Throws `std::out_of_range`
  /// for an index that is not a stream, `IoError`/`FormatError` as `CopyTo`.
  std::size_t ReadStream(std::uint32_t entryIndex, std::uint64_t offset,
                         std::span<std::byte> out) const;

  std::uint64_t FileSize() const;   ///< the file's size when it was opened
  unsigned MajorVersion() const;    ///< 3 or 4
  std::uint32_t SectorSize() const; ///< 512 or 4096
  const std::string &Path() const;
  /// The descriptor the file is read through (open for reading only), so
  /// that a caller can fstat the very file that was validated, or take a
  /// lease on it; valid until `Release`.
  int Descriptor() const;

  /// Drops the locks and closes the file. Further use is a logic error.
  void Release();

private:
  explicit Source(std::unique_ptr<Reader> reader);
  std::unique_ptr<Reader> reader;
};

/// A new compound file being made at a path. `Create` truncates the file
/// there (or creates it) and holds an exclusive (write) lock on it while it
/// is written; once a copy is complete, a shared lock until `Release`, so
/// that the copy can be read back and no other writer can touch it. The file
/// is complete only after `Release` returns.
class Destination {
public:
  /// Whether the finished file must be on disk before `Release` returns.
  /// A copy that will take a document's place must be; a copy that is only
  /// measured and then removed (an estimate) need not pay for the flush.
  enum class Durability { flushed, measuredOnly };

  /// Creates (or truncates to empty) the file at `path` for a new compound
  /// file. Throws `IoError` when it cannot be opened for writing,
  /// `InUseError` when another process holds a lock on it. With
  /// `heldDescriptor`, an open descriptor of that file on which the caller
  /// holds its own lock, the copy is written through a duplicate of it, so
  /// that the caller's lock is the writer's too and never lapses.
  static Destination Create(const std::string &path, Durability durability = Durability::flushed,
                            int heldDescriptor = -1);

  Destination(Destination &&) noexcept;
  Destination &operator=(Destination &&) noexcept;
  /// Closes the file if `Release` was not called; the file may then be
  /// incomplete (this is the path of an aborted copy, which the caller removes).
  ~Destination();

  /// Completes and closes the file: if nothing was copied into it, writes an
  /// empty compound file (a root storage only); a `flushed` file is then
  /// flushed to disk (fsync). Throws
  /// `IoError` when writing, flushing or closing fails, and
  /// `std::logic_error` (after closing) when a `CopyTo` into it failed, since
  /// its file is then incomplete.
  void Release();

  /// Sets a check that a copy into this destination calls after each
  /// megabyte it writes and before its final flush. An exception the check
  /// throws ends the copy as a failed write would (the file is then
  /// incomplete) and reaches the caller of `CopyTo`.
  void SetCheckpoint(std::function<void()> check);

  const std::string &Path() const;

private:
  friend class Source;
  explicit Destination(std::unique_ptr<Writer> writer);
  /// Writes `tree` (stream bytes from `source`) as this destination's one
  /// copy; afterwards the file may be read back. Throws as `Source::CopyTo`.
  void Write(const Tree &tree, const Reader *source);
  /// The writer, while the file is open; throws `std::logic_error` after
  /// `Release`.
  const Writer &Unreleased() const;
  std::unique_ptr<Writer> writer;
};

} // namespace cfb

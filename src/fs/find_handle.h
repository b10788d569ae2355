//===- fs/find_handle.h - Directory search, one entry at a time --------===//
///
/// \file
/// TTFindHandle holds one search in progress and fills a TTFindRecord for each
/// entry. On Linux: opendir/readdir for a listing, and statx without
/// following a final symbolic link for each entry's details. On Windows:
/// FindFirstFileExW/FindNextFileW, and the entry opened as itself (never
/// through a reparse point) for the details a listing does not give.
/// FindOne looks one path up. The handle reports by result (found or not)
/// and never raises.
///
/// A pattern is either a directory prefix followed by "*" ("*", "docs/*",
/// "/data/*"; "docs\*", "C:\data\*" on Windows), which lists every entry
/// of that directory, "." and ".." included where the system reports them,
/// in the order the file system gives them (a directory that is itself a
/// symbolic link or reparse point is not listed: no listing goes through
/// one), or a plain path without wildcards, which looks up that one entry (a
/// trailing separator finds nothing). No symbolic link or reparse point
/// (junction) is followed in any folder on a listing's or a lookup's path:
/// such a path finds nothing. The walk matches names against masks itself,
/// so no wildcard rules live here.
///
/// The walk looks at most entries only to find out whether they are wanted.
/// For that it uses FindFirstEntry/FindNextEntry, which fill only what the
/// listing itself gives (on Linux the name and the attributes the directory
/// entry's type gives, no stat), and then CompleteRecord for the entries it
/// keeps.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "fs/file_time.h"

#include <cstdint>
#include <ctime>
#include <memory>

/// One directory entry.
struct TTFindRecord {
  /// File attribute bits: 0x10 a directory, 0x400 a symbolic link (on
  /// Windows any reparse point), 0x40 a pipe, socket or device, 0x01 no
  /// write permission for anyone (read-only), 0x02 hidden (on Linux a name
  /// that starts with a dot), 0x80 a plain file with none of these. On
  /// Windows the system's own attribute bits, unchanged.
  std::uint32_t attributes = 0;
  TTFileTime creationTime; ///< birth time where the file system keeps one
  TTFileTime lastAccessTime;
  TTFileTime lastWriteTime;
  std::uint32_t sizeHigh = 0;
  std::uint32_t sizeLow = 0;
  /// The entry's own name, without any directory.
  TTString name;

  // What the file system keeps beyond the fields above: what SetAttributes
  // needs to give a copy the entry's permissions and ownership, and what
  // tells whether a file is still the one that was found.
  /// st_mode: file type and permission bits. On Windows the type (directory,
  /// regular file, link) and 0666, or 0444 for a read-only entry.
  std::uint32_t mode = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t linkCount = 0;
  timespec lastAccess{}; ///< the last access time to the nanosecond
  timespec lastWrite{};  ///< the last write time to the nanosecond
  timespec change{};     ///< the last status change (ctime; ChangeTime on Windows)

  /// The size in bytes, both halves.
  std::uint64_t Size() const { return (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow; }
};

/// True when the record is a directory (attribute bit 0x10).
inline bool IsDirectory(const TTFindRecord &record) { return (record.attributes & 0x10u) != 0; }

/// True when the record is a symbolic link (attribute bit 0x400).
inline bool IsSymbolicLink(const TTFindRecord &record) { return (record.attributes & 0x400u) != 0; }

/// True when the record is a pipe, socket or device (attribute bit 0x40).
inline bool IsSpecialFile(const TTFindRecord &record) { return (record.attributes & 0x40u) != 0; }

/// One search: a directory listing or a single lookup.
class TTFindHandle {
public:
  TTFindHandle();
  TTFindHandle(const TTFindHandle &) = delete;
  TTFindHandle &operator=(const TTFindHandle &) = delete;
  /// Ends the search when one is held.
  ~TTFindHandle();

  /// Starts the search for `pattern` and fills `record` with the first entry.
  /// False when nothing is found, the directory is missing or cannot be read,
  /// or the path is malformed; the record is then unchanged. Called once.
  bool FindFirst(const TTString &pattern, TTFindRecord &record);
  /// Fills `record` with the next entry; false at the end or on an error,
  /// with the record unchanged. Only after a FindFirst that gave true.
  bool FindNext(TTFindRecord &record);

  /// As FindFirst and FindNext, but fill only the name and the attributes the
  /// entry's type gives, without a stat where the directory entry tells the
  /// type. The other fields keep what they held; CompleteRecord fills them.
  bool FindFirstEntry(const TTString &pattern, TTFindRecord &record);
  bool FindNextEntry(TTFindRecord &record);
  /// Fills every field of `record` for the entry the last call reported.
  /// False when the entry can no longer be looked up (it vanished); the
  /// record is then unchanged.
  bool CompleteRecord(TTFindRecord &record);

  /// The mounted tree of the directory being listed, for a walk that stays
  /// on one: on Linux its mount (MountKeyOf), on Windows its volume's serial
  /// number. False for a single lookup or when it cannot be read.
  bool DirectoryMount(std::uint64_t &mount) const;

  bool IsOpen() const { return open; }

private:
  bool Start(const TTString &pattern, TTFindRecord &record, bool complete);
  bool ReadEntry(TTFindRecord &record, bool complete);

  /// The system's search state (src/fs/unix or src/fs/windows).
  struct Search;
  std::unique_ptr<Search> search;
  bool open;
};

/// Looks up one path and ends the search at once: true, with the record
/// filled, when the entry exists.
bool FindOne(const TTString &path, TTFindRecord &record);

//===- fs/file_handle.h - An open file and the file opened for writing -------===//
///
/// \file
/// TTFile holds one open file descriptor with the name it was opened under and
/// turns every failing system call into a file exception. Files are opened
/// with no sharing: the open takes an open file description lock
/// (F_OFD_SETLK) on the whole file, a write lock when opened for writing and
/// a read lock otherwise, so a second opener that wants a conflicting lock
/// fails with `sharingViolation`. TTOutputFile is the file opened for
/// writing; the compaction stamps a fresh copy's times through it.
///
/// On Windows the file is opened with CreateFileW and the share mode (none),
/// so a second opener meets ERROR_SHARING_VIOLATION; the descriptor is a C
/// runtime one made with _open_osfhandle, and errors are GetLastError()
/// numbers.
///
/// Positions and sizes are 32 bits wide: the classes handle files below
/// 4 GiB, and larger files report only the low 32 bits of their size.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"
#include "fs/file_time.h"

#include <cstdint>
#include <ctime>

/// Desired access bits for TTFile::Open.
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;

/// Creation dispositions for TTFile::Open.
inline constexpr std::uint32_t CREATE_NEW = 1;        ///< create; fail if it exists
inline constexpr std::uint32_t CREATE_ALWAYS = 2;     ///< create or truncate
inline constexpr std::uint32_t OPEN_EXISTING = 3;     ///< open; fail if it is missing
inline constexpr std::uint32_t OPEN_ALWAYS = 4;       ///< open or create
inline constexpr std::uint32_t TRUNCATE_EXISTING = 5; ///< open and truncate; fail if missing

/// File attribute bits as directory searches report them.
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DEVICE = 0x40u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80u;
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400u;

/// One open file and the name it was opened under.
class TTFile {
public:
  TTFile();
  TTFile(const TTFile &) = delete;
  TTFile &operator=(const TTFile &) = delete;
  /// Closes the file as Close does; a failing close is not reported here
  /// (callers that need to know call Close first).
  virtual ~TTFile();

  /// Opens `name` with the desired access (GENERIC_READ, GENERIC_WRITE or
  /// both) and a creation disposition. A file already held is closed first.
  /// The name is kept also when the open fails. A file that is not a regular
  /// file (a directory, a pipe, a device) is refused as access denied, and
  /// nothing is truncated before the lock is held. Throws
  /// TTFileWithNameException on failure; the file then stays closed.
  void Open(const TTString &name, std::uint32_t desiredAccess, std::uint32_t creationDisposition);

  /// Closes the descriptor if one is held. On Linux the descriptor is gone
  /// even when close(2) reports an error, so the file is marked closed before
  /// that error is raised as TTFileWithNameException.
  virtual void Close();
  /// The current position (low 32 bits). Throws TTFileException.
  virtual std::uint32_t GetPosition();
  /// The size in bytes (low 32 bits). Throws TTFileException.
  virtual std::uint32_t GetSize();
  /// Moves to `position` from the start; gives the new position. Throws
  /// TTFileException when the system reports an error.
  virtual std::uint32_t Seek(std::uint32_t position);

  bool IsOpen() const { return open; }
  /// The descriptor; valid only while the file is open.
  int Handle() const { return handle; }
  /// The name given to the last Open.
  const TTString &Name() const { return name; }

protected:
  bool open;
  int handle;
  /// Sharing granted to other openers; 0, none, is the only value in use.
  std::uint32_t shareMode;
  /// Attributes a created file receives: FILE_ATTRIBUTE_NORMAL gives
  /// rw-rw-rw- before the umask, FILE_ATTRIBUTE_READONLY r--r--r--.
  std::uint32_t flagsAndAttributes;
  TTString name;
};

/// The file opened for writing.
class TTOutputFile : public TTFile {
public:
  TTOutputFile();

  /// The disposition for the next Open (CREATE_NEW at construction).
  void SetCreationDisposition(std::uint32_t disposition) { creationDisposition = disposition; }
  /// Opens `name` for writing with the stored disposition.
  void Open(const TTString &name);

  /// Sets the last access and last write times, converted exactly from file
  /// times. The creation (birth) time cannot be set on Linux and is left as
  /// the file system keeps it; Windows sets all three (SetFileTime). Throws
  /// TTFileWithNameException.
  void SetTimes(const TTFileTime &creation, const TTFileTime &lastAccess,
                const TTFileTime &lastWrite);
  /// Sets the last access and last write times to the nanosecond.
  void SetTimes(const timespec &lastAccess, const timespec &lastWrite);

  /// Writes `count` bytes; gives the number written (all of them: a short
  /// write is continued, and a write that can make no progress fails). A
  /// count of 0 returns 0 without a system call. Throws TTFileWithNameException.
  virtual std::uint32_t Write(const void *buffer, std::uint32_t count);
  /// Seeks to `size` and cuts or extends the file there; the position is left
  /// at the new end. Throws TTFileWithNameException.
  virtual void SetSize(std::uint32_t size);
  /// Flushes the file's data and metadata to the device (fsync).
  virtual void Flush();

private:
  std::uint32_t creationDisposition;
};

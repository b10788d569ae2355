//===- tests/support/unix/file_checks.h - Checks on files, on Linux -------===//
///
/// \file
/// The independent checks the Linux tests share: the state of a file (size,
/// times, mode, owner, extended attributes), a listing of a compound file
/// through Python's olefile, and a child process that holds a write lock on
/// a file.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace velkor::test {

/// What a replacement must keep, and what tells one file from another.
struct FileState {
  ino_t inode = 0;
  off_t size = 0;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  nlink_t links = 0;
  timespec accessed{};
  timespec modified{};
  /// "name=hex value" for every extended attribute, sorted.
  std::vector<std::string> extended;
  std::string contentHash;
};

FileState StateOf(const std::string &path);
bool SameTime(const timespec &a, const timespec &b);

/// The listing of a compound file by the tests' python3 with olefile: one line
/// per storage and stream (path, class id, stream size and SHA-256), sorted.
/// Empty with a test failure when olefile cannot read the file.
std::string OleListing(const std::string &path);

/// A child process that holds a file open, with a write lock or without
/// one, until released or destroyed.
class LockHolder {
public:
  enum class Hold {
    fcntlLock,     ///< read-write with an fcntl record write lock
    flockLock,     ///< read-write with flock(LOCK_EX)
    reading,       ///< read-only, no lock
    readWrite,     ///< read-write, no lock; writes kLateWrite when released
    openForWriting ///< opens read-write only after the constructor returned,
                   ///< then writes kLateWrite at once
  };
  /// What the unlocked writers write, at kLateWriteOffset.
  static constexpr char kLateWrite[] = "LATE EDIT";
  static constexpr off_t kLateWriteOffset = 512;

  /// `useFlock`: flock(LOCK_EX) instead of an fcntl record lock.
  LockHolder(const std::string &path, bool useFlock)
      : LockHolder(path, useFlock ? Hold::flockLock : Hold::fcntlLock) {}
  LockHolder(const std::string &path, Hold hold);
  ~LockHolder() { Release(); }
  bool Holding() const { return child > 0; }

  /// For openForWriting: waits up to `milliseconds` for the child to have
  /// opened the file and written; true when it has.
  bool WaitForWrite(int milliseconds);
  /// Lets the child go on and waits for its end. A reading child first
  /// reads the whole file through the descriptor it opened at the start,
  /// and Release gives those bytes; a readWrite child writes. Idempotent.
  std::string Release();

private:
  pid_t child = -1;
  int release = -1;
  int answers = -1;
};

} // namespace velkor::test

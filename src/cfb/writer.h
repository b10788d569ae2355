//===- cfb/writer.h - The output file of a copy, written front to back -----===//
#pragma once

#include "cfb/file_lock.h"
#include "cfb/io.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace cfb {

/// A new compound file's output: an exclusively locked descriptor and a
/// large buffer, so that the file is written in big sequential writes.
class Writer {
public:
  /// 1 MiB: large enough that a copy costs few system calls, small enough to
  /// keep a copy's memory modest whatever the document's size.
  static constexpr std::size_t kBufferSize = 1u << 20;

  /// Opens `path` for writing, creating it or truncating it to empty, and
  /// takes an exclusive lock. A `durable` file is flushed to disk by
  /// `Sync`; another is left to the system's own writing.
  /// Throws `IoError` or `InUseError`. With `heldDescriptor` (an open
  /// descriptor of that file) it writes through a duplicate of it instead
  /// of opening the path: the duplicate shares the open file and its locks.
  static std::unique_ptr<Writer> Create(const std::string &path, bool durable = true,
                                        int heldDescriptor = -1);

  /// Appends bytes (through the buffer).
  void Append(const void *bytes, std::size_t length);
  void AppendZeros(std::uint64_t length);
  void Append32(std::uint32_t value) {
    // The tables of a copy are written entry by entry: a short path for them.
    if (!holePending && kBufferSize - used >= 4) {
      Store32(buffer.get() + used, value);
      used += 4;
      return;
    }
    AppendBytes32(value);
  }

  /// Free room at the end of the buffer, at least one byte, for a caller
  /// that reads straight into it; `Commit` then appends what was filled.
  std::span<std::uint8_t> Room();
  void Commit(std::size_t length);

  /// Appends `length` bytes found at `offset` in the file open as `fd`,
  /// copied by the kernel (copy_file_range) without passing through this
  /// process, after writing out what the buffer holds. Returns how many it
  /// copied: all of them, or fewer when the file system refuses such copies
  /// (between two file systems, or not at all; every later call then
  /// returns 0 at once) or when the source ends early. On ext2/3/4, where
  /// the kernel's copy costs more than reads and writes, it copies nothing.
  /// The caller appends the rest itself. Throws `IoError` (ENOSPC, EIO...).
  std::uint64_t AppendFromFile(int fd, std::uint64_t offset, std::uint64_t length);

  /// Makes the writer put `length` zero bytes at file offset `offset` by
  /// itself when the output reaches it (a sector kept out of all chains).
  void ReserveHole(std::uint64_t offset, std::uint32_t length);

  /// Writes out the buffer and, for a durable file, starts the disk writing
  /// of all that is not yet on its way, without waiting for it.
  void Finish();
  /// Turns the exclusive locks into shared ones: the finished file may now
  /// be read (to check it) but still not written by anybody else.
  void ShareForReading() { LockShared(descriptor.Get(), path); }
  /// For a durable file, waits until all of it is on disk (fsync).
  void Sync();
  /// Closes the file, reporting a failing close(2). Idempotent.
  void Close();

  std::uint64_t BytesWritten() const { return written + used; }
  int Descriptor() const { return descriptor.Get(); }
  const std::string &Path() const { return path; }

private:
  // The state of the destination this writer serves, kept by it alone.
  friend class Destination;
  /// True once a tree has been written (a destination takes one).
  bool filled = false;
  bool released = false;
  /// True when writing a tree failed part-way: the file is incomplete.
  bool broken = false;
  /// Called after each buffer written and before the final flush (see
  /// Destination::SetCheckpoint); may throw to end the copy.
  std::function<void()> checkpoint;

  Writer() = default;
  void Flush();
  void AppendBytes32(std::uint32_t value);
  /// Starts the disk writing of what has been written so far, without waiting.
  /// `all`: whatever is pending, not only once a step's worth has gathered.
  void StartWriteback(bool all = false);
  /// Bytes that may be appended before the hole; the hole is filled when reached.
  std::size_t Limit(std::size_t wanted);
  void FillHoleIfReached();

  FileDescriptor descriptor;
  std::string path;
  bool durable = true;
  /// The output buffer, left uninitialised: every byte is written before
  /// it is used.
  std::unique_ptr<std::uint8_t[]> buffer;
  std::size_t used = 0;
  /// Whether copy_file_range may (still) be tried on this file.
  bool kernelCopy = true;
  std::uint64_t written = 0;
  /// Where the part of the file not yet handed to the disk begins.
  std::uint64_t writebackFrom = 0;
  bool holePending = false;
  std::uint64_t holeOffset = 0;
  std::uint32_t holeLength = 0;
};

} // namespace cfb

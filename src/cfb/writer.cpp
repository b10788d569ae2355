//===- cfb/writer.cpp - Buffered sequential output with fsync -------------===//
#include "cfb/writer.h"

#include "cfb/error.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cfb {

namespace {

// 1 MiB: large enough that a copy costs few system calls, small enough to
// keep a copy's memory modest whatever the document's size.
constexpr std::size_t kBufferSize = 1u << 20;

// How much written data waits before it is handed to the disk (see
// StartWriteback): each buffer's worth, so that the disk starts early, while
// the copy of a document of a few megabytes is still being planned and read.
constexpr std::uint64_t kWritebackStep = kBufferSize;

// The new file is ours alone until it is complete: an exclusive
// open-file-description lock and an exclusive flock.
void LockExclusive(int fd, const std::string& path) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EAGAIN || errno == EACCES) throw InUseError(path);
    // File systems that cannot lock: written unlocked (see LockShared).
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) throw InUseError(path);
  }
}

}  // namespace

std::unique_ptr<Writer> Writer::Create(const std::string& path, bool durable,
                                       int heldDescriptor) {
  std::unique_ptr<Writer> writer(new Writer());
  writer->path = path;
  writer->durable = durable;
  // The lock is taken before truncating, so that a file another process
  // holds locked is refused without losing its bytes.
  int fd = heldDescriptor >= 0
               ? ::fcntl(heldDescriptor, F_DUPFD_CLOEXEC, 0)
               : ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) throw IoError(errno, heldDescriptor >= 0 ? "dup" : "open", path);
  writer->descriptor = FileDescriptor(fd);
  LockExclusive(fd, path);
  // Only a file that holds bytes is truncated: ext4 treats a truncation to
  // zero as "replacing a file's content" and pushes the new data to the disk
  // when the file is closed, which a fresh, empty temporary file need not pay.
  struct stat status;
  if (::fstat(fd, &status) != 0) throw IoError(errno, "fstat", path);
  if (status.st_size != 0 && ::ftruncate(fd, 0) != 0) throw IoError(errno, "truncate", path);
  writer->buffer.resize(kBufferSize);
  return writer;
}

void Writer::Flush() {
  if (used == 0) return;
  WriteAll(descriptor.Get(), buffer.data(), used, path);
  written += used;
  used = 0;
  StartWriteback();
}

// The copy must be on disk before it may replace a document, and a single
// fsync at the end would wait for the whole file. Handing each megabyte
// to the disk as soon as it is written lets the device work while the
// copy goes on, so the final fsync finds little left to do. Only a hint: a
// file system that cannot do it is flushed by that fsync alone.
void Writer::StartWriteback() {
  if (!durable || written - writebackFrom < kWritebackStep) return;
  ::sync_file_range(descriptor.Get(), static_cast<off_t>(writebackFrom),
                    static_cast<off_t>(written - writebackFrom), SYNC_FILE_RANGE_WRITE);
  writebackFrom = written;
}

void Writer::ReserveHole(std::uint64_t offset, std::uint32_t length) {
  holePending = true;
  holeOffset = offset;
  holeLength = length;
  FillHoleIfReached();
}

std::size_t Writer::Limit(std::size_t wanted) {
  if (used == buffer.size()) Flush();
  std::size_t take = std::min(wanted, buffer.size() - used);
  if (holePending) take = static_cast<std::size_t>(std::min<std::uint64_t>(take, holeOffset - BytesWritten()));
  return take;
}

void Writer::FillHoleIfReached() {
  if (!holePending || BytesWritten() != holeOffset) return;
  holePending = false;
  AppendZeros(holeLength);
}

void Writer::Append(const void* bytes, std::size_t length) {
  const auto* from = static_cast<const std::uint8_t*>(bytes);
  while (length > 0) {
    std::size_t take = Limit(length);
    std::memcpy(buffer.data() + used, from, take);
    used += take;
    from += take;
    length -= take;
    FillHoleIfReached();
  }
}

void Writer::AppendZeros(std::uint64_t length) {
  while (length > 0) {
    std::size_t take = Limit(static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size())));
    std::memset(buffer.data() + used, 0, take);
    used += take;
    length -= take;
    FillHoleIfReached();
  }
}

void Writer::AppendBytes32(std::uint32_t value) {
  std::uint8_t bytes[4];
  Store32(bytes, value);
  Append(bytes, 4);
}

std::span<std::uint8_t> Writer::Room() {
  std::size_t room = Limit(buffer.size());
  return {buffer.data() + used, room};
}

void Writer::Commit(std::size_t length) {
  assert(length <= buffer.size() - used && "committed more than the room given");
  used += length;
  FillHoleIfReached();
}

void Writer::Finish() {
  Flush();
  if (durable && ::fsync(descriptor.Get()) != 0) throw IoError(errno, "fsync", path);
}

void Writer::Close() {
  if (!descriptor.IsOpen()) return;
  int error = descriptor.Close();
  if (error != 0) throw IoError(error, "close", path);
}

}  // namespace cfb

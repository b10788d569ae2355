//===- cfb/unix/writer.cpp - Opening, kernel copies and fsync on Linux ----===//
#include "cfb/writer.h"

#include "cfb/error.h"
#include "cfb/file_lock.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace cfb {

namespace {

// How much written data waits before it is handed to the disk (see
// StartWriteback): each buffer's worth, so that the disk starts early, while
// the copy of a document of a few megabytes is still being planned and read.
constexpr std::uint64_t kWritebackStep = Writer::kBufferSize;

// The most bytes one copy_file_range call is asked for: a writeback step, so
// that kernel copies are handed to the disk as they go, like written ones.
constexpr std::uint64_t kKernelCopyStep = kWritebackStep;

// Whether copy_file_range failed because this pair of files cannot be copied
// that way, rather than because the copy itself failed: across file systems
// (EXDEV), file systems or kernels without it (EOPNOTSUPP, ENOSYS, EINVAL),
// and sandboxes that forbid the call (EPERM, as some container profiles
// answer). Plain reads and writes then do the copy, and report the copy's
// own errors if there are any.
bool RefusesKernelCopy(int error) {
  return error == EXDEV || error == EOPNOTSUPP || error == ENOTSUP || error == ENOSYS ||
         error == EINVAL || error == EPERM || error == EBADF;
}

} // namespace

std::unique_ptr<Writer> Writer::Create(const std::string &path, bool durable, int heldDescriptor) {
  std::unique_ptr<Writer> writer(new Writer());
  writer->path = path;
  writer->durable = durable;
  // Opened for reading too, so that the finished file can be read back under
  // a shared lock (see ShareForReading); a file we may only write is still
  // written. With a held descriptor the writer writes through a duplicate:
  // it shares the open file and its lock.
  int fd = -1;
  if (heldDescriptor >= 0) {
    fd = ::fcntl(heldDescriptor, F_DUPFD_CLOEXEC, 0);
  } else {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno == EACCES)
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  }
  if (fd < 0)
    throw IoError(errno, heldDescriptor >= 0 ? "dup" : "open", path);
  writer->descriptor = FileDescriptor(fd);
  // The new file is ours alone until it is complete. The lock is taken
  // before truncating, so that a file another process holds locked is
  // refused without losing its bytes.
  LockExclusive(fd, path);
  // Only a file that holds bytes is truncated: ext4 treats a truncation to
  // zero as "replacing a file's content" and pushes the new data to the disk
  // when the file is closed, which a fresh, empty temporary file need not pay.
  struct stat status;
  if (::fstat(fd, &status) != 0)
    throw IoError(errno, "fstat", path);
  if (status.st_size != 0 && ::ftruncate(fd, 0) != 0)
    throw IoError(errno, "truncate", path);
  // ext2, ext3 and ext4 (one magic number) share no extents between files:
  // there copy_file_range copies through the page cache, page piece by page
  // piece, which measured a quarter to a half more processor time than
  // reading into the buffer and writing it out, whenever a stream does not
  // lie at the same place within a page in both files, as it seldom does.
  // Other file systems keep the kernel's copy: tmpfs (cheaper there), and
  // those that share extents or copy on the server.
  struct statfs fileSystem;
  if (::fstatfs(fd, &fileSystem) == 0 && fileSystem.f_type == EXT4_SUPER_MAGIC)
    writer->kernelCopy = false;
  // Not zero-filled: the pages are touched only as the copy fills them, so a
  // small document's copy costs a few pages, not a megabyte.
  writer->buffer.reset(new std::uint8_t[kBufferSize]);
  return writer;
}

// The copy must be on disk before it may replace a document, and a single
// fsync at the end would wait for the whole file. Handing each megabyte
// to the disk as soon as it is written lets the device work while the
// copy goes on, so the final fsync finds little left to do. Only a hint: a
// file system that cannot do it is flushed by that fsync alone.
void Writer::StartWriteback(bool all) {
  if (!durable || written == writebackFrom || (!all && written - writebackFrom < kWritebackStep))
    return;
  ::sync_file_range(descriptor.Get(), static_cast<off_t>(writebackFrom),
                    static_cast<off_t>(written - writebackFrom), SYNC_FILE_RANGE_WRITE);
  writebackFrom = written;
}

std::uint64_t Writer::AppendFromFile(int fd, std::uint64_t offset, std::uint64_t length) {
  std::uint64_t done = 0;
  while (done < length && kernelCopy) {
    // The kernel writes at the file's position: what the buffer holds goes first.
    Flush();
    std::uint64_t want = std::min(length - done, kKernelCopyStep);
    if (holePending)
      want = std::min(want, holeOffset - written);
    assert(want > 0 && "a reserved hole that was reached was not filled");
    auto from = static_cast<loff_t>(offset + done);
    ssize_t got =
        ::copy_file_range(fd, &from, descriptor.Get(), nullptr, static_cast<std::size_t>(want), 0);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      if (!RefusesKernelCopy(errno))
        throw IoError(errno, "write", path);
      kernelCopy = false;
      break;
    }
    if (got == 0) {
      // The source ends here, or the file system copies nothing this way
      // (some pseudo file systems): plain reads tell which.
      kernelCopy = false;
      break;
    }
    done += static_cast<std::uint64_t>(got);
    written += static_cast<std::uint64_t>(got);
    StartWriteback();
    FillHoleIfReached();
    // The kernel's copy is looked at as often as the buffered one.
    if (checkpoint)
      checkpoint();
  }
  return done;
}

void Writer::Sync() {
  if (durable && ::fsync(descriptor.Get()) != 0)
    throw IoError(errno, "fsync", path);
}

} // namespace cfb

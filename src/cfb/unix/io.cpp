//===- cfb/unix/io.cpp - POSIX descriptors, opening, full reads and writes =//
#include "cfb/io.h"

#include "cfb/error.h"
#include "cfb/file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cfb {

int FileDescriptor::Close() {
  if (fd < 0)
    return 0;
  int result = ::close(fd);
  fd = -1;
  // After close(2) fails the descriptor is gone all the same (Linux), so it
  // is never closed twice; EINTR is not an error of the file's data.
  return (result == 0 || errno == EINTR) ? 0 : errno;
}

std::size_t ReadAt(int fd, std::uint64_t offset, void *buffer, std::size_t length,
                   const std::string &path) {
  auto *bytes = static_cast<std::uint8_t *>(buffer);
  std::size_t done = 0;
  while (done < length) {
    ssize_t got = ::pread(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR)
        continue;
      throw IoError(errno, "read", path);
    }
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void WriteAll(int fd, const void *buffer, std::size_t length, const std::string &path) {
  const auto *bytes = static_cast<const std::uint8_t *>(buffer);
  while (length > 0) {
    ssize_t put = ::write(fd, bytes, length);
    if (put < 0) {
      if (errno == EINTR)
        continue;
      throw IoError(errno, "write", path);
    }
    if (put == 0)
      throw IoError(ENOSPC, "write", path);
    bytes += put;
    length -= static_cast<std::size_t>(put);
  }
}

ReadableFile OpenReadable(const std::string &path, FinalLink link) {
  ReadableFile file;
  // O_NONBLOCK: a FIFO named like a document must not hang the open.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                                    (link == FinalLink::refuse ? O_NOFOLLOW : 0));
  if (fd < 0)
    throw IoError(errno, "open", path);
  file.descriptor = FileDescriptor(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0)
    throw IoError(errno, "stat", path);
  if (!S_ISREG(status.st_mode))
    throw FormatError(Reason::NotRegularFile, status.st_mode & S_IFMT, "file type");
  LockShared(fd, path);
  file.size = static_cast<std::uint64_t>(status.st_size);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return file;
}

ReadableFile OpenWrittenFile(int, const std::string &path) {
  return OpenReadable(path, FinalLink::refuse);
}

} // namespace cfb

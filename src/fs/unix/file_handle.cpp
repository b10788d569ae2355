//===- fs/file_handle.cpp - An open file and the file opened for writing -----===//

#include "fs/file_handle.h"

#include "core/exceptions.h"
#include "fs/path_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// open(2) flags for a desired access.
int AccessFlags(std::uint32_t desiredAccess) {
  const bool read = (desiredAccess & GENERIC_READ) != 0;
  const bool write = (desiredAccess & GENERIC_WRITE) != 0;
  if (read && write) {
    return O_RDWR;
  }
  return write ? O_WRONLY : O_RDONLY;
}

/// Takes the whole-file lock that stands for "no sharing". Gives 0 or the
/// errno of the failure. A file system that offers no such locks (some
/// network and FUSE file systems answer EINVAL or ENOTSUP) is used without
/// one rather than refused altogether.
int LockWholeFile(int fd, bool write) {
  struct flock lock {};
  lock.l_type = write ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0; // to the end, however the file grows
  if (fcntl(fd, F_OFD_SETLK, &lock) == 0) {
    return 0;
  }
  const int error = errno;
  if (error == EINVAL || error == ENOTSUP || error == ENOSYS) {
    return 0;
  }
  return error;
}

} // namespace

TTFile::~TTFile() {
  if (open) {
    // The same path as Close, without letting an exception out: the
    // descriptor is released either way.
    ::close(handle);
    open = false;
  }
}

void TTFile::Open(const TTString &fileName, std::uint32_t desiredAccess,
                  std::uint32_t creationDisposition) {
  Close();
  name = fileName;

  int flags = AccessFlags(desiredAccess) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  bool truncate = false;
  switch (creationDisposition) {
  case CREATE_NEW:
    flags |= O_CREAT | O_EXCL;
    break;
  case CREATE_ALWAYS:
    flags |= O_CREAT;
    truncate = true;
    break;
  case OPEN_ALWAYS:
    flags |= O_CREAT;
    break;
  case TRUNCATE_EXISTING:
    truncate = true;
    break;
  case OPEN_EXISTING:
    break;
  default:
    throw TTFileWithNameException(name, TTFileError::generic, EINVAL);
  }
  const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;

  // O_NONBLOCK keeps the open of a named pipe without a writer from hanging;
  // such files are refused below, and regular files ignore the flag.
  const int fd = ::open(name.CStr(), flags, mode);
  if (fd < 0) {
    ThrowPathErrorWithName(name, errno);
  }
  struct stat info;
  int error = 0;
  if (fstat(fd, &info) != 0) {
    error = errno;
  } else if (!S_ISREG(info.st_mode)) {
    error = EACCES;
  }
  if (error == 0) {
    const int lockError = LockWholeFile(fd, (desiredAccess & GENERIC_WRITE) != 0);
    if (lockError == EAGAIN || lockError == EACCES) {
      ::close(fd);
      throw TTFileWithNameException(name, TTFileError::sharingViolation,
                                    static_cast<std::uint32_t>(lockError));
    }
    error = lockError;
  }
  // Truncation waits for the lock, so a file another opener holds is never
  // cut short by an open that then fails.
  if (error == 0 && truncate && ftruncate(fd, 0) != 0) {
    error = errno;
  }
  if (error == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::close(fd);
    throw TTFileWithNameException(name, ErrnoToFileError(error), static_cast<std::uint32_t>(error));
  }
  handle = fd;
  open = true;
}

void TTFile::Close() {
  if (!open) {
    return;
  }
  const int result = ::close(handle);
  const int error = errno;
  // close(2) releases the descriptor even when it reports an error; keeping
  // the file marked open would close an unrelated descriptor later.
  open = false;
  handle = -1;
  if (result != 0) {
    errno = error;
    ThrowLastErrorWithName(name);
  }
}

std::uint32_t TTFile::GetPosition() {
  const off_t position = lseek(handle, 0, SEEK_CUR);
  if (position < 0) {
    ThrowLastError();
  }
  return static_cast<std::uint32_t>(position);
}

std::uint32_t TTFile::GetSize() {
  struct stat info;
  if (fstat(handle, &info) != 0) {
    ThrowLastError();
  }
  return static_cast<std::uint32_t>(info.st_size);
}

std::uint32_t TTFile::Seek(std::uint32_t position) {
  const off_t result = lseek(handle, static_cast<off_t>(position), SEEK_SET);
  if (result < 0) {
    ThrowIfSystemError(errno);
  }
  return static_cast<std::uint32_t>(result);
}

void TTOutputFile::SetTimes(const TTFileTime & /*creation*/, const TTFileTime &lastAccess,
                            const TTFileTime &lastWrite) {
  SetTimes(FileTimeToTimespec(lastAccess), FileTimeToTimespec(lastWrite));
}

void TTOutputFile::SetTimes(const timespec &lastAccess, const timespec &lastWrite) {
  const timespec times[2] = {lastAccess, lastWrite};
  if (futimens(handle, times) != 0) {
    ThrowLastErrorWithName(name);
  }
}

std::uint32_t TTOutputFile::Write(const void *buffer, std::uint32_t count) {
  if (count == 0) {
    return 0;
  }
  const char *bytes = static_cast<const char *>(buffer);
  std::uint32_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(handle, bytes + written, count - written);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowLastErrorWithName(name);
    }
    if (n == 0) {
      // No progress and no error: the device is full.
      errno = ENOSPC;
      ThrowLastErrorWithName(name);
    }
    written += static_cast<std::uint32_t>(n);
  }
  return written;
}

void TTOutputFile::SetSize(std::uint32_t size) {
  Seek(size);
  if (ftruncate(handle, static_cast<off_t>(size)) != 0) {
    ThrowLastErrorWithName(name);
  }
}

void TTOutputFile::Flush() {
  if (fsync(handle) != 0) {
    ThrowLastErrorWithName(name);
  }
}

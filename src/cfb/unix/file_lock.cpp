//===- cfb/file_lock.cpp - Open-file-description and flock locks -----------===//
#include "cfb/file_lock.h"

#include "cfb/error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace cfb {

namespace {

void Lock(int fd, const std::string &path, bool exclusive) {
  struct flock lock {};
  lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EAGAIN || errno == EACCES)
      throw InUseError(path);
    // Some file systems (certain FUSE and network mounts) cannot lock at all
    // (ENOLCK, EINVAL, EOPNOTSUPP). No writer there can lock either, so the
    // file is used without a lock rather than refused.
  }
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      throw InUseError(path);
  }
}

} // namespace

void LockShared(int fd, const std::string &path) { Lock(fd, path, false); }

void LockExclusive(int fd, const std::string &path) { Lock(fd, path, true); }

} // namespace cfb

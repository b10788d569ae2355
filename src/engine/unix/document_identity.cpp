//===- engine/unix/document_identity.cpp - stat, and the hold's locks -----===//

#include "engine/document_identity.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void FromStat(const struct stat &status, DocumentIdentity &identity) {
  identity.device = status.st_dev;
  identity.inode = status.st_ino;
  identity.links = status.st_nlink;
  identity.type = status.st_mode & S_IFMT;
  identity.size = static_cast<std::uint64_t>(status.st_size);
  identity.accessed = status.st_atim;
  identity.modified = status.st_mtim;
  identity.changed = status.st_ctim;
}

} // namespace

int ReadDocumentIdentity(const char *path, DocumentIdentity &identity) {
  struct stat status;
  if (lstat(path, &status) != 0)
    return errno;
  FromStat(status, identity);
  return 0;
}

int ReadOpenIdentity(int descriptor, DocumentIdentity &identity) {
  struct stat status;
  if (fstat(descriptor, &status) != 0)
    return errno;
  FromStat(status, identity);
  return 0;
}

DocumentHold::~DocumentHold() {
  if (descriptor >= 0)
    close(descriptor); // closing drops both locks
}

std::string DocumentHold::Acquire(const char *path, const DocumentIdentity &expected) {
  if (descriptor >= 0) {
    close(descriptor);
    descriptor = -1;
  }
  // O_NONBLOCK keeps a FIFO put in the document's place from blocking us;
  // the identity check below refuses anything but the copied file.
  descriptor = open(path, O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
    return std::string("can no longer be opened (") + std::strerror(errno) + ")";
  struct flock lock = {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  if (fcntl(descriptor, F_OFD_SETLK, &lock) != 0) {
    if (errno == EAGAIN || errno == EACCES)
      return "in use by another program";
    return std::string("cannot be locked (") + std::strerror(errno) + ")";
  }
  if (flock(descriptor, LOCK_SH | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      return "in use by another program";
    // A file system without flock support still has the record lock above.
    if (errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP)
      return std::string("cannot be locked (") + std::strerror(errno) + ")";
  }
  struct stat status;
  if (fstat(descriptor, &status) != 0)
    return std::string("cannot be examined (") + std::strerror(errno) + ")";
  DocumentIdentity now;
  FromStat(status, now);
  if (!now.SameFile(expected))
    return "changed while it was being copied";
  return std::string();
}

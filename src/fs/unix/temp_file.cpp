//===- fs/temp_file.cpp - Holder that removes a temporary file --------===//

#include "fs/temp_file.h"

#include "core/exceptions.h"
#include "fs/file_operations.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

/// The first bytes of every compound file.
constexpr unsigned char kCompoundSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

/// Takes an open-file-description write lock on the whole file without
/// waiting: true when it is ours now.
bool LockForWriting(int descriptor) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  return fcntl(descriptor, F_OFD_SETLK, &lock) == 0;
}

bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

/// Exactly a name MakeTempFileName gives for `prefix`.
bool IsTempFileName(const char *name, const TTString &prefix) {
  const TTString head = prefix.Left(3);
  const std::size_t headLength = static_cast<std::size_t>(head.Length());
  if (std::strncmp(name, head.CStr(), headLength) != 0)
    return false;
  const char *digits = name + headLength;
  std::size_t count = 0;
  while (count < 5 && IsUpperHexDigit(digits[count]))
    ++count;
  return count >= 1 && count <= 4 && digits[0] != '0' && std::strcmp(digits + count, ".tmp") == 0;
}

bool Before(const timespec &a, const timespec &b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool SameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// What a look without opening can tell: a regular file of the running
/// user with one link, last changed before `olderThan`.
bool MayBeOurCopy(const struct stat &status, const timespec &olderThan) {
  return S_ISREG(status.st_mode) && status.st_uid == geteuid() && status.st_nlink == 1 &&
         Before(status.st_ctim, olderThan);
}

/// The value of the mark on the file `status` describes: its inode number.
std::string CopyMarkValue(const struct stat &status) { return std::to_string(status.st_ino); }

/// Whether `value` (`length` bytes, negative when the mark could not be
/// read) is the mark of the file `status` describes.
bool IsCopyMarkOf(const char *value, ssize_t length, const struct stat &status) {
  const std::string wanted = CopyMarkValue(status);
  return length == static_cast<ssize_t>(wanted.size()) &&
         std::memcmp(value, wanted.data(), wanted.size()) == 0;
}

/// Whether the file at `path` (a final link not followed) carries the mark
/// of the file `status` describes. Read by name: no open, no lease broken.
bool CarriesCopyMark(const TTString &path, const struct stat &status) {
  char value[32];
  return IsCopyMarkOf(value, lgetxattr(path.CStr(), kCopyMarkAttribute, value, sizeof value),
                      status);
}

/// The same through a descriptor, for the file that is locked.
bool CarriesCopyMark(int descriptor, const struct stat &status) {
  char value[32];
  return IsCopyMarkOf(value, fgetxattr(descriptor, kCopyMarkAttribute, value, sizeof value),
                      status);
}

/// Whether the open file `descriptor` is an abandoned copy of ours.
bool IsAbandonedCopy(int descriptor, const timespec &olderThan) {
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !MayBeOurCopy(status, olderThan))
    return false;
  if (status.st_size == 0)
    return true;
  unsigned char head[sizeof kCompoundSignature];
  return pread(descriptor, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
         std::memcmp(head, kCompoundSignature, sizeof head) == 0;
}

} // namespace

TTString TTTempFile::Create(const TTString &directory, const TTString &prefix) {
  Remove();
  // The file is new, so no sweep takes it for abandoned before it is locked:
  // a sweep removes only files older than its own run.
  name = MakeTempFileName(directory, prefix, &descriptor);
  armed = true;
  // Where the file system keeps no mark, the copy is made all the same; a
  // sweep there finds it unmarked and removes nothing.
  MarkAsTemporaryCopy(descriptor);
  // A file system without record locks still makes copies; a sweep there
  // cannot lock them either, and leaves them alone.
  LockForWriting(descriptor);
  return name;
}

void TTTempFile::Unlock() {
  if (descriptor >= 0) {
    ::close(descriptor); // the last descriptor of the open file: the lock goes
    descriptor = -1;
  }
}

bool TTTempFile::Unmark() {
  return descriptor >= 0 && (fremovexattr(descriptor, kCopyMarkAttribute) == 0 ||
                             errno == ENODATA || errno == ENOTSUP);
}

void TTTempFile::Remove() {
  if (!armed) {
    Unlock();
    return;
  }
  RemoveFileIfExists(name); // removed while still locked
  armed = false;
  Unlock();
}

bool MarkAsTemporaryCopy(int descriptor) {
  struct stat status;
  if (fstat(descriptor, &status) != 0)
    return false;
  const std::string value = CopyMarkValue(status);
  return fsetxattr(descriptor, kCopyMarkAttribute, value.data(), value.size(), 0) == 0;
}

void SweepAbandonedTempFiles(const TTString &directory, const TTString &prefix,
                             const timespec &olderThan, bool remove,
                             const std::function<void(const TTString &, TempFileFinding)> &found) {
  const int folder = OpenWithoutLinks(AT_FDCWD, directory.IsEmpty() ? "." : directory.CStr(),
                                      O_RDONLY | O_DIRECTORY | O_NONBLOCK);
  if (folder < 0) {
    return;
  }
  DIR *listing = fdopendir(folder);
  if (listing == nullptr) {
    ::close(folder);
    return;
  }
  TTString base = directory;
  if (!base.IsEmpty() && base.At(base.Length() - 1) != '/') {
    base += '/';
  }
  while (const dirent *entry = readdir(listing)) {
    if (!IsTempFileName(entry->d_name, prefix)) {
      continue;
    }
    // Looked at before anything opens it: opening another user's file, a
    // device or a FIFO of our name would break that user's lease or a file
    // server's oplock, or wait for a writer.
    struct stat looked;
    if (fstatat(folder, entry->d_name, &looked, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(looked.st_mode) || !Before(looked.st_ctim, olderThan)) {
      continue;
    }
    const TTString path = base + entry->d_name;
    if (!CarriesCopyMark(path, looked)) {
      // Not a copy of ours: a document's old file that a killed or failed
      // replacement left under the copy's name, or someone else's file.
      found(path, TempFileFinding::leftover);
      continue;
    }
    if (!MayBeOurCopy(looked, olderThan)) {
      continue; // another user's copy, or one with more links than ours have
    }
    const int file =
        openat(folder, entry->d_name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
      continue; // a link, gone, or not ours to write
    }
    struct stat opened, named;
    // Locked first, examined then: what is examined is what stays locked,
    // and it must be the file that was looked at. The name must still lead
    // to that file when it is removed.
    bool removed = false;
    const bool abandoned =
        LockForWriting(file) && fstat(file, &opened) == 0 && SameFile(opened, looked) &&
        CarriesCopyMark(file, opened) && IsAbandonedCopy(file, olderThan) &&
        fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named);
    if (abandoned && remove) {
      removed = unlinkat(folder, entry->d_name, 0) == 0;
    }
    ::close(file);
    if (abandoned && (removed || !remove)) {
      found(path, removed ? TempFileFinding::removedCopy : TempFileFinding::abandonedCopy);
    }
  }
  closedir(listing);
}

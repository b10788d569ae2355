//===- fs/unix/find_handle.cpp - Directory search with readdir and statx --===//

#include "fs/find_handle.h"

#include "fs/file_operations.h"
#include "fs/mount_table.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

/// The details statx is asked for: everything a record holds.
constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;
/// Never follow a final symbolic link, and never trigger an automount just
/// by looking at its mount point.
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

timespec ToTimespec(const statx_timestamp &stamp) {
  timespec result{};
  result.tv_sec = static_cast<time_t>(stamp.tv_sec);
  result.tv_nsec = static_cast<long>(stamp.tv_nsec);
  return result;
}

bool Earlier(const timespec &a, const timespec &b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool IsHiddenName(const char *name) {
  return name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

/// The attribute bits for a file type (S_IF* bits) and name.
std::uint32_t AttributesFor(mode_t mode, const char *name, bool knowPermissions) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(mode)) {
    attributes |= 0x10u;
  } else if (S_ISLNK(mode)) {
    attributes |= 0x400u;
  } else if (!S_ISREG(mode)) {
    attributes |= 0x40u;
  } else if (knowPermissions && (mode & 0222) == 0) {
    attributes |= 0x01u;
  }
  if (IsHiddenName(name)) {
    attributes |= 0x02u;
  }
  return attributes == 0 ? 0x80u : attributes;
}

/// The S_IF* type for a directory entry type; 0 when the entry does not say.
mode_t TypeFromDirent(unsigned char type) {
  switch (type) {
  case DT_DIR:
    return S_IFDIR;
  case DT_REG:
    return S_IFREG;
  case DT_LNK:
    return S_IFLNK;
  case DT_FIFO:
    return S_IFIFO;
  case DT_SOCK:
    return S_IFSOCK;
  case DT_CHR:
    return S_IFCHR;
  case DT_BLK:
    return S_IFBLK;
  default:
    return 0;
  }
}

/// Fills every field from `info`; `name` replaces the record's name unless
/// it is null.
void FillRecord(TTFindRecord &record, const struct statx &info, const char *name) {
  if (name != nullptr) {
    record.name = name;
  }
  record.mode = info.stx_mode;
  record.attributes = AttributesFor(info.stx_mode, record.name.CStr(), true);
  record.owner = info.stx_uid;
  record.group = info.stx_gid;
  record.device = makedev(info.stx_dev_major, info.stx_dev_minor);
  record.inode = info.stx_ino;
  record.linkCount = info.stx_nlink;
  record.lastAccess = ToTimespec(info.stx_atime);
  record.lastWrite = ToTimespec(info.stx_mtime);
  record.change = ToTimespec(info.stx_ctime);
  timespec creation;
  if ((info.stx_mask & STATX_BTIME) != 0) {
    creation = ToTimespec(info.stx_btime);
  } else {
    // Without a birth time the earliest time the file system does keep is
    // the closest: a file cannot be written or changed before it exists.
    creation = Earlier(record.change, record.lastWrite) ? record.change : record.lastWrite;
  }
  record.creationTime = TimespecToFileTime(creation);
  record.lastAccessTime = TimespecToFileTime(record.lastAccess);
  record.lastWriteTime = TimespecToFileTime(record.lastWrite);
  record.sizeHigh = static_cast<std::uint32_t>(info.stx_size >> 32);
  record.sizeLow = static_cast<std::uint32_t>(info.stx_size);
}

/// True when the pattern asks for a listing: "*" alone or after a slash.
bool IsListingPattern(const TTString &pattern) {
  const std::int32_t length = pattern.Length();
  return length > 0 && pattern.At(length - 1) == '*' &&
         (length == 1 || pattern.At(length - 2) == '/');
}

} // namespace

/// A listing's open directory, or a single lookup's folder and name.
struct TTFindHandle::Search {
  Search() = default;
  Search(const Search &) = delete;
  Search &operator=(const Search &) = delete;
  ~Search() {
    if (handle != nullptr) {
      closedir(handle);
    }
    if (lookupFolder >= 0) {
      ::close(lookupFolder);
    }
  }

  DIR *handle = nullptr;
  /// The search is a single lookup; its one entry has been reported.
  bool single = false;
  /// The folder a single lookup looked in, and the entry's name there, for
  /// CompleteRecord.
  int lookupFolder = -1;
  TTString singleName;
};

TTFindHandle::TTFindHandle() : search(std::make_unique<Search>()), open(false) {}

TTFindHandle::~TTFindHandle() = default;

bool TTFindHandle::Start(const TTString &pattern, TTFindRecord &record, bool complete) {
  if (open) {
    return false; // a handle is never restarted
  }
  if (IsListingPattern(pattern)) {
    // The directory without its trailing slashes: a trailing slash would
    // make the open follow a symbolic link that O_NOFOLLOW is there to stop.
    std::int32_t end = pattern.Length() - 1;
    while (end > 1 && pattern.At(end - 1) == '/') {
      --end;
    }
    const TTString directory = pattern.Left(end);
    const int fd = OpenWithoutLinks(AT_FDCWD, directory.IsEmpty() ? "." : directory.CStr(),
                                    O_RDONLY | O_DIRECTORY | O_NONBLOCK);
    if (fd < 0) {
      return false;
    }
    search->handle = fdopendir(fd);
    if (search->handle == nullptr) {
      ::close(fd);
      return false;
    }
    open = true;
    return ReadEntry(record, complete);
  }

  // A single lookup: the entry's name is the text after the last slash.
  const char *path = pattern.CStr();
  const char *slash = std::strrchr(path, '/');
  const char *name = slash == nullptr ? path : slash + 1;
  if (*name == '\0') {
    return false;
  }
  // The folders on the way are opened without following a link in any of
  // them, and the entry is looked at from there.
  const std::string folder(path, static_cast<std::size_t>(name - path));
  const int fd =
      OpenWithoutLinks(AT_FDCWD, folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY);
  if (fd < 0) {
    return false;
  }
  struct statx info;
  if (statx(fd, name, kStatxFlags, kStatxMask, &info) != 0) {
    ::close(fd);
    return false;
  }
  open = true;
  search->single = true;
  search->lookupFolder = fd;
  search->singleName = name;
  FillRecord(record, info, name);
  return true;
}

bool TTFindHandle::ReadEntry(TTFindRecord &record, bool complete) {
  if (!open || search->single) {
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent *entry = readdir(search->handle);
    if (entry == nullptr) {
      return false; // the end, or an error: both end the listing
    }
    const mode_t type = TypeFromDirent(entry->d_type);
    if (!complete && type != 0) {
      record.attributes = AttributesFor(type, entry->d_name, false);
      record.mode = type;
      record.name = entry->d_name;
      return true;
    }
    struct statx info;
    if (statx(dirfd(search->handle), entry->d_name, kStatxFlags, kStatxMask, &info) != 0) {
      // Gone since it was listed, or not to be looked at (a directory that
      // may be read but not searched): passed over like an entry that was
      // never there.
      continue;
    }
    FillRecord(record, info, entry->d_name);
    return true;
  }
}

bool TTFindHandle::CompleteRecord(TTFindRecord &record) {
  if (!open) {
    return false;
  }
  struct statx info;
  const int result =
      search->single
          ? statx(search->lookupFolder, search->singleName.CStr(), kStatxFlags, kStatxMask, &info)
          : statx(dirfd(search->handle), record.name.CStr(), kStatxFlags, kStatxMask, &info);
  if (result != 0) {
    return false;
  }
  FillRecord(record, info, nullptr);
  return true;
}

bool TTFindHandle::DirectoryMount(std::uint64_t &mount) const {
  return open && !search->single && MountKeyOf(dirfd(search->handle), mount);
}

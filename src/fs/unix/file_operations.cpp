//===- fs/file_operations.cpp - Operations on named files and directories ===//

#include "fs/file_operations.h"

#include "core/exceptions.h"
#include "fs/path_error.h"
#include "fs/find_handle.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

/// The names of the extended attributes of `path`, or an errno value.
int ListExtendedNames(const char *path, std::vector<std::string> &names) {
  names.clear();
  std::vector<char> buffer;
  for (;;) {
    const ssize_t size = llistxattr(path, nullptr, 0);
    if (size < 0) {
      // A file system without extended attributes has none to copy.
      return (errno == ENOTSUP) ? 0 : errno;
    }
    if (size == 0) {
      return 0;
    }
    buffer.resize(static_cast<std::size_t>(size));
    const ssize_t got = llistxattr(path, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == ERANGE) {
        continue; // the list grew between the two calls
      }
      return errno;
    }
    for (ssize_t i = 0; i < got;) {
      const std::size_t length = std::strlen(buffer.data() + i);
      if (length > 0) {
        names.emplace_back(buffer.data() + i, length);
      }
      i += static_cast<ssize_t>(length) + 1;
    }
    return 0;
  }
}

/// The value of one extended attribute; ENODATA when it is absent.
int ReadExtendedValue(const char *path, const std::string &name, std::string &value) {
  for (;;) {
    const ssize_t size = lgetxattr(path, name.c_str(), nullptr, 0);
    if (size < 0) {
      return errno;
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = lgetxattr(path, name.c_str(), value.data(), value.size());
    if (got < 0) {
      if (errno == ERANGE) {
        continue;
      }
      return errno;
    }
    value.resize(static_cast<std::size_t>(got));
    return 0;
  }
}

/// Extended attributes that describe the file's content or permissions and
/// that a copy must not keep when the original has none: user data and
/// ACLs. Security labels are the system's to assign and are left alone.
bool IsRemovableExtendedName(const std::string &name) {
  return name.rfind("user.", 0) == 0 || name.rfind("system.posix_acl_", 0) == 0;
}

/// Sets owner and group when they differ from what `path` has now, so that
/// an unprivileged caller whose copy already carries them needs no chown.
void SetOwnerIfNeeded(const TTString &path, std::uint32_t owner, std::uint32_t group) {
  struct stat info;
  if (lstat(path.CStr(), &info) != 0) {
    ThrowPathErrorWithName(path, errno);
  }
  if (info.st_uid == owner && info.st_gid == group) {
    return;
  }
  if (lchown(path.CStr(), static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
    ThrowPathErrorWithName(path, errno);
  }
}

void SetMode(const TTString &path, std::uint32_t mode) {
  if (fchmodat(AT_FDCWD, path.CStr(), static_cast<mode_t>(mode & 07777), 0) != 0) {
    ThrowPathErrorWithName(path, errno);
  }
}

/// The directory that holds `path`, for flushing it: "." for a bare name.
TTString ContainingDirectory(const TTString &path) {
  const char *text = path.CStr();
  const char *slash = std::strrchr(text, '/');
  if (slash == nullptr) {
    return TTString(".");
  }
  if (slash == text) {
    return TTString("/");
  }
  return path.Left(static_cast<std::int32_t>(slash - text));
}

/// fsync of an open file or directory, given by name.
void FlushByName(const TTString &path, int extraFlags) {
  const int fd = ::open(path.CStr(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | extraFlags);
  if (fd < 0) {
    ThrowPathErrorWithName(path, errno);
  }
  if (fsync(fd) != 0) {
    const int error = errno;
    ::close(fd);
    // Some file systems cannot flush a directory and say so; the rename is
    // then as durable as they make it.
    if ((extraFlags & O_DIRECTORY) != 0 && (error == EINVAL || error == ENOTSUP)) {
      return;
    }
    errno = error;
    ThrowLastErrorWithName(path);
  }
  ::close(fd);
}

} // namespace

TTFileAttributes ReadAttributes(const TTString &path) {
  struct stat info;
  if (lstat(path.CStr(), &info) != 0) {
    ThrowPathErrorWithName(path, errno);
  }
  TTFileAttributes attributes;
  attributes.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
  attributes.owner = static_cast<std::uint32_t>(info.st_uid);
  attributes.group = static_cast<std::uint32_t>(info.st_gid);
  std::vector<std::string> names;
  if (const int error = ListExtendedNames(path.CStr(), names); error != 0) {
    ThrowIfSystemErrorWithName(path, error);
  }
  for (const std::string &name : names) {
    if (name == kCopyMarkAttribute)
      continue;
    std::string value;
    const int error = ReadExtendedValue(path.CStr(), name, value);
    if (error == ENODATA) {
      continue; // removed since it was listed
    }
    ThrowIfSystemErrorWithName(path, error);
    attributes.extended.emplace_back(name, std::move(value));
  }
  return attributes;
}

void SetAttributes(const TTString &path, const TTFileAttributes &attributes) {
  SetOwnerIfNeeded(path, attributes.owner, attributes.group);

  std::vector<std::string> present;
  if (const int error = ListExtendedNames(path.CStr(), present); error != 0) {
    ThrowIfSystemErrorWithName(path, error);
  }
  for (const std::string &name : present) {
    const bool wanted = name != kCopyMarkAttribute &&
                        std::any_of(attributes.extended.begin(), attributes.extended.end(),
                                    [&](const auto &entry) { return entry.first == name; });
    if (!wanted && IsRemovableExtendedName(name) && lremovexattr(path.CStr(), name.c_str()) != 0 &&
        errno != ENODATA) {
      ThrowLastErrorWithName(path);
    }
  }
  for (const auto &[name, value] : attributes.extended) {
    if (name == kCopyMarkAttribute)
      continue;
    std::string current;
    if (ReadExtendedValue(path.CStr(), name, current) == 0 && current == value) {
      continue;
    }
    if (lsetxattr(path.CStr(), name.c_str(), value.data(), value.size(), 0) != 0) {
      ThrowLastErrorWithName(path);
    }
  }
  // Last, so that the bits are exactly the wanted ones whatever setting the
  // owner or an ACL did to them.
  SetMode(path, attributes.mode);
}

void SetAttributes(const TTString &path, const TTFindRecord &record) {
  SetOwnerIfNeeded(path, record.owner, record.group);
  SetMode(path, record.mode);
}

void RemoveFile(const TTString &path) {
  if (unlink(path.CStr()) != 0) {
    ThrowPathErrorWithName(path, errno);
  }
}

void RemoveFileIfExists(const TTString &path) {
  struct stat info;
  if (lstat(path.CStr(), &info) != 0) {
    const int error = errno;
    const TTFileError code = PathErrorToFileError(path.CStr(), error);
    if (code == TTFileError::fileNotFound) {
      return;
    }
    throw TTFileWithNameException(path, code, static_cast<std::uint32_t>(error));
  }
  RemoveFile(path);
}

void RenameFile(const TTString &source, const TTString &target) {
  if (renameat2(AT_FDCWD, source.CStr(), AT_FDCWD, target.CStr(), RENAME_NOREPLACE) == 0) {
    return;
  }
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // The file system cannot rename without replacing. Refuse an existing
    // target ourselves; the check and the rename are then two steps.
    struct stat info;
    if (lstat(target.CStr(), &info) == 0) {
      error = EEXIST;
    } else if (rename(source.CStr(), target.CStr()) == 0) {
      return;
    } else {
      error = errno;
    }
  }
  ThrowPathError(target.CStr(), error);
}

void MoveFileReplacing(const TTString &source, const TTString &target) {
  // The copy's data must be on the device before its name can stand for the
  // document, or a crash right after the rename could leave an empty file.
  FlushByName(source, O_NOFOLLOW);
  if (rename(source.CStr(), target.CStr()) != 0) {
    ThrowPathError(target.CStr(), errno);
  }
  FlushByName(ContainingDirectory(target), O_DIRECTORY);
}

bool ExchangeFiles(const TTString &source, const TTString &target) {
  if (renameat2(AT_FDCWD, source.CStr(), AT_FDCWD, target.CStr(), RENAME_EXCHANGE) != 0) {
    const int error = errno;
    // EINVAL: the file system does not know the flag; ENOSYS: nor does the
    // kernel; EOPNOTSUPP: some FUSE and network file systems say so.
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
      return false;
    }
    ThrowPathError(target.CStr(), error);
  }
  return true;
}

void FlushDirectoryOf(const TTString &path) { FlushByName(ContainingDirectory(path), O_DIRECTORY); }

int OpenComponentwise(int directory, const char *path, int flags) {
  flags |= O_CLOEXEC | O_NOFOLLOW;
  int current = directory;
  bool owned = false;
  if (*path == '/') {
    current = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (current < 0)
      return -1;
    owned = true;
  }
  std::string rest(path);
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t slash = rest.find('/', start);
    if (slash == std::string::npos)
      slash = rest.size();
    if (slash > start)
      components.push_back(rest.substr(start, slash - start));
    start = slash + 1;
  }
  if (components.empty())
    components.push_back("."); // "/" itself, or the directory
  int result = -1;
  for (std::size_t i = 0; i < components.size(); ++i) {
    const bool last = i + 1 == components.size();
    const int next = ::openat(current, components[i].c_str(),
                              last ? flags : (O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const int error = errno;
    if (owned)
      ::close(current);
    if (next < 0) {
      errno = error;
      return -1;
    }
    if (last)
      result = next;
    current = next;
    owned = true;
  }
  return result;
}

int OpenWithoutLinks(int directory, const char *path, int flags) {
  flags |= O_CLOEXEC | O_NOFOLLOW;
#ifdef SYS_openat2
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags);
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd = syscall(SYS_openat2, directory, path, &how, sizeof how);
  // ENOSYS: a kernel without openat2; EPERM: a sandbox that forbids it.
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
    return static_cast<int>(fd);
#endif
  return OpenComponentwise(directory, path, flags);
}

TTSavedDirectory::TTSavedDirectory() : descriptor(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

TTSavedDirectory::~TTSavedDirectory() {
  Restore();
  if (descriptor >= 0)
    ::close(descriptor);
}

bool TTSavedDirectory::Restore() const { return descriptor >= 0 && fchdir(descriptor) == 0; }

bool SetCurrentDir(const TTString &path) { return !path.IsEmpty() && chdir(path.CStr()) == 0; }

TTString GetCurrentDir() {
  char buffer[PATH_MAX + 1];
  if (getcwd(buffer, sizeof buffer) == nullptr) {
    ThrowLastError();
  }
  return TTString(buffer);
}

TTString MakeTempFileName(const TTString &directory, const TTString &prefix, int *descriptor) {
  TTString base = directory;
  if (!base.IsEmpty() && base.At(base.Length() - 1) != '/') {
    base += '/';
  }
  base += prefix.Left(3);

  // Start somewhere that differs from call to call and from process to
  // process, then count up: O_EXCL decides which number is free.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned start = static_cast<unsigned>(now.tv_nsec / 1000) ^ static_cast<unsigned>(getpid());
  for (unsigned attempt = 0; attempt < 0xFFFFu; ++attempt) {
    const unsigned number = ((start + attempt) % 0xFFFFu) + 1; // 1 to FFFF
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X.tmp", number);
    TTString candidate = base;
    candidate += digits;
    const int fd = ::open(candidate.CStr(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd >= 0) {
      if (descriptor != nullptr) {
        *descriptor = fd;
      } else {
        ::close(fd);
      }
      return candidate;
    }
    if (errno != EEXIST) {
      ThrowPathError(candidate.CStr(), errno);
    }
  }
  ThrowFileException(TTFileError::fileExists, EEXIST);
}

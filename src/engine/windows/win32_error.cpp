//===- engine/windows/win32_error.cpp - Win32 errors as errno values ------===//

#include "engine/windows/win32_error.h"

#include <cerrno>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

int ErrnoFromWin32(std::uint32_t error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_NET_NAME:
    return ENOENT;
  case ERROR_ACCESS_DENIED:
  case ERROR_WRITE_PROTECT:
    return EACCES;
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return EBUSY;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return ENOSPC;
  case ERROR_TOO_MANY_OPEN_FILES:
    return EMFILE;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    return ENOMEM;
  case ERROR_INVALID_HANDLE:
    return EBADF;
  case ERROR_INVALID_NAME:
  case ERROR_INVALID_PARAMETER:
    return EINVAL;
  case ERROR_NO_UNICODE_TRANSLATION:
    return EILSEQ;
  case ERROR_FILENAME_EXCED_RANGE:
    return ENAMETOOLONG;
  default:
    return EIO;
  }
}

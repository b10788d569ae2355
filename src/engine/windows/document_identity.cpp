//===- engine/windows/document_identity.cpp - File information, the hold --===//

#include "engine/document_identity.h"

#include "cfb/windows/win32.h"
#include "fs/windows/wide_name.h"
#include "fs/file_time.h"

#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

timespec TimeOf(const LARGE_INTEGER &time) {
  return FileTimeToTimespec(TTFileTime::FromValue(static_cast<std::uint64_t>(time.QuadPart)));
}

/// Reads the identity of the file open as `handle`; gives 0 or the Win32 error.
DWORD FromHandle(HANDLE handle, DocumentIdentity &identity) {
  BY_HANDLE_FILE_INFORMATION information;
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandle(handle, &information) ||
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
    return GetLastError();
  identity.device = information.dwVolumeSerialNumber;
  identity.inode =
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  identity.links = information.nNumberOfLinks;
  // A reparse point (symbolic link, junction) is neither a regular file nor
  // a folder to the run, as a symbolic link is on Linux.
  const DWORD attributes = information.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    identity.type = 0;
  else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    identity.type = S_IFDIR;
  else
    identity.type = GetFileType(handle) == FILE_TYPE_DISK ? S_IFREG : 0;
  identity.size =
      (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  identity.created = TimeOf(basic.CreationTime);
  identity.accessed = TimeOf(basic.LastAccessTime);
  identity.modified = TimeOf(basic.LastWriteTime);
  identity.changed = TimeOf(basic.ChangeTime);
  return 0;
}

/// The errno value of `error`, with the thread's last error set to it again
/// for a caller that reports the system's own error.
int Failure(DWORD error) {
  SetLastError(error);
  return cfb::ErrnoFromWin32(error);
}

std::string SystemText(const char *what, DWORD error) {
  return std::string(what) + " (" + std::strerror(cfb::ErrnoFromWin32(error)) + ")";
}

} // namespace

int ReadDocumentIdentity(const char *path, DocumentIdentity &identity) {
  std::wstring wide;
  if (!velkor::windows::WidePath(path, wide))
    return Failure(GetLastError());
  // No access beyond the attributes, and every sharing mode: this open never
  // disturbs a program that has the file open, and is never refused by one.
  // A reparse point is looked at itself, never followed.
  HANDLE handle = CreateFileW(
      wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return Failure(GetLastError());
  const DWORD error = FromHandle(handle, identity);
  CloseHandle(handle);
  return error == 0 ? 0 : Failure(error);
}

int ReadOpenIdentity(int descriptor, DocumentIdentity &identity) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE)
    return Failure(ERROR_INVALID_HANDLE);
  const DWORD error = FromHandle(handle, identity);
  return error == 0 ? 0 : Failure(error);
}

DocumentHold::~DocumentHold() {
  if (descriptor >= 0)
    _close(descriptor);
}

std::string DocumentHold::Acquire(const char *path, const DocumentIdentity &expected) {
  if (descriptor >= 0) {
    _close(descriptor);
    descriptor = -1;
  }
  std::wstring wide;
  if (!velkor::windows::WidePath(path, wide))
    return SystemText("can no longer be opened", GetLastError());
  // FILE_SHARE_READ: the system refuses the open while another program has
  // the document open for writing, and refuses every writer while the hold
  // lasts. FILE_SHARE_DELETE lets ReplaceFileW put the copy in the
  // document's place with the hold still open, so that, as on Linux, the
  // hold lasts across the replacement (without it ReplaceFileW fails with a
  // sharing violation). A reparse point in the document's place is opened
  // itself, and then is not the copied file.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      return "in use by another program";
    return SystemText("can no longer be opened", error);
  }
  descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return SystemText("cannot be examined", ERROR_TOO_MANY_OPEN_FILES);
  }
  DocumentIdentity now;
  if (const DWORD error = FromHandle(handle, now))
    return SystemText("cannot be examined", error);
  if (!now.SameFile(expected))
    return "changed while it was being copied";
  return std::string();
}

//===- fs/windows/file_handle.cpp - An open file on Win32 ------------------===//
//
// CreateFileW with the file's share mode (none: no other opener gets in while
// the file is held), and the descriptor is a C runtime one wrapping the
// handle, so that callers hold an int on both systems.

#include "fs/file_handle.h"

#include "core/exceptions.h"
#include "fs/path_error.h"
#include "fs/windows/wide_name.h"

// After the project's headers: <windows.h> defines macros that fs headers
// declare as constants.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

namespace {

HANDLE OsHandle(int descriptor) { return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)); }

/// Throws TTFileException without a name for the thread's last error.
[[noreturn]] void ThrowLastWindowsError() {
  const DWORD error = GetLastError();
  ThrowFileException(error == 0 ? TTFileError::generic : SystemErrorToFileError(error), error);
}

[[noreturn]] void ThrowLastWindowsErrorWithName(const TTString &name) {
  ThrowPathErrorWithName(name, static_cast<int>(GetLastError()));
}

FILETIME ToFileTime(const TTFileTime &time) { return FILETIME{time.lowPart, time.highPart}; }

} // namespace

TTFile::~TTFile() {
  if (open) {
    // The same path as Close, without letting an exception out: the
    // descriptor and its handle are released either way.
    _close(handle);
    open = false;
  }
}

void TTFile::Open(const TTString &fileName, std::uint32_t desiredAccess,
                  std::uint32_t creationDisposition) {
  Close();
  name = fileName;
  if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
    throw TTFileWithNameException(name, TTFileError::generic, ERROR_INVALID_PARAMETER);
  const std::wstring wide = velkor::windows::WidePathOf(name);

  HANDLE file = CreateFileW(wide.c_str(), desiredAccess & (GENERIC_READ | GENERIC_WRITE), shareMode,
                            nullptr, creationDisposition, flagsAndAttributes, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    ThrowLastWindowsErrorWithName(name);
  // A directory fails above already; a device, pipe or console (CON, NUL,
  // \\.\pipe\...) opens, and is refused here as access denied.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    throw TTFileWithNameException(name, TTFileError::accessDenied, ERROR_ACCESS_DENIED);
  }
  const int flags = (desiredAccess & GENERIC_WRITE) != 0 ? _O_BINARY : (_O_BINARY | _O_RDONLY);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags);
  if (fd < 0) {
    CloseHandle(file);
    throw TTFileWithNameException(name, TTFileError::tooManyOpenFiles, ERROR_TOO_MANY_OPEN_FILES);
  }
  handle = fd;
  open = true;
}

void TTFile::Close() {
  if (!open)
    return;
  SetLastError(0);
  const int result = _close(handle);
  const DWORD error = GetLastError();
  // The descriptor is gone even when closing its handle reported an error.
  open = false;
  handle = -1;
  if (result != 0)
    ThrowPathErrorWithName(name, static_cast<int>(error == 0 ? ERROR_INVALID_HANDLE : error));
}

std::uint32_t TTFile::GetPosition() {
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(OsHandle(handle), LARGE_INTEGER{}, &position, FILE_CURRENT))
    ThrowLastWindowsError();
  return static_cast<std::uint32_t>(position.QuadPart);
}

std::uint32_t TTFile::GetSize() {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(OsHandle(handle), &size))
    ThrowLastWindowsError();
  return static_cast<std::uint32_t>(size.QuadPart);
}

std::uint32_t TTFile::Seek(std::uint32_t position) {
  LARGE_INTEGER distance{};
  distance.QuadPart = position;
  LARGE_INTEGER result{};
  if (!SetFilePointerEx(OsHandle(handle), distance, &result, FILE_BEGIN)) {
    const DWORD error = GetLastError();
    if (error != 0)
      ThrowFileException(SystemErrorToFileError(error), error);
  }
  return static_cast<std::uint32_t>(result.QuadPart);
}

void TTOutputFile::SetTimes(const TTFileTime &creation, const TTFileTime &lastAccess,
                            const TTFileTime &lastWrite) {
  // Windows keeps all three; a time of 0 leaves that one as it is.
  const FILETIME times[3] = {ToFileTime(creation), ToFileTime(lastAccess), ToFileTime(lastWrite)};
  if (!SetFileTime(OsHandle(handle), &times[0], &times[1], &times[2]))
    ThrowLastWindowsErrorWithName(name);
}

void TTOutputFile::SetTimes(const timespec &lastAccess, const timespec &lastWrite) {
  const FILETIME access = ToFileTime(TimespecToFileTime(lastAccess));
  const FILETIME write = ToFileTime(TimespecToFileTime(lastWrite));
  if (!SetFileTime(OsHandle(handle), nullptr, &access, &write))
    ThrowLastWindowsErrorWithName(name);
}

std::uint32_t TTOutputFile::Write(const void *buffer, std::uint32_t count) {
  if (count == 0)
    return 0;
  const char *bytes = static_cast<const char *>(buffer);
  std::uint32_t written = 0;
  while (written < count) {
    DWORD n = 0;
    if (!WriteFile(OsHandle(handle), bytes + written, count - written, &n, nullptr))
      ThrowLastWindowsErrorWithName(name);
    if (n == 0) {
      // No progress and no error: the device is full.
      SetLastError(ERROR_DISK_FULL);
      ThrowLastWindowsErrorWithName(name);
    }
    written += n;
  }
  return written;
}

void TTOutputFile::SetSize(std::uint32_t size) {
  Seek(size);
  if (!SetEndOfFile(OsHandle(handle)))
    ThrowLastWindowsErrorWithName(name);
}

void TTOutputFile::Flush() {
  if (!FlushFileBuffers(OsHandle(handle)))
    ThrowLastWindowsErrorWithName(name);
}

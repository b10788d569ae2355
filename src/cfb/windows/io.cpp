//===- cfb/windows/io.cpp - Win32 handles, opening, full reads and writes --===//
#include "cfb/io.h"

#include "cfb/error.h"
#include "cfb/windows/win32.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace cfb {

namespace {

/// The most one ReadFile or WriteFile call is asked for (its count is 32 bits).
constexpr std::size_t kLargestTransfer = 1u << 30;

/// The file type bits a directory has in a POSIX mode, for the refusal's value.
constexpr std::uint64_t kDirectoryType = 0040000;

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

/// The open `handle` held by a readable file's descriptor, which closes it.
ReadableFile Wrapped(HANDLE handle, const std::string &path) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    throw IoError(EMFILE, "open", path);
  }
  ReadableFile file;
  file.descriptor = FileDescriptor(fd);
  return file;
}

} // namespace

int FileDescriptor::Close() {
  if (fd < 0)
    return 0;
  // Closes the descriptor and the handle it wraps.
  int result = ::_close(fd);
  fd = -1;
  return result == 0 ? 0 : errno;
}

ReadableFile OpenReadable(const std::string &path, FinalLink link) {
  const std::wstring wide = WidePath(path);
  // FILE_SHARE_READ only: the system refuses the open while another program
  // has the file open for writing, and refuses every writer while it is open.
  const DWORD sharing = FILE_SHARE_READ;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                      (link == FinalLink::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE handle =
      CreateFileW(wide.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS: it is
    // refused as what it is, as on Linux.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      throw FormatError(Reason::NotRegularFile, kDirectoryType, "file type");
    ThrowWin32Error(error, "open", path);
  }
  ReadableFile file = Wrapped(handle, path);
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information))
    ThrowWin32Error(GetLastError(), "stat", path);
  // A reparse point (a symbolic link, a junction) in the document's place is
  // never read through: the Windows form of O_NOFOLLOW's refusal.
  if (link == FinalLink::refuse && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    throw IoError(ELOOP, "open", path);
  // Devices (NUL, CON, a named pipe) open as files, but are none.
  if (GetFileType(handle) != FILE_TYPE_DISK)
    throw FormatError(Reason::NotRegularFile, 0, "file type");
  file.size =
      (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  return file;
}

ReadableFile OpenWrittenFile(int writerDescriptor, const std::string &path) {
  // The duplicate shares the writer's file object, and so its file
  // position; nothing is written after a copy is read back (Release only
  // flushes), and every read here names its own offset.
  HANDLE process = GetCurrentProcess();
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(process, HandleOf(writerDescriptor), process, &handle, GENERIC_READ, FALSE,
                       0))
    ThrowWin32Error(GetLastError(), "open", path);
  ReadableFile file = Wrapped(handle, path);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size))
    ThrowWin32Error(GetLastError(), "stat", path);
  file.size = static_cast<std::uint64_t>(size.QuadPart);
  return file;
}

std::size_t ReadAt(int fd, std::uint64_t offset, void *buffer, std::size_t length,
                   const std::string &path) {
  HANDLE handle = HandleOf(fd);
  auto *bytes = static_cast<std::uint8_t *>(buffer);
  std::size_t done = 0;
  while (done < length) {
    // A positioned read: the offset travels with the call, so that workers
    // may read through the one handle at once.
    OVERLAPPED at{};
    const std::uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = static_cast<DWORD>(std::min(length - done, kLargestTransfer));
    DWORD got = 0;
    if (!ReadFile(handle, bytes + done, want, &got, &at)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF)
        break;
      ThrowWin32Error(error, "read", path);
    }
    if (got == 0)
      break;
    done += got;
  }
  return done;
}

void WriteAll(int fd, const void *buffer, std::size_t length, const std::string &path) {
  HANDLE handle = HandleOf(fd);
  const auto *bytes = static_cast<const std::uint8_t *>(buffer);
  while (length > 0) {
    const DWORD want = static_cast<DWORD>(std::min(length, kLargestTransfer));
    DWORD put = 0;
    if (!WriteFile(handle, bytes, want, &put, nullptr))
      ThrowWin32Error(GetLastError(), "write", path);
    if (put == 0)
      throw IoError(ENOSPC, "write", path);
    bytes += put;
    length -= put;
  }
}

} // namespace cfb

//===- cfb/windows/writer.cpp - Opening and flushing a copy on Windows ----===//
#include "cfb/writer.h"

#include "cfb/error.h"
#include "cfb/windows/win32.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace cfb {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

/// Wraps `handle` in a C runtime descriptor, or closes it and throws.
int DescriptorOf(HANDLE handle, const char *operation, const std::string &path) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    throw IoError(EMFILE, operation, path);
  }
  return fd;
}

} // namespace

std::unique_ptr<Writer> Writer::Create(const std::string &path, bool durable, int heldDescriptor) {
  std::unique_ptr<Writer> writer(new Writer());
  writer->path = path;
  writer->durable = durable;
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (heldDescriptor >= 0) {
    // A duplicate of the caller's handle: the same open file, under the
    // sharing mode the caller opened it with.
    HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, HandleOf(heldDescriptor), process, &handle, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      ThrowWin32Error(GetLastError(), "dup", path);
    writer->descriptor = FileDescriptor(DescriptorOf(handle, "dup", path));
  } else {
    // Opened for reading too, as on Linux; a file we may only write is still
    // written. FILE_SHARE_READ: nobody else may write the copy, and it can
    // be read back to check it. The file is opened, not created anew, so
    // that one another program holds is refused without losing its bytes.
    const std::wstring wide = WidePath(path);
    handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
      handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
      ThrowWin32Error(GetLastError(), "open", path);
    writer->descriptor = FileDescriptor(DescriptorOf(handle, "open", path));
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size))
    ThrowWin32Error(GetLastError(), "fstat", path);
  if (size.QuadPart != 0) {
    FILE_END_OF_FILE_INFO end{};
    if (!SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end))
      ThrowWin32Error(GetLastError(), "truncate", path);
  }
  // The kernel copy between files is Linux's: here every byte is read into
  // the buffer and written out, and the checkpoint follows each megabyte.
  writer->kernelCopy = false;
  writer->buffer.reset(new std::uint8_t[kBufferSize]);
  return writer;
}

// Windows has no hint that starts a file's writing without waiting for it:
// the system's lazy writer starts on its own, and Sync waits for the rest.
void Writer::StartWriteback(bool) {}

std::uint64_t Writer::AppendFromFile(int, std::uint64_t, std::uint64_t) { return 0; }

void Writer::Sync() {
  if (durable && !FlushFileBuffers(HandleOf(descriptor.Get())))
    throw IoError(ErrnoFromWin32(GetLastError()), "flush", path);
}

} // namespace cfb

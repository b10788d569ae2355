//===- cfb/windows/win32.cpp - Wide names and Win32 errors ----------------===//
#include "cfb/windows/win32.h"

#include "cfb/error.h"

#include <cerrno>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace cfb {

namespace {

/// The longest path the plain form reaches: MAX_PATH less room for the
/// 8.3 name a directory's creation needs.
constexpr std::size_t kLongestPlainPath = MAX_PATH - 12;

std::wstring Utf8ToWide(const std::string &text, const std::string &path) {
  if (text.empty())
    return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0)
    throw IoError(EILSEQ, "open", path);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide.data(), length);
  return wide;
}

} // namespace

std::wstring WidePath(const std::string &path) {
  std::wstring wide = Utf8ToWide(path, path);
  for (wchar_t &c : wide)
    if (c == L'/')
      c = L'\\';
  if (wide.size() <= kLongestPlainPath || wide.rfind(L"\\\\?\\", 0) == 0)
    return wide;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return wide;
  std::wstring full(needed, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed)
    return wide;
  full.resize(got);
  if (full.rfind(L"\\\\", 0) == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

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
  case ERROR_CANNOT_MAKE:
    return EACCES;
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return EBUSY;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return ENOSPC;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return EEXIST;
  case ERROR_TOO_MANY_OPEN_FILES:
    return EMFILE;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    return ENOMEM;
  case ERROR_INVALID_HANDLE:
    return EBADF;
  case ERROR_INVALID_NAME:
  case ERROR_INVALID_PARAMETER:
  case ERROR_DIRECTORY:
    return EINVAL;
  case ERROR_FILENAME_EXCED_RANGE:
    return ENAMETOOLONG;
  case ERROR_NOT_SUPPORTED:
    return ENOTSUP;
  case ERROR_CANT_RESOLVE_FILENAME:
    return ELOOP;
  default:
    return EIO;
  }
}

void ThrowWin32Error(std::uint32_t error, const char *operation, const std::string &path) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    throw InUseError(path);
  throw IoError(ErrnoFromWin32(error), operation, path);
}

} // namespace cfb

//===- cfb/windows/win32.h - Wide names and Win32 errors for the cfb layer -===//
///
/// \file
/// What the Windows part of the compound-file layer shares: paths in the
/// wide form the W calls take, and Win32 errors turned into this layer's
/// errors. cfb stands alone (it links no other layer), so it converts names
/// itself.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

namespace cfb {

/// The UTF-8 `path` in UTF-16, with `/` turned into `\`; an absolute path
/// longer than MAX_PATH - 12 characters gets the `\\?\` form (`\\?\UNC\`
/// for a server's share). Throws `IoError` (EILSEQ) for bytes that are not
/// UTF-8, so that no name is ever turned into another one.
std::wstring WidePath(const std::string &path);

/// The errno value for a Win32 error number (ERROR_FILE_NOT_FOUND -> ENOENT,
/// ERROR_ACCESS_DENIED -> EACCES, ERROR_DISK_FULL -> ENOSPC, ...); EIO for
/// numbers without a counterpart.
int ErrnoFromWin32(std::uint32_t error);

/// Throws for the Win32 error `error` of `operation` on `path`: `InUseError`
/// for a sharing or lock violation (another program has the file open in a
/// way that excludes us), `IoError` with the errno value otherwise.
[[noreturn]] void ThrowWin32Error(std::uint32_t error, const char *operation,
                                  const std::string &path);

} // namespace cfb

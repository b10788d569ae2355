//===- fs/path_error.h - Raising file exceptions for failed path calls ----===//
///
/// \file
/// errno says ENOENT both for a missing file and for a missing directory on
/// the way to it. The platform these operations model tells the two apart
/// (file not found, bad path), and callers rely on it: removing a file that
/// is already gone is no error, while removing one in a directory that does
/// not exist is. These helpers raise the file exceptions for a failed call on
/// a path and make that distinction by looking at the path's directory.
///
/// On Windows the error values are GetLastError() numbers, which already
/// make the distinction (ERROR_PATH_NOT_FOUND); they map as
/// SystemErrorToFileError does.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/exceptions.h"
#include "core/byte_string.h"

/// The file error code for `error` from a call on `path`: ENOENT becomes
/// `badPath` when the directory that should hold the path's last component
/// does not exist; everything else maps as ErrnoToFileError does. On
/// Windows: SystemErrorToFileError of the GetLastError() number.
TTFileError PathErrorToFileError(const char *path, int error);

/// Throws TTFileWithNameException for `error` (an errno value, or on Windows
/// a GetLastError() number; not 0) from a
/// call on `path`, with the code of PathErrorToFileError.
[[noreturn]] void ThrowPathErrorWithName(const TTString &path, int error);

/// As ThrowPathErrorWithName, without the name: a TTFileException.
[[noreturn]] void ThrowPathError(const char *path, int error);

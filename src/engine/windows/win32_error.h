//===- engine/windows/win32_error.h - Win32 errors as errno values --------===//
#pragma once

#include <cstdint>

/// The errno value for a Win32 error number, so that the engine's reports
/// read alike on both systems (ENOENT, EACCES, EBUSY, ENOSPC...; EIO for
/// numbers without a counterpart).
int ErrnoFromWin32(std::uint32_t error);

//===- engine/open_file.h - Times and flushing of a file held open --------===//
///
/// \file
/// The two things document compaction does to its copy through the
/// descriptor it holds, each system's way. Both give false when the system
/// refused; the system's last error (errno, or GetLastError on Windows) then
/// says why, for ThrowLastErrorWithName.
///
//===----------------------------------------------------------------------===//
#pragma once

struct DocumentIdentity;

/// Gives the file open as `descriptor` the times of `document`: last access
/// and last write on Linux (futimens; a creation time cannot be set there),
/// and the creation time as well on Windows (SetFileTime).
bool SetOpenFileTimes(int descriptor, const DocumentIdentity &document);

/// Waits until the data and the times of the file open as `descriptor` are
/// on disk (fsync, or FlushFileBuffers on Windows).
bool FlushOpenFile(int descriptor);

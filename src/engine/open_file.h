//===- engine/open_file.h - Times and flushing of a file held open --------===//
///
/// \file
/// What document compaction does to its copy through the descriptor it
/// holds, each system's way: the times, the flush, and letting go of the
/// file before it takes the document's place. The first two give false when
/// the system refused; the system's last error (errno, or GetLastError on
/// Windows) then says why, for ThrowLastErrorWithName.
///
//===----------------------------------------------------------------------===//
#pragma once

struct DocumentIdentity;
class TTTempFile;

/// Gives the file open as `descriptor` the times of `document`: last access
/// and last write on Linux (futimens; a creation time cannot be set there),
/// and the creation time as well on Windows (SetFileTime).
bool SetOpenFileTimes(int descriptor, const DocumentIdentity &document);

/// Waits until the data and the times of the file open as `descriptor` are
/// on disk (fsync, or FlushFileBuffers on Windows).
bool FlushOpenFile(int descriptor);

/// Readies the copy held by `temporary` to take the document's place. On
/// Linux nothing: the holder's lock lasts across the rename. On Windows the
/// holder's descriptor is closed (the holder stays armed, and still removes
/// the copy if the replacement fails): a file held open with no sharing
/// cannot be moved, and ReplaceFileW would fail with a sharing violation.
void LetGoBeforeReplacement(TTTempFile &temporary);

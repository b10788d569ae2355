//===- fs/temp_file.h - Holder that removes a temporary file ----------===//
///
/// \file
/// TTTempFile makes a temporary file with MakeTempFileName and removes it
/// again when the holder is destroyed, unless it was released or removed
/// first. The compaction of one document holds its copy in one: an abort at
/// any step unwinds through the destructor and leaves no copy behind, and a
/// failed replacement releases the copy so that it stays on disk.
///
/// Each copy carries a mark, the extended attribute kCopyMarkAttribute set
/// through its descriptor as it is made. The sweep removes marked files
/// only: the mark stays with the copy while it is one, and goes when the
/// copy is given a document's attributes (SetAttributes), so the old file
/// of a document that a killed or failed replacement left under the copy's
/// name is never taken for an abandoned copy.
///
/// While it is held, the file is open and carries an open-file-description
/// write lock: it is a live writer's, and SweepAbandonedTempFiles (which
/// takes that lock without waiting before it removes anything) leaves it
/// alone. The lock ends with Release or Remove, or with the holder.
///
/// On Windows the mark is the named stream kCopyMarkStream holding the
/// file's index, and the lock is the share mode: the held file is open with
/// no sharing, and a sweep that meets a sharing violation leaves it alone.
/// GetTempFileNameW's names carry upper-case digits on Windows and
/// lower-case ones under Wine; the sweep takes both.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <cstdint>
#include <ctime>
#include <functional>

class TTTempFile {
public:
  TTTempFile();
  TTTempFile(const TTTempFile &) = delete;
  TTTempFile &operator=(const TTTempFile &) = delete;
  /// Removes the file when armed. A failure of that removal cannot leave a
  /// destructor; it is dropped, and the file stays where it is.
  ~TTTempFile();

  /// Removes a file made by an earlier Create, makes a new one in `directory`
  /// with `prefix`, opens it, marks it (MarkAsTemporaryCopy) and locks it
  /// for writing, arms the holder and gives a copy of the new name. Throws
  /// TTFileException.
  TTString Create(const TTString &directory, const TTString &prefix);
  /// When armed, removes the file if it still exists, then disarms. Throws
  /// the exception of RemoveFileIfExists; the holder then stays armed.
  void Remove();
  /// Disarms and drops the lock; the file is left alone.
  void Release();
  /// Closes the descriptor and so drops the lock, keeping the holder armed.
  /// On Windows a file held open with no sharing cannot be renamed or
  /// replaced, so the copy's descriptor is closed before MoveFileReplacing.
  void Close();
  /// Takes the copy's mark away, for a copy that is to become a file of its
  /// own without being given a document's attributes. True when the file
  /// carries no mark now.
  bool Unmark();
  /// The open, write-locked descriptor of the file; -1 when none is held.
  int Descriptor() const { return descriptor; }

  bool IsArmed() const { return armed; }
  const TTString &Name() const { return name; }

private:
  void Unlock();

  bool armed;
  TTString name;
  int descriptor;
};

/// The prefix of the run's temporary copies: vkrXXXX.tmp.
inline constexpr char kTempFilePrefix[] = "vkr";

/// Marks the open file `descriptor` as a temporary copy of ours: the
/// extended attribute kCopyMarkAttribute, whose value is the file's inode
/// number, so that a mark carried along to another file (by a copy that
/// keeps extended attributes) marks nothing. False where the file system
/// keeps no such attribute; the file is then never swept.
bool MarkAsTemporaryCopy(int descriptor);

/// What the sweep found in a file of the temporary name.
enum class TempFileFinding {
  removedCopy,   ///< an abandoned copy of ours, removed
  abandonedCopy, ///< an abandoned copy of ours, left (the sweep only looked)
  leftover,      ///< not a copy of ours (no mark): kept, for the user to look at
};

/// Finds the abandoned temporary files of `prefix` in `directory` (empty for
/// the current one): copies a killed run left behind. A file counts only
/// when it is provably one: exactly the name MakeTempFileName gives (the
/// prefix's first three bytes, one to four upper-case hexadecimal digits
/// without a leading zero, ".tmp"), marked as a copy (MarkAsTemporaryCopy),
/// a regular file owned by the running user
/// with one link, empty or starting with the compound-file signature, last
/// changed before `olderThan`, and not locked by a live writer (its write
/// lock is taken without waiting, and a locked file is left alone). Each
/// file is looked at before it is opened, without following a link, and
/// opened (for writing, to lock it) only when that look finds a regular file
/// of the running user with one link, older than the run: another user's
/// file, a device or a FIFO of the name is never opened. With
/// `remove` each such file is deleted while the lock is held; without, it is
/// only found. `found` is told each one's name and whether it was removed.
/// A regular file of the name, last changed before `olderThan`, that
/// carries no mark is a leftover: the old file of a document whose
/// replacement was killed or failed after the exchange of names, or a file
/// that is not ours. It is never opened nor removed; `found` is told its name
/// as a leftover. A directory that cannot be read finds nothing; nothing is
/// raised.
void SweepAbandonedTempFiles(const TTString &directory, const TTString &prefix,
                             const timespec &olderThan, bool remove,
                             const std::function<void(const TTString &, TempFileFinding)> &found);

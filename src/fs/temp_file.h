//===- fs/temp_file.h - Holder that removes a temporary file ----------===//
///
/// \file
/// TTTempFile makes a temporary file with MakeTempFileName and removes it
/// again when the holder is destroyed, unless it was released or removed
/// first. The compaction of one document holds its copy in one: an abort at
/// any step unwinds through the destructor and leaves no copy behind, and a
/// failed replacement releases the copy so that it stays on disk.
///
/// While it is held, the file is open and carries an open-file-description
/// write lock: it is a live writer's, and SweepAbandonedTempFiles (which
/// takes that lock without waiting before it removes anything) leaves it
/// alone. The lock ends with Release or Remove, or with the holder.
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
  /// with `prefix`, opens it and locks it for writing, arms the holder and
  /// gives a copy of the new name. Throws TTFileException.
  TTString Create(const TTString &directory, const TTString &prefix);
  /// When armed, removes the file if it still exists, then disarms. Throws
  /// the exception of RemoveFileIfExists; the holder then stays armed.
  void Remove();
  /// Disarms and drops the lock; the file is left alone.
  void Release();
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

/// Finds the abandoned temporary files of `prefix` in `directory` (empty for
/// the current one): copies a killed run left behind. A file counts only
/// when it is provably one: exactly the name MakeTempFileName gives (the
/// prefix's first three bytes, one to four upper-case hexadecimal digits
/// without a leading zero, ".tmp"), a regular file owned by the running user
/// with one link, empty or starting with the compound-file signature, last
/// changed before `olderThan`, and not locked by a live writer (its write
/// lock is taken without waiting, and a locked file is left alone). Each
/// file is looked at before it is opened, without following a link, and
/// opened (for writing, to lock it) only when that look finds a regular file
/// of the running user with one link, older than the run: another user's
/// file, a device or a FIFO of the name is never opened. With
/// `remove` each such file is deleted while the lock is held; without, it is
/// only found. `found` is told each one's name and whether it was removed.
/// A directory that cannot be read finds nothing; nothing is raised.
void SweepAbandonedTempFiles(const TTString &directory, const TTString &prefix,
                             const timespec &olderThan, bool remove,
                             const std::function<void(const TTString &, bool)> &found);

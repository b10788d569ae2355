//===- fs/tt_temp_file.h - Holder that removes a temporary file ----------===//
///
/// \file
/// TTTempFile makes a temporary file with MakeTempFileName and removes it
/// again when the holder is destroyed, unless it was released or removed
/// first. The compaction of one document holds its copy in one: an abort at
/// any step unwinds through the destructor and leaves no copy behind, and a
/// failed replacement releases the copy so that it stays on disk.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/tt_string.h"

class TTTempFile {
public:
  TTTempFile();
  TTTempFile(const TTTempFile &) = delete;
  TTTempFile &operator=(const TTTempFile &) = delete;
  /// Removes the file when armed. A failure of that removal cannot leave a
  /// destructor; it is dropped, and the file stays where it is.
  ~TTTempFile();

  /// Removes a file made by an earlier Create, makes a new one in `directory`
  /// with `prefix`, arms the holder and gives a copy of the new name.
  TTString Create(const TTString &directory, const TTString &prefix);
  /// When armed, removes the file if it still exists, then disarms. Throws
  /// the exception of RemoveFileIfExists; the holder then stays armed.
  void Remove();
  /// Disarms; the file is left alone.
  void Release() { armed = false; }

  bool IsArmed() const { return armed; }
  const TTString &Name() const { return name; }

private:
  bool armed;
  TTString name;
};

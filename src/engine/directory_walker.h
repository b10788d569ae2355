//===- engine/directory_walker.h - Depth-first walk below one directory ---===//
///
/// \file
/// TTDirectoryWalker walks the tree below one directory depth first, without
/// recursion: it keeps one open directory search per level on an explicit
/// stack, with the names of the subdirectories entered on a second one. A
/// derived class decides through three hooks which entries are yielded and
/// which directories the walk goes down into, and is told when the walk
/// enters and leaves a directory.
///
/// A symbolic link (on Windows any reparse point: a junction, a symbolic
/// link, a mounted volume) is never yielded and never descended into, and
/// neither is a pipe, socket or device (opening a pipe would block the run).
/// A walk can be told to stay on the mounted tree of the directory each
/// listing starts in: a directory of another mount (a mount point) is then
/// not listed, like one that cannot be listed. On Linux the mount decides,
/// not the device number, so the btrfs subvolumes inside a mount are walked
/// with it; on Windows the volume's serial number.
/// The start directory itself is always listed, so that a folder a mask
/// names leads into whatever is mounted there.
///
/// A directory that cannot be listed (access refused, vanished) counts as
/// empty, the start directory too; nothing is reported.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"
#include "fs/find_handle.h"

#include <cstdint>

class TTDirectoryWalker {
public:
  TTDirectoryWalker();
  TTDirectoryWalker(const TTDirectoryWalker &) = delete;
  TTDirectoryWalker &operator=(const TTDirectoryWalker &) = delete;
  /// Closes every search still open.
  virtual ~TTDirectoryWalker();

  /// The next entry of the walk: fills `record` and appends to `components`
  /// the directories that lead to it; false when the walk is over.
  virtual bool NextEntry(TTStringList &components, TTFindRecord &record) = 0;

  /// Keeps each listing on the mount of the directory it starts in (true)
  /// or lets it cross into other mounts (false, the default).
  void SetStayOnFileSystem(bool stay);

protected:
  /// Whether `record` is yielded; sets `descend` to whether the walk goes
  /// down into it (looked at only for a directory).
  virtual bool Accept(const TTFindRecord &record, bool &descend) = 0;
  /// The walk goes down into the subdirectory `name`.
  virtual void EnterDirectory(const TTString &name) = 0;
  /// The walk comes back up from the subdirectory it entered last.
  virtual void LeaveDirectory() = 0;

  /// Starts a walk below `start`: empty for the current directory, otherwise
  /// a directory path ending in a slash.
  void BeginWalk(const TTString &start);
  /// One step: true with the next accepted entry (its directories below the
  /// start appended to `components`), false when the walk is over.
  bool WalkStep(TTStringList &components, TTFindRecord &record);

private:
  /// Whether the search on top of the stack lists a directory that the walk
  /// may look into.
  bool OnAllowedFileSystem(const TTFindHandle &search);

  TTString startPath;
  bool active;
  bool openPending;
  TTObjectList<TTFindHandle> searchStack;
  TTStringList directoryStack;
  bool stayOnFileSystem;
  /// The mount of the start directory of the listing in progress.
  std::uint64_t startMount;
};

//===- fs/drive_kind.h - What kind of drive holds a folder ----------------===//
///
/// \file
/// How many documents a run may work on at once depends on what holds them:
/// a spinning disk seeks between files read side by side, a solid-state
/// disk does not, a network file system mostly waits, and a RAM disk never
/// does. DriveKindOf tells them apart from the file system's type (statfs)
/// and, for a block device, from its `rotational` flag in sysfs. It reads no
/// mount table, so it costs two system calls and one small file.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

enum class DriveKind {
  spinning,   ///< a block device whose `rotational` flag is set
  solidState, ///< a block device whose `rotational` flag is clear
  network,    ///< NFS, SMB/CIFS, AFS, Ceph, 9P, Coda and FUSE file systems
  memory,     ///< tmpfs and ramfs
  unknown,    ///< no block device to ask (btrfs, overlay, ...), or unreadable
};

/// The kind of drive that holds `path`. `sysfs` is where the block devices'
/// flags are read (dev/block/M:m/queue/rotational, or the disk's for a
/// partition); tests point it at a stand-in folder.
DriveKind DriveKindOf(const char *path, const std::string &sysfs = "/sys");

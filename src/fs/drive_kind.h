//===- fs/drive_kind.h - What kind of drive holds a folder ----------------===//
///
/// \file
/// How many documents a run may work on at once depends on what holds them:
/// a spinning disk seeks between files read side by side, a solid-state
/// disk does not, a network file system mostly waits, and a RAM disk never
/// does. On Linux DriveKindOf tells them apart from the file system's type
/// (statfs) and, for a block device, from its `rotational` flag in sysfs; it
/// reads no mount table, so it costs two system calls and one small file. On
/// Windows the drive type tells network and RAM disks, and the disk's seek
/// penalty, where the disk answers, spinning from solid-state disks.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

enum class DriveKind {
  spinning,   ///< a block device whose `rotational` flag (seek penalty) is set
  solidState, ///< a block device whose `rotational` flag (seek penalty) is clear
  network,    ///< NFS, SMB/CIFS, AFS, Ceph, 9P, Coda, FUSE; a remote drive
  memory,     ///< tmpfs and ramfs
  unknown,    ///< no block device to ask (btrfs, overlay, ...), or unreadable
};

/// The kind of drive that holds `path`. `sysfs` is where Linux's block
/// devices' flags are read (dev/block/M:m/queue/rotational, or the disk's for
/// a partition); tests point it at a stand-in folder. Windows reads none.
DriveKind DriveKindOf(const char *path, const std::string &sysfs = "/sys");

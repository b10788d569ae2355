//===- fs/mount_table.h - The mount table and the drives it holds --------===//
///
/// \file
/// On Linux a "drive" is a mounted storage file system, and its mount point
/// is its root ("/", "/home/", "/mnt/archive/"). TTMountTable reads the list
/// from the mount table, /proc/self/mountinfo, with util-linux's libmount,
/// which is loaded only then (a program that never lists drives does not
/// pay for loading it):
///   - in mount-table order with "/" first, each root once; of a mount point
///     that several mounts repeat, only the one on top, the one that is seen;
///   - without kernel pseudo file systems (proc, sysfs, cgroup, devpts, ...),
///     mounts that lie inside one, and anything mounted in /dev, /proc or
///     /sys (a container's tmpfs on /dev, /dev/shm, /sys/fs/cgroup);
///   - without mounts hidden below a later mount over one of their parents;
///   - without mount points that are not directories (a single file
///     bind-mounted, as containers do with /etc/hosts).
/// The drive type of a root: DRIVE_CDROM for optical file systems and
/// devices (iso9660, udf, /dev/sr*), DRIVE_REMOTE for network file systems,
/// DRIVE_RAMDISK for tmpfs and ramfs, DRIVE_REMOVABLE for block devices whose
/// `removable` flag is set and for media the desktop mounts under /media or
/// /run/media, DRIVE_FIXED for the rest; DRIVE_NO_ROOT_DIR for a path that
/// is not a drive root.
///
/// One tree of files can be mounted more than once: a bind mount shows a
/// folder of a file system again elsewhere, and a file system can be mounted
/// at two places. CoveringRoot tells, for such a drive, the drive whose walk
/// already reaches all of its files, so that an all-drives run walks every
/// mounted tree once.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"
#include "fs/drive_list.h"

#include <cstdint>
#include <string>
#include <vector>

/// Where the mount table and the machine's state are read from. The
/// defaults read this machine; a test points them at a captured mount table
/// and at folders that stand in for that machine's mount points and sysfs.
struct TTDriveProbe {
  std::string mountInfo = "/proc/self/mountinfo";
  /// Prepended to each mount point when checking that it is a directory.
  std::string rootPrefix;
  /// Where the block devices' `removable` flags are read (dev/block/M:m).
  std::string sysfs = "/sys";
};

/// The drives of one reading of the mount table.
class TTMountTable : public TTDriveTable {
public:
  /// Reads and classifies the mount table. Throws TTFileException when it
  /// cannot be read, or libmount cannot be loaded.
  explicit TTMountTable(const TTDriveProbe &probe = TTDriveProbe());

  /// The drive roots, each ending in a slash, "/" first.
  const TTStringList &Roots() const override { return roots; }
  /// The drive type of `root` (with or without its final slash);
  /// DRIVE_NO_ROOT_DIR when it is not one of the roots.
  std::uint32_t DriveType(const TTString &root) const override;
  /// The root of another drive whose walk reaches every file of the drive
  /// `root`: the same file system, mounted from the same folder of it or
  /// from a folder above, and that folder not hidden there by a mount on
  /// the way. Of two drives that show the same folder, the earlier covers
  /// the later. Empty when no drive covers `root`.
  TTString CoveringRoot(const TTString &root) const override;

private:
  std::int32_t IndexOf(const TTString &root) const;

  TTStringList roots;
  std::vector<std::uint32_t> types;
  /// For each root: the index of the root that covers it, or -1.
  std::vector<std::int32_t> coveredBy;
};

/// What names the mounted tree the open file `descriptor` lies in: the
/// kernel's mount id (statx, Linux 5.8 and later), so that the folders of
/// one mount compare equal even where they carry device numbers of their
/// own (btrfs subvolumes). Older kernels give no mount id; the file
/// system's device number stands in then, marked so that it never equals a
/// mount id. False when the file cannot be looked at.
bool MountKeyOf(int descriptor, std::uint64_t &key);
/// The same for a path, without following a final symbolic link.
bool MountKeyOf(const char *path, std::uint64_t &key);

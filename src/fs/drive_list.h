//===- fs/drive_list.h - Drives from the mount table ---------------------===//
///
/// \file
/// On Linux a "drive" is a mounted storage file system, and its mount point
/// is its root ("/", "/home/", "/mnt/archive/"). The list comes from the
/// mount table, /proc/self/mountinfo, read with util-linux's libmount:
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
//===----------------------------------------------------------------------===//
#pragma once

#include "core/tt_list.h"
#include "core/tt_string.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint32_t DRIVE_UNKNOWN = 0;
inline constexpr std::uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr std::uint32_t DRIVE_REMOVABLE = 2;
inline constexpr std::uint32_t DRIVE_FIXED = 3;
inline constexpr std::uint32_t DRIVE_REMOTE = 4;
inline constexpr std::uint32_t DRIVE_CDROM = 5;
inline constexpr std::uint32_t DRIVE_RAMDISK = 6;

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
class TTMountTable {
public:
  /// Reads and classifies the mount table. Throws TTFileException when it
  /// cannot be read.
  explicit TTMountTable(const TTDriveProbe &probe = TTDriveProbe());

  /// The drive roots, each ending in a slash, "/" first.
  const TTStringList &Roots() const { return roots; }
  /// The drive type of `root` (with or without its final slash);
  /// DRIVE_NO_ROOT_DIR when it is not one of the roots.
  std::uint32_t DriveType(const TTString &root) const;

private:
  TTStringList roots;
  std::vector<std::uint32_t> types;
};

/// Empties `list` and fills it with the drive roots of this machine.
/// Throws TTFileException when the mount table cannot be read.
void ListLogicalDrives(TTStringList &list);

/// The drive type of `root` on this machine.
std::uint32_t GetDriveType(const TTString &root);

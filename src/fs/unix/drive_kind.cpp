//===- fs/unix/drive_kind.cpp - What kind of drive holds a folder ---------===//

#include "fs/drive_kind.h"

#include <fstream>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace {

bool IsNetworkType(unsigned long type) {
  switch (type) {
  case NFS_SUPER_MAGIC:
  case SMB_SUPER_MAGIC:
  case CIFS_SUPER_MAGIC:
  case SMB2_SUPER_MAGIC:
  case AFS_SUPER_MAGIC:
  case AFS_FS_MAGIC:
  case CEPH_SUPER_MAGIC:
  case CODA_SUPER_MAGIC:
  case V9FS_MAGIC:
  // FUSE file systems are mostly clients of remote services (sshfs,
  // rclone, s3fs); where one is local, waiting on it costs no more.
  case FUSE_SUPER_MAGIC:
    return true;
  default:
    return false;
  }
}

/// The `rotational` flag of the block device `device`, or of the disk that
/// holds it when it is a partition: 1, 0, or -1 when there is none to read.
int RotationalFlag(const std::string &sysfs, dev_t device) {
  if (major(device) == 0)
    return -1; // an anonymous device: btrfs, overlay, a FUSE mount
  const std::string base =
      sysfs + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  for (const char *file : {"/queue/rotational", "/../queue/rotational"}) {
    std::ifstream flag(base + file);
    char value = 0;
    if (flag >> value)
      return value == '1' ? 1 : 0;
  }
  return -1;
}

} // namespace

DriveKind DriveKindOf(const char *path, const std::string &sysfs) {
  struct statfs system;
  if (statfs(path, &system) != 0)
    return DriveKind::unknown;
  const auto type = static_cast<unsigned long>(system.f_type);
  if (IsNetworkType(type))
    return DriveKind::network;
  if (type == TMPFS_MAGIC || type == RAMFS_MAGIC)
    return DriveKind::memory;
  struct stat status;
  if (stat(path, &status) != 0)
    return DriveKind::unknown;
  switch (RotationalFlag(sysfs, status.st_dev)) {
  case 1:
    return DriveKind::spinning;
  case 0:
    return DriveKind::solidState;
  default:
    return DriveKind::unknown;
  }
}

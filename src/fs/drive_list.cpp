//===- fs/drive_list.cpp - Drives from the mount table -------------------===//

#include "fs/drive_list.h"

#include "core/tt_exception.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <libmount/libmount.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

/// Kernel and desktop file systems that hold no user files of their own.
constexpr const char *kPseudoTypes[] = {
    "proc",      "sysfs",      "cgroup",       "cgroup2",    "devpts",      "devtmpfs",
    "mqueue",    "debugfs",    "tracefs",      "securityfs", "pstore",      "bpf",
    "configfs",  "fusectl",    "hugetlbfs",    "autofs",     "binfmt_misc", "efivarfs",
    "selinuxfs", "nsfs",       "rpc_pipefs",   "nfsd",       "sockfs",      "pipefs",
    "anon_inodefs", "rootfs",  "binder",       "devfs",      "usbfs",       "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.lxcfs", "fuse.doc",   "none",
};

/// Network file systems libmount may not name as such.
constexpr const char *kRemoteTypes[] = {
    "nfs",  "nfs4",  "cifs",  "smb3",      "smbfs",  "ncpfs",     "afs",  "9p",
    "ceph", "lustre", "davfs", "glusterfs", "gfs2",  "ocfs2",     "orangefs",
};

bool IsOneOf(const char *type, const char *const *list, std::size_t count) {
  return std::any_of(list, list + count, [&](const char *item) { return std::strcmp(type, item) == 0; });
}

bool IsPseudoType(const char *type) {
  return IsOneOf(type, kPseudoTypes, std::size(kPseudoTypes));
}

bool IsRemote(libmnt_fs *fs, const char *type) {
  if (mnt_fs_is_netfs(fs) == 1 || IsOneOf(type, kRemoteTypes, std::size(kRemoteTypes))) {
    return true;
  }
  // FUSE clients of remote services: sshfs, rclone, s3fs, curlftpfs, ...
  return std::strncmp(type, "fuse.", 5) == 0 &&
         (std::strstr(type, "ssh") != nullptr || std::strstr(type, "rclone") != nullptr ||
          std::strstr(type, "s3") != nullptr || std::strstr(type, "ftp") != nullptr ||
          std::strstr(type, "dav") != nullptr || std::strstr(type, "smb") != nullptr ||
          std::strstr(type, "gluster") != nullptr || std::strstr(type, "ceph") != nullptr);
}

bool StartsWith(const std::string &text, const char *prefix) {
  return text.rfind(prefix, 0) == 0;
}

/// The kernel's own folders: whatever is mounted there (a container's tmpfs
/// on /dev, the tmpfs of /sys/fs/cgroup) is plumbing, not storage.
bool IsKernelFolder(const std::string &target) {
  for (const char *folder : {"/dev", "/proc", "/sys"}) {
    const std::size_t length = std::strlen(folder);
    if (target.compare(0, length, folder) == 0 &&
        (target.size() == length || target[length] == '/')) {
      return true;
    }
  }
  return false;
}

/// The removable flag of a block device, or of the disk that holds the
/// partition when the device is one.
bool IsRemovableDevice(const TTDriveProbe &probe, dev_t device) {
  if (major(device) == 0) {
    return false; // no block device behind it
  }
  const std::string base = probe.sysfs + "/dev/block/" + std::to_string(major(device)) + ":" +
                           std::to_string(minor(device));
  for (const char *file : {"/removable", "/../removable"}) {
    std::ifstream flag(base + file);
    char value = 0;
    if (flag >> value) {
      return value == '1';
    }
  }
  return false;
}

std::uint32_t Classify(const TTDriveProbe &probe, libmnt_fs *fs, const std::string &target) {
  const char *type = mnt_fs_get_fstype(fs);
  const char *sourceText = mnt_fs_get_source(fs);
  const std::string source = sourceText != nullptr ? sourceText : "";
  // Read-only image file systems (snap packages, live media) are read-only by
  // construction, like optical media: a run could make no copy beside any of
  // their documents, so they count as CD-ROM drives and stay out of the
  // all-drives run.
  if (std::strcmp(type, "iso9660") == 0 || std::strcmp(type, "udf") == 0 ||
      std::strcmp(type, "squashfs") == 0 || std::strcmp(type, "erofs") == 0 ||
      std::strcmp(type, "cramfs") == 0 || StartsWith(source, "/dev/sr") ||
      StartsWith(source, "/dev/cdrom") || StartsWith(source, "/dev/dvd")) {
    return DRIVE_CDROM;
  }
  if (IsRemote(fs, type)) {
    return DRIVE_REMOTE;
  }
  if (std::strcmp(type, "tmpfs") == 0 || std::strcmp(type, "ramfs") == 0) {
    return DRIVE_RAMDISK;
  }
  if (StartsWith(target, "/media/") || StartsWith(target, "/run/media/") ||
      IsRemovableDevice(probe, mnt_fs_get_devno(fs))) {
    return DRIVE_REMOVABLE;
  }
  return DRIVE_FIXED;
}

bool IsDirectoryMountPoint(const TTDriveProbe &probe, const std::string &target) {
  const std::string path = probe.rootPrefix + target;
  struct statx info;
  // AT_NO_AUTOMOUNT: looking at a mount point must not mount anything.
  if (statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_TYPE, &info) != 0) {
    return false;
  }
  return S_ISDIR(info.stx_mode);
}

struct TableDeleter {
  void operator()(libmnt_table *table) const { mnt_unref_table(table); }
};
struct IterDeleter {
  void operator()(libmnt_iter *iter) const { mnt_free_iter(iter); }
};

/// One mount of the table, as far as the classification needs it.
struct Mount {
  libmnt_fs *fs;
  int id;
  int parentId;
  std::string target;
  bool pseudo;
};

} // namespace

TTMountTable::TTMountTable(const TTDriveProbe &probe) {
  std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
  std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt_new_iter(MNT_ITER_FORWARD));
  if (!table || !iter) {
    ThrowFileException(TTFileError::generic, ENOMEM);
  }
  const int result = mnt_table_parse_file(table.get(), probe.mountInfo.c_str());
  if (result != 0) {
    ThrowIfSystemError(result < 0 ? -result : EINVAL);
  }

  std::vector<Mount> mounts;
  std::map<int, std::size_t> byId;
  libmnt_fs *fs = nullptr;
  while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
    const char *target = mnt_fs_get_target(fs);
    const char *type = mnt_fs_get_fstype(fs);
    if (target == nullptr || type == nullptr) {
      continue;
    }
    byId[mnt_fs_get_id(fs)] = mounts.size();
    mounts.push_back(Mount{fs, mnt_fs_get_id(fs), mnt_fs_get_parent_id(fs), target,
                           IsPseudoType(type)});
  }

  // A mount is hidden when a later mount sits on the same mount point over
  // it (its child with the same target), and everything mounted below a
  // hidden mount is hidden with it. Parents outside the table (a container's
  // root) count as seen.
  std::vector<bool> overmounted(mounts.size(), false);
  for (const Mount &mount : mounts) {
    const auto parent = byId.find(mount.parentId);
    if (parent != byId.end() && parent->second != static_cast<std::size_t>(&mount - mounts.data()) &&
        mounts[parent->second].target == mount.target) {
      overmounted[parent->second] = true;
    }
  }
  auto visible = [&](std::size_t index) {
    // Walks up the parents; a hidden mount on the way hides this one, unless
    // this one is the mount on top of it. Bounded by the table's size, so a
    // damaged table with a parent loop cannot hang the walk.
    if (overmounted[index]) {
      return false;
    }
    std::size_t current = index;
    for (std::size_t steps = 0; steps < mounts.size(); ++steps) {
      const auto parent = byId.find(mounts[current].parentId);
      if (parent == byId.end() || parent->second == current) {
        return true;
      }
      const std::size_t up = parent->second;
      if (overmounted[up] && mounts[up].target != mounts[current].target) {
        return false;
      }
      current = up;
    }
    return true;
  };
  auto insidePseudo = [&](std::size_t index) {
    const auto parent = byId.find(mounts[index].parentId);
    return parent != byId.end() && parent->second != index && mounts[parent->second].pseudo;
  };

  std::vector<std::string> seen;
  for (std::size_t i = 0; i < mounts.size(); ++i) {
    const Mount &mount = mounts[i];
    if (mount.pseudo || insidePseudo(i) || IsKernelFolder(mount.target) || !visible(i) ||
        std::find(seen.begin(), seen.end(), mount.target) != seen.end()) {
      continue;
    }
    const std::uint32_t type = Classify(probe, mount.fs, mount.target);
    // A remote mount point is not looked at: a server that does not answer
    // would hang the listing.
    if (type != DRIVE_REMOTE && !IsDirectoryMountPoint(probe, mount.target)) {
      continue;
    }
    seen.push_back(mount.target);
    TTString root(mount.target.c_str());
    if (mount.target != "/") {
      root += '/';
    }
    if (mount.target == "/") {
      roots.InsertCopy(0, root);
      types.insert(types.begin(), type);
    } else {
      roots.AddCopy(root);
      types.push_back(type);
    }
  }
}

std::uint32_t TTMountTable::DriveType(const TTString &root) const {
  TTString wanted = root;
  if (wanted.IsEmpty() || wanted.At(wanted.Length() - 1) != '/') {
    wanted += '/';
  }
  for (std::int32_t i = 0; i < roots.Count(); ++i) {
    if (roots.At(i) == wanted) {
      return types[static_cast<std::size_t>(i)];
    }
  }
  return DRIVE_NO_ROOT_DIR;
}

void ListLogicalDrives(TTStringList &list) {
  TTMountTable table;
  list.Clear();
  for (std::int32_t i = 0; i < table.Roots().Count(); ++i) {
    list.AddCopy(table.Roots().At(i));
  }
}

std::uint32_t GetDriveType(const TTString &root) { return TTMountTable().DriveType(root); }

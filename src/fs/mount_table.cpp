//===- fs/mount_table.cpp - The mount table and the drives it holds ------===//

#include "fs/mount_table.h"

#include "core/exceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <libmount/libmount.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

/// The libmount functions the table uses, looked up when the first table is
/// read. Linking libmount would load it, with libblkid and libselinux, into
/// every start of the programs, also of one that only prints its version.
struct LibMount {
  decltype(&::mnt_new_table) newTable = nullptr;
  decltype(&::mnt_unref_table) unrefTable = nullptr;
  decltype(&::mnt_new_iter) newIter = nullptr;
  decltype(&::mnt_free_iter) freeIter = nullptr;
  decltype(&::mnt_table_parse_file) parseFile = nullptr;
  decltype(&::mnt_table_next_fs) nextFs = nullptr;
  decltype(&::mnt_fs_get_target) target = nullptr;
  decltype(&::mnt_fs_get_fstype) fstype = nullptr;
  decltype(&::mnt_fs_get_source) source = nullptr;
  decltype(&::mnt_fs_get_root) root = nullptr;
  decltype(&::mnt_fs_get_id) id = nullptr;
  decltype(&::mnt_fs_get_parent_id) parentId = nullptr;
  decltype(&::mnt_fs_get_devno) devno = nullptr;
  decltype(&::mnt_fs_is_netfs) isNetfs = nullptr;
  bool loaded = false;

  LibMount() {
    // Kept loaded for the life of the process: a later reading then costs
    // no second load.
    void *library = dlopen("libmount.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      return;
    }
    loaded =
        Find(library, "mnt_new_table", newTable) && Find(library, "mnt_unref_table", unrefTable) &&
        Find(library, "mnt_new_iter", newIter) && Find(library, "mnt_free_iter", freeIter) &&
        Find(library, "mnt_table_parse_file", parseFile) &&
        Find(library, "mnt_table_next_fs", nextFs) && Find(library, "mnt_fs_get_target", target) &&
        Find(library, "mnt_fs_get_fstype", fstype) && Find(library, "mnt_fs_get_source", source) &&
        Find(library, "mnt_fs_get_root", root) && Find(library, "mnt_fs_get_id", id) &&
        Find(library, "mnt_fs_get_parent_id", parentId) &&
        Find(library, "mnt_fs_get_devno", devno) && Find(library, "mnt_fs_is_netfs", isNetfs);
  }

  template <typename Function>
  static bool Find(void *library, const char *name, Function &function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
  }
};

/// The library, loaded on first use; throws TTFileException when it cannot
/// be.
const LibMount &Mnt() {
  static const LibMount library;
  if (!library.loaded) {
    ThrowFileException(TTFileError::generic, ELIBACC);
  }
  return library;
}

/// Kernel and desktop file systems that hold no user files of their own.
constexpr const char *kPseudoTypes[] = {
    "proc",         "sysfs",      "cgroup",     "cgroup2",    "devpts",      "devtmpfs",
    "mqueue",       "debugfs",    "tracefs",    "securityfs", "pstore",      "bpf",
    "configfs",     "fusectl",    "hugetlbfs",  "autofs",     "binfmt_misc", "efivarfs",
    "selinuxfs",    "nsfs",       "rpc_pipefs", "nfsd",       "sockfs",      "pipefs",
    "anon_inodefs", "rootfs",     "binder",     "devfs",      "usbfs",       "fuse.gvfsd-fuse",
    "fuse.portal",  "fuse.lxcfs", "fuse.doc",   "none",
};

/// Network file systems libmount may not name as such.
constexpr const char *kRemoteTypes[] = {
    "nfs",  "nfs4",   "cifs",  "smb3",      "smbfs", "ncpfs", "afs",      "9p",
    "ceph", "lustre", "davfs", "glusterfs", "gfs2",  "ocfs2", "orangefs",
};

bool IsOneOf(const char *type, const char *const *list, std::size_t count) {
  return std::any_of(list, list + count,
                     [&](const char *item) { return std::strcmp(type, item) == 0; });
}

bool IsPseudoType(const char *type) { return IsOneOf(type, kPseudoTypes, std::size(kPseudoTypes)); }

bool IsRemote(libmnt_fs *fs, const char *type) {
  if (Mnt().isNetfs(fs) == 1 || IsOneOf(type, kRemoteTypes, std::size(kRemoteTypes))) {
    return true;
  }
  // FUSE clients of remote services: sshfs, rclone, s3fs, curlftpfs, ...
  return std::strncmp(type, "fuse.", 5) == 0 &&
         (std::strstr(type, "ssh") != nullptr || std::strstr(type, "rclone") != nullptr ||
          std::strstr(type, "s3") != nullptr || std::strstr(type, "ftp") != nullptr ||
          std::strstr(type, "dav") != nullptr || std::strstr(type, "smb") != nullptr ||
          std::strstr(type, "gluster") != nullptr || std::strstr(type, "ceph") != nullptr);
}

bool StartsWith(const std::string &text, const char *prefix) { return text.rfind(prefix, 0) == 0; }

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
  const char *type = Mnt().fstype(fs);
  const char *sourceText = Mnt().source(fs);
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
      IsRemovableDevice(probe, Mnt().devno(fs))) {
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
  void operator()(libmnt_table *table) const { Mnt().unrefTable(table); }
};
struct IterDeleter {
  void operator()(libmnt_iter *iter) const { Mnt().freeIter(iter); }
};

/// One mount of the table, as far as the classification needs it.
struct Mount {
  libmnt_fs *fs;
  int id;
  int parentId;
  std::string target;
  bool pseudo;
  dev_t device;
  std::string root; ///< the folder of its file system the mount shows
};

/// True when `path` is `folder` or lies below it (both absolute, without a
/// closing slash except for "/").
bool IsAtOrBelow(const std::string &path, const std::string &folder) {
  if (folder == "/") {
    return !path.empty() && path[0] == '/';
  }
  return path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

} // namespace

TTMountTable::TTMountTable(const TTDriveProbe &probe) {
  const LibMount &mnt = Mnt();
  std::unique_ptr<libmnt_table, TableDeleter> table(mnt.newTable());
  std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt.newIter(MNT_ITER_FORWARD));
  if (!table || !iter) {
    ThrowFileException(TTFileError::generic, ENOMEM);
  }
  const int result = mnt.parseFile(table.get(), probe.mountInfo.c_str());
  if (result != 0) {
    ThrowIfSystemError(result < 0 ? -result : EINVAL);
  }

  std::vector<Mount> mounts;
  std::map<int, std::size_t> byId;
  libmnt_fs *fs = nullptr;
  while (mnt.nextFs(table.get(), iter.get(), &fs) == 0) {
    const char *target = mnt.target(fs);
    const char *type = mnt.fstype(fs);
    if (target == nullptr || type == nullptr) {
      continue;
    }
    const char *root = mnt.root(fs);
    byId[mnt.id(fs)] = mounts.size();
    mounts.push_back(Mount{fs, mnt.id(fs), mnt.parentId(fs), target, IsPseudoType(type),
                           mnt.devno(fs), root != nullptr ? root : ""});
  }

  // A mount is hidden when a later mount sits on the same mount point over
  // it (its child with the same target), and everything mounted below a
  // hidden mount is hidden with it. Parents outside the table (a container's
  // root) count as seen.
  std::vector<bool> overmounted(mounts.size(), false);
  for (const Mount &mount : mounts) {
    const auto parent = byId.find(mount.parentId);
    if (parent != byId.end() &&
        parent->second != static_cast<std::size_t>(&mount - mounts.data()) &&
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
  std::vector<std::size_t> drives; // the mount of each root, in the roots' order
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
      drives.insert(drives.begin(), i);
    } else {
      roots.AddCopy(root);
      types.push_back(type);
      drives.push_back(i);
    }
  }

  // Which drive's walk already reaches a drive's files. A walk stays on its
  // own mount, so the folder must not be hidden there by a visible mount at
  // it or on the way to it. Drives are decided widest first (the shortest
  // folder of the file system), so a covering drive is never itself covered.
  coveredBy.assign(drives.size(), -1);
  std::vector<std::size_t> order(drives.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    order[k] = k;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return mounts[drives[a]].root.size() < mounts[drives[b]].root.size();
  });
  auto hiddenOnTheWay = [&](const Mount &over, const std::string &path) {
    for (std::size_t m = 0; m < mounts.size(); ++m) {
      if (mounts[m].target != over.target && IsAtOrBelow(mounts[m].target, over.target) &&
          IsAtOrBelow(path, mounts[m].target) && visible(m)) {
        return true;
      }
    }
    return false;
  };
  for (std::size_t a = 0; a < order.size(); ++a) {
    const std::size_t inner = order[a];
    const Mount &covered = mounts[drives[inner]];
    for (std::size_t b = 0; b < a; ++b) {
      const std::size_t outer = order[b];
      const Mount &covering = mounts[drives[outer]];
      if (coveredBy[outer] >= 0 || covering.device != covered.device || covering.root.empty() ||
          !IsAtOrBelow(covered.root, covering.root)) {
        continue;
      }
      // Where the covered drive's folder lies in the covering drive's tree.
      const std::string rest =
          covering.root == "/" ? covered.root : covered.root.substr(covering.root.size());
      std::string path = covering.target;
      if (path == "/") {
        path = rest.empty() ? "/" : rest;
      } else if (rest != "/") {
        path += rest;
      }
      if (!hiddenOnTheWay(covering, path)) {
        coveredBy[inner] = static_cast<std::int32_t>(outer);
        break;
      }
    }
  }
}

std::int32_t TTMountTable::IndexOf(const TTString &root) const {
  TTString wanted = root;
  if (wanted.IsEmpty() || wanted.At(wanted.Length() - 1) != '/') {
    wanted += '/';
  }
  for (std::int32_t i = 0; i < roots.Count(); ++i) {
    if (roots.At(i) == wanted) {
      return i;
    }
  }
  return -1;
}

TTString TTMountTable::CoveringRoot(const TTString &root) const {
  const std::int32_t index = IndexOf(root);
  if (index < 0 || coveredBy[static_cast<std::size_t>(index)] < 0) {
    return TTString();
  }
  return roots.At(coveredBy[static_cast<std::size_t>(index)]);
}

bool MountKeyOf(int descriptor, std::uint64_t &key) {
  struct statx info;
  if (statx(descriptor, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, STATX_MNT_ID, &info) != 0) {
    return false;
  }
  if ((info.stx_mask & STATX_MNT_ID) != 0) {
    key = info.stx_mnt_id;
  } else {
    // Mount ids are small counters, far below the top bit.
    key = (std::uint64_t{1} << 63) | makedev(info.stx_dev_major, info.stx_dev_minor);
  }
  return true;
}

bool MountKeyOf(const char *path, std::uint64_t &key) {
  const int descriptor = ::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  const bool known = MountKeyOf(descriptor, key);
  ::close(descriptor);
  return known;
}

std::uint32_t TTMountTable::DriveType(const TTString &root) const {
  const std::int32_t index = IndexOf(root);
  return index < 0 ? DRIVE_NO_ROOT_DIR : types[static_cast<std::size_t>(index)];
}

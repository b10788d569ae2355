//===- tests/fs/drive_list_test.cpp - Drives from captured mount tables ---===//

#include "fs/drive_list.h"
#include "fs/mount_table.h"

#include "fs/drive_kind.h"

#include "core/exceptions.h"
#include "support/fs_helpers.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <utility>
#include <vector>

using velkor::test::MakeDir;
using velkor::test::MountTmpfs;
using velkor::test::TempDir;
using velkor::test::WriteFile;

namespace {

const std::string kTables = std::string(VELKOR_SOURCE_DIR) + "/tests/fs/data/mountinfo/";

/// A stand-in for the captured machine: its mount points as folders (or as
/// files, for single files bind-mounted), and a sysfs with the block
/// devices' removable flags, partitions linked to their disks as the kernel
/// does.
class CapturedMachine {
public:
  /// `folders` are made as directories, `files` as files; `disks` gives
  /// each disk's name, its removable flag and its partitions' major:minor.
  CapturedMachine(
      const std::vector<std::string> &folders, const std::vector<std::string> &files,
      const std::vector<std::pair<std::string, std::pair<char, std::vector<std::string>>>> &disks) {
    for (const std::string &folder : folders) {
      std::system(("mkdir -p '" + root_.Path() + folder + "'").c_str());
    }
    for (const std::string &file : files) {
      std::system(("mkdir -p \"$(dirname '" + root_.Path() + file + "')\"").c_str());
      WriteFile(root_.Path() + file);
    }
    std::system(("mkdir -p '" + sysfs_.Path() + "/dev/block'").c_str());
    for (const auto &[disk, detail] : disks) {
      const std::string diskDir = sysfs_.Path() + "/devices/" + disk;
      std::system(("mkdir -p '" + diskDir + "'").c_str());
      WriteFile(diskDir + "/removable", std::string(1, detail.first) + "\n");
      int n = 1;
      for (const std::string &partition : detail.second) {
        const std::string partDir = diskDir + "/" + disk + std::to_string(n++);
        MakeDir(partDir);
        EXPECT_EQ(symlink(partDir.c_str(), (sysfs_.Path() + "/dev/block/" + partition).c_str()), 0);
      }
    }
  }

  TTDriveProbe Probe(const std::string &table) const {
    TTDriveProbe probe;
    probe.mountInfo = kTables + table;
    probe.rootPrefix = root_.Path();
    probe.sysfs = sysfs_.Path();
    return probe;
  }

private:
  TempDir root_;
  TempDir sysfs_;
};

/// The drives of a table as "root type" lines.
std::vector<std::string> Drives(const TTMountTable &table) {
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < table.Roots().Count(); ++i) {
    lines.push_back(std::string(table.Roots().At(i).CStr()) + " " +
                    std::to_string(table.DriveType(table.Roots().At(i))));
  }
  return lines;
}

TEST(DriveList, LaptopWithAUsbStickADvdAndAUsbDisk) {
  CapturedMachine machine({"/", "/proc", "/sys", "/dev", "/dev/pts", "/run", "/dev/shm",
                           "/sys/fs/cgroup", "/sys/fs/pstore", "/boot/efi", "/home",
                           "/run/user/1000", "/run/user/1000/gvfs", "/media/anna/STICK",
                           "/media/anna/HOLIDAY 2019", "/mnt/backup", "/snap/core/100",
                           "/proc/sys/fs/binfmt_misc"},
                          {},
                          {{"nvme0n1", {'0', {"259:1", "259:2", "259:3"}}},
                           {"sdb", {'1', {"8:17"}}},
                           {"sdc", {'1', {"8:33"}}}});
  const TTMountTable table(machine.Probe("laptop.txt"));
  EXPECT_EQ(Drives(table), (std::vector<std::string>{
                               "/ 3", "/run/ 6", "/boot/efi/ 3", "/home/ 3", "/run/user/1000/ 6",
                               "/media/anna/STICK/ 2", "/media/anna/HOLIDAY 2019/ 5",
                               "/mnt/backup/ 2",    // a USB disk: its removable flag
                               "/snap/core/100/ 5", // a squashfs image: read-only media
                           }));
  EXPECT_EQ(table.DriveType(TTString("/home")), DRIVE_FIXED);
  EXPECT_EQ(table.DriveType(TTString("/proc/")), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(table.DriveType(TTString("/nowhere/")), DRIVE_NO_ROOT_DIR);
}

TEST(DriveList, ServerWithNfsCifsAndSshfsMounts) {
  // Remote mount points are never looked at, so none of them needs a folder.
  CapturedMachine machine({"/", "/proc", "/sys", "/dev", "/boot", "/net", "/var/lib/data", "/tmp"},
                          {}, {{"sda", {'0', {"8:1", "8:2"}}}, {"sdb", {'0', {"8:17"}}}});
  const TTMountTable table(machine.Probe("server.txt"));
  EXPECT_EQ(Drives(table), (std::vector<std::string>{
                               "/ 3",
                               "/boot/ 3",
                               "/srv/projects/ 4",
                               "/mnt/finance share/ 4",
                               "/home/ops/remote/ 4",
                               "/var/lib/data/ 3",
                               "/tmp/ 6",
                               "/srv/old/ 4",
                           }));
}

TEST(DriveList, ContainerWithOverlayTmpfsAndBindMountedFiles) {
  CapturedMachine machine({"/", "/proc", "/dev", "/dev/pts", "/sys", "/sys/fs/cgroup",
                           "/dev/mqueue", "/dev/shm", "/data", "/tmp"},
                          {"/etc/resolv.conf", "/etc/hostname", "/etc/hosts", "/proc/kcore"}, {});
  const TTMountTable table(machine.Probe("container.txt"));
  EXPECT_EQ(Drives(table), (std::vector<std::string>{"/ 3", "/data/ 3", "/tmp/ 6"}));
}

TEST(DriveList, StackedMountsCountOnceAndHideWhatTheyCover) {
  CapturedMachine machine({"/", "/home", "/home/anna/archive", "/home/new", "/srv/my docs (old)",
                           "/srv/anna", "/mnt/twice"},
                          {}, {});
  const TTMountTable table(machine.Probe("stacked.txt"));
  EXPECT_EQ(Drives(table), (std::vector<std::string>{
                               "/ 3",
                               "/home/ 6", // the tmpfs on top of the disk
                               "/srv/my docs (old)/ 3",
                               "/srv/anna/ 3",
                               "/mnt/twice/ 3",
                               "/home/new/ 6",
                           }));
  EXPECT_EQ(table.DriveType(TTString("/home/anna/archive/")), DRIVE_NO_ROOT_DIR);
  // /srv/anna shows a folder of the disk whose own mount on /home is hidden
  // under the tmpfs: no other drive's walk reaches it.
  EXPECT_STREQ(table.CoveringRoot(TTString("/srv/anna/")).CStr(), "");
}

TEST(DriveList, AMissingTableRaisesAFileException) {
  TTDriveProbe probe;
  probe.mountInfo = kTables + "missing.txt";
  EXPECT_THROW(TTMountTable table(probe), TTFileException);
}

TEST(DriveList, ThisMachine) {
  TTStringList list;
  list.AddCopy(TTString("stale"));
  ListLogicalDrives(list);
  ASSERT_GT(list.Count(), 0);
  EXPECT_STREQ(list.At(0).CStr(), "/");
  for (std::int32_t i = 0; i < list.Count(); ++i) {
    const std::string root = list.At(i).CStr();
    EXPECT_EQ(root.back(), '/') << root;
    EXPECT_NE(root, "stale");
    EXPECT_NE(root.rfind("/proc", 0), 0u) << root;
    for (std::int32_t j = 0; j < i; ++j) {
      EXPECT_NE(root, list.At(j).CStr()) << "listed twice";
    }
  }
  EXPECT_NE(GetDriveType(TTString("/")), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveType(TTString("/definitely/not/mounted/")), DRIVE_NO_ROOT_DIR);

  // A tmpfs mounted now shows up as a RAM disk.
  TempDir dir;
  MakeDir(dir / "ram");
  if (!MountTmpfs(dir / "ram", 1024)) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  EXPECT_EQ(GetDriveType(TTString((dir / "ram/").c_str())), DRIVE_RAMDISK);
}

// The kind of drive under a folder: from the block device's rotational
// flag (the disk's, for a partition), or from the file system's type.
TEST(DriveKind, FromTheRotationalFlagOrTheFileSystemType) {
  TempDir dir;
  MakeDir(dir / "data");
  struct stat status;
  ASSERT_EQ(stat((dir / "data").c_str(), &status), 0);
  const std::string device =
      std::to_string(major(status.st_dev)) + ":" + std::to_string(minor(status.st_dev));
  const std::string data = dir / "data";
  if (major(status.st_dev) == 0)
    GTEST_SKIP() << "the temporary folder lies on no block device";

  const std::string sysfs = dir / "sys";
  EXPECT_EQ(DriveKindOf(data.c_str(), sysfs), DriveKind::unknown) << "no flag to read";
  // A whole disk, then a partition of a disk.
  std::filesystem::create_directories(sysfs + "/dev/block/" + device + "/queue");
  for (const auto &[flag, kind] :
       {std::pair{"1\n", DriveKind::spinning}, std::pair{"0\n", DriveKind::solidState}}) {
    WriteFile(sysfs + "/dev/block/" + device + "/queue/rotational", flag);
    EXPECT_EQ(DriveKindOf(data.c_str(), sysfs), kind) << flag;
  }
  std::filesystem::remove_all(sysfs + "/dev/block/" + device);
  std::filesystem::create_directories(sysfs + "/devices/vdz/vdz1");
  std::filesystem::create_directories(sysfs + "/devices/vdz/queue");
  WriteFile(sysfs + "/devices/vdz/queue/rotational", "1\n");
  ASSERT_EQ(
      symlink((sysfs + "/devices/vdz/vdz1").c_str(), (sysfs + "/dev/block/" + device).c_str()), 0);
  EXPECT_EQ(DriveKindOf(data.c_str(), sysfs), DriveKind::spinning);

  EXPECT_EQ(DriveKindOf((dir / "missing").c_str(), sysfs), DriveKind::unknown);
  MakeDir(dir / "ram");
  if (!MountTmpfs(dir / "ram", 1024))
    GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(DriveKindOf((dir / "ram").c_str(), sysfs), DriveKind::memory);
}

} // namespace

//===- engine/unix/folder_checks.cpp - What the run asks about folders ----===//

#include "engine/folder_checks.h"

#include "fs/mount_table.h"

#include <sys/stat.h>
#include <unistd.h>

bool CurrentDirectoryIsMountRoot() {
  struct stat here, parent;
  std::uint64_t hereMount = 0, parentMount = 0;
  if (stat(".", &here) != 0 || stat("..", &parent) != 0 || !MountKeyOf(".", hereMount) ||
      !MountKeyOf("..", parentMount))
    return false;
  return hereMount != parentMount || (here.st_dev == parent.st_dev && here.st_ino == parent.st_ino);
}

bool FolderKeyOf(const TTString &directory, std::uint64_t &device, std::uint64_t &inode) {
  struct stat folder;
  if (stat(directory.IsEmpty() ? "." : directory.CStr(), &folder) != 0)
    return false;
  device = folder.st_dev;
  inode = folder.st_ino;
  return true;
}

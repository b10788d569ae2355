//===- tests/support/test_tree.h - Temporary trees for the tests ----------===//
///
/// \file
/// TempDir, the one temporary folder of the tests.
///
/// A temporary folder that a test fills with documents and other files,
/// mounts things on (a small tmpfs, a read-only bind mount) and that removes
/// itself, mounts first. On Linux, the independent checks the tests share
/// come with it (support/unix/file_checks.h).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::test {

class TempDir {
public:
  /// A fresh folder under /tmp, mode 0755 so that an unprivileged child can
  /// reach it (on Windows, in the user's temporary folder, named in the
  /// Windows form); throws when it cannot be made.
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  /// The folder's absolute path, without a closing slash.
  const std::string &Path() const { return path; }
  /// The folder's absolute path with a closing slash.
  const std::string &Root() const { return root; }
  /// Root() + relative.
  std::string Path(const std::string &relative) const { return root + relative; }
  std::string operator/(const std::string &relative) const { return root + relative; }

  void MakeDir(const std::string &relative) const;
  void Write(const std::string &relative, const std::string &bytes) const;
  std::string Read(const std::string &relative) const;
  /// A compound document of a few storages and streams with free space
  /// inside (`freeSectors` after each large stream and at the end), so
  /// that a fresh copy is smaller. `seed` varies the contents.
  void WriteDocument(const std::string &relative, unsigned seed, int freeSectors = 8) const;

  /// Mounts a tmpfs of `kilobytes` (and at most `inodes` inodes when not 0)
  /// on the folder `relative` (made if missing). False when mounting is not
  /// possible here (always on Windows, as for every mount below).
  bool MountTmpfs(const std::string &relative, int kilobytes, int inodes = 0) const;
  /// Bind-mounts the folder `relative` on itself.
  bool BindMount(const std::string &relative) const;
  /// Makes a file system of `type` ("btrfs", "ext4") in a sparse image of
  /// `megabytes` beside the folder and mounts it there through a loop
  /// device. False when the tool or the mount is not to be had here.
  bool MountImage(const std::string &relative, const std::string &type, int megabytes) const;
  /// Bind-mounts the folder `from` on the folder `to` (made if missing).
  bool BindMount(const std::string &from, const std::string &to) const;
  /// Mounts a btrfs on the folder `relative` (made if missing), with the
  /// mount options `options` ("subvol=name" mounts a subvolume). The first
  /// call makes the file system in an image file of the tree and mounts it
  /// through a loop device; later calls mount that same file system again.
  /// Gives the empty text, or why it cannot be mounted here.
  std::string MountBtrfs(const std::string &relative, const std::string &options = "");
  /// Makes such a bind mount read-only, also for processes whose current
  /// directory is inside it.
  bool RemountReadOnly(const std::string &relative) const;
  /// Every file below the root whose name starts with "vkr" and ends with
  /// ".tmp", relative to the root.
  std::vector<std::string> TempFiles() const;

private:
  std::string path;
  std::string root;
  std::string btrfsDevice; ///< the loop device of MountBtrfs's file system
};

/// A test fixture that owns a TempDir: `dir` is its path, Path(name) a
/// name inside it.
class TempDirTest : public ::testing::Test {
protected:
  std::string Path(const std::string &name) const { return temp.Path(name); }

  TempDir temp;
  const std::string dir = temp.Path();
};

/// Mounts a tmpfs of `kilobytes` (and at most `inodes` inodes when not 0) on
/// the existing folder `path`. False when mounting is not possible here. A
/// mount below a TempDir goes away with it.
bool MountTmpfs(const std::string &path, int kilobytes, int inodes = 0);

/// The process's current directory.
std::string CurrentDirectory();

} // namespace velkor::test

#ifndef _WIN32
// The state of a file, the olefile listing and the lock-holding child: Linux's.
#include "support/unix/file_checks.h"
#endif

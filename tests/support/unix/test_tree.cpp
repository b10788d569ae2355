//===- tests/support/unix/test_tree.cpp - Temporary trees on Linux --------===//
///
/// \file
/// The Linux part of the temporary folder: made with mkdtemp under /tmp,
/// with the mounts a test puts inside it undone on removal; the state of a
/// file, the olefile listing and the child that holds a lock.
///
//===----------------------------------------------------------------------===//

#include "support/test_tree.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace velkor::test {

namespace fsys = std::filesystem;

namespace {

/// Undoes the octal escapes (\040 for a space) of a path in /proc/self/mountinfo.
std::string Unescape(const std::string &field) {
  std::string path;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      path += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      path += field[i];
    }
  }
  return path;
}

/// The mount points at or below `root` (which ends with a slash), deepest
/// first.
std::vector<std::string> MountsBelow(const std::string &root) {
  std::vector<std::string> found;
  std::ifstream table("/proc/self/mountinfo");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string id, parent, device, source, target;
    fields >> id >> parent >> device >> source >> target;
    target = Unescape(target);
    if ((target + "/").compare(0, root.size(), root) == 0)
      found.push_back(target);
  }
  // Later mounts stack on earlier ones; undo them in reverse.
  std::reverse(found.begin(), found.end());
  return found;
}

/// Gives the owner every right on a folder and the folders below it, so
/// that a tree a test made unreadable can be removed.
void OpenUp(const fsys::path &folder) {
  ::chmod(folder.c_str(), 0700);
  std::error_code error;
  for (fsys::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_directory(error) && !it->is_symlink(error))
      OpenUp(it->path());
}

} // namespace

TempDir::TempDir() {
  char pattern[] = "/tmp/velkor-test-XXXXXX";
  const char *made = ::mkdtemp(pattern);
  if (made == nullptr)
    throw std::runtime_error(std::string("cannot make a temporary folder: ") +
                             std::strerror(errno));
  ::chmod(made, 0755);
  path = made;
  root = path + "/";
}

TempDir::~TempDir() {
  for (const std::string &mount : MountsBelow(root))
    if (::umount2(mount.c_str(), MNT_DETACH) != 0)
      ADD_FAILURE() << "cannot unmount " << mount << ": " << std::strerror(errno);
  OpenUp(path);
  std::error_code error;
  fsys::remove_all(path, error);
}

bool MountTmpfs(const std::string &path, int kilobytes, int inodes) {
  std::string options = "size=" + std::to_string(kilobytes) + "k";
  if (inodes != 0)
    options += ",nr_inodes=" + std::to_string(inodes);
  return ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

bool TempDir::MountImage(const std::string &relative, const std::string &type,
                         int megabytes) const {
  const std::string mkfs = "/sbin/mkfs." + type;
  if (access(mkfs.c_str(), X_OK) != 0)
    return false;
  MakeDir(relative);
  const std::string image = Path(relative) + ".img";
  std::ofstream(image, std::ios::binary).close();
  std::error_code error;
  fsys::resize_file(image, static_cast<std::uintmax_t>(megabytes) << 20, error);
  if (error)
    return false;
  const std::string make = mkfs + " -q '" + image + "' >/dev/null 2>&1";
  const std::string mountIt =
      "/bin/mount -o loop -t " + type + " '" + image + "' '" + Path(relative) + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0 || std::system(mountIt.c_str()) != 0)
    return false;
  return true;
}

bool TempDir::MountTmpfs(const std::string &relative, int kilobytes, int inodes) const {
  MakeDir(relative);
  return test::MountTmpfs(Path(relative), kilobytes, inodes);
}

bool TempDir::BindMount(const std::string &relative) const {
  std::string path = Path(relative);
  return ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

bool TempDir::BindMount(const std::string &from, const std::string &to) const {
  MakeDir(to);
  if (mount(Path(from).c_str(), Path(to).c_str(), nullptr, MS_BIND, nullptr) != 0)
    return false;
  return true;
}

std::string TempDir::MountBtrfs(const std::string &relative, const std::string &options) {
  MakeDir(relative);
  const std::string target = Path(relative);
  if (btrfsDevice.empty()) {
    if (std::system("command -v mkfs.btrfs >/dev/null 2>&1") != 0)
      return "mkfs.btrfs is missing (package btrfs-progs)";
    const std::string image = Path(".btrfs.img");
    std::ofstream(image).close();
    if (truncate(image.c_str(), 256 << 20) != 0 ||
        std::system(("mkfs.btrfs -q -f '" + image + "' >/dev/null 2>&1").c_str()) != 0)
      return "cannot make a btrfs file system here";
    FILE *pipe = popen(("losetup -f --show '" + image + "' 2>/dev/null").c_str(), "r");
    char line[256] = {};
    if (pipe == nullptr)
      return "cannot run losetup";
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    if (!got)
      return "no loop device can be set up here";
    btrfsDevice = line;
    while (!btrfsDevice.empty() && btrfsDevice.back() == '\n')
      btrfsDevice.pop_back();
  }
  if (mount(btrfsDevice.c_str(), target.c_str(), "btrfs", 0,
            options.empty() ? nullptr : options.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::system(("losetup -d '" + btrfsDevice + "' 2>/dev/null").c_str());
    return "cannot mount btrfs here: " + reason;
  }
  // Detached while mounted, the loop device goes away by itself once the
  // last mount of it is gone.
  std::system(("losetup -d '" + btrfsDevice + "' 2>/dev/null").c_str());
  return "";
}

bool TempDir::RemountReadOnly(const std::string &relative) const {
  return ::mount(nullptr, Path(relative).c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                 nullptr) == 0;
}

bool SameTime(const timespec &a, const timespec &b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

namespace {

std::string Hex(const std::string &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

/// Runs a command and gives what it printed; `status` gets its exit status.
std::string Capture(const std::string &command, int &status) {
  std::string output;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return output;
  }
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  status = pclose(pipe);
  return output;
}

} // namespace

FileState StateOf(const std::string &path) {
  FileState state;
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) {
    ADD_FAILURE() << "cannot stat " << path;
    return state;
  }
  state.inode = status.st_ino;
  state.size = status.st_size;
  state.mode = status.st_mode & 07777;
  state.owner = status.st_uid;
  state.group = status.st_gid;
  state.links = status.st_nlink;
  state.accessed = status.st_atim;
  state.modified = status.st_mtim;
  char names[4096];
  ssize_t length = llistxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; length > 0 && at < length;
       at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[4096];
    ssize_t size = lgetxattr(path.c_str(), names + at, value, sizeof value);
    state.extended.push_back(std::string(names + at) + "=" +
                             Hex(std::string(value, size > 0 ? size : 0)));
  }
  std::sort(state.extended.begin(), state.extended.end());
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  state.contentHash = std::to_string(std::hash<std::string>()(bytes.str()));
  return state;
}

std::string OleListing(const std::string &path) {
  static const char script[] =
      "import sys, hashlib, olefile\n"
      "ole = olefile.OleFileIO(sys.argv[1])\n"
      "lines = ['root ' + ole.root.clsid]\n"
      "for entry in ole.listdir(streams=True, storages=True):\n"
      "    name = '/'.join(entry)\n"
      "    if ole.get_type(entry) == olefile.STGTY_STREAM:\n"
      "        data = ole.openstream(entry).read()\n"
      "        lines.append('stream %r %d %s' % (name, len(data),\n"
      "                     hashlib.sha256(data).hexdigest()))\n"
      "    else:\n"
      "        lines.append('storage %r %s' % (name, ole.getclsid(entry)))\n"
      "print('\\n'.join(sorted(lines)))\n";
  std::string command = VELKOR_PYTHON " -c \"$VELKOR_OLE_SCRIPT\" '" + path + "' 2>&1";
  setenv("VELKOR_OLE_SCRIPT", script, 1);
  int status = 0;
  std::string output = Capture(command, status);
  if (status != 0) {
    ADD_FAILURE() << "olefile cannot read " << path << ":\n" << output;
    return std::string();
  }
  return output;
}

LockHolder::LockHolder(const std::string &path, Hold hold) {
  int ready[2], held[2];
  if (pipe(ready) != 0 || pipe(held) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return;
  }
  child = fork();
  if (child == 0) {
    close(ready[0]);
    close(held[1]);
    auto writeLate = [](int fd) {
      return pwrite(fd, kLateWrite, sizeof kLateWrite - 1, kLateWriteOffset) ==
             static_cast<ssize_t>(sizeof kLateWrite - 1);
    };
    int fd = -1;
    bool ok = false;
    if (hold == Hold::openForWriting) {
      // Ready before the open, which waits while another process holds a
      // lease on the file.
      (void)!write(ready[1], "y", 1);
      fd = open(path.c_str(), O_RDWR);
      (void)!write(ready[1], fd >= 0 && writeLate(fd) ? "w" : "n", 1);
    } else {
      fd = open(path.c_str(), hold == Hold::reading ? O_RDONLY : O_RDWR);
      ok = fd >= 0;
      if (ok && hold == Hold::flockLock) {
        ok = flock(fd, LOCK_EX) == 0;
      } else if (ok && hold == Hold::fcntlLock) {
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ok = fcntl(fd, F_SETLK, &lock) == 0;
      }
      (void)!write(ready[1], ok ? "y" : "n", 1);
    }
    char byte;
    (void)!read(held[0], &byte, 1); // until the parent closes its end
    if (hold == Hold::readWrite)
      writeLate(fd);
    if (hold == Hold::reading) {
      char buffer[65536];
      off_t at = 0;
      for (ssize_t got; (got = pread(fd, buffer, sizeof buffer, at)) > 0; at += got)
        (void)!write(ready[1], buffer, static_cast<size_t>(got));
    }
    _exit(0);
  }
  close(ready[1]);
  close(held[0]);
  release = held[1];
  answers = ready[0];
  char answer = 'n';
  if (read(answers, &answer, 1) != 1 || answer != 'y')
    ADD_FAILURE() << "the child could not open or lock " << path;
}

bool LockHolder::WaitForWrite(int milliseconds) {
  pollfd wait = {answers, POLLIN, 0};
  char answer = 'n';
  return poll(&wait, 1, milliseconds) == 1 && read(answers, &answer, 1) == 1 && answer == 'w';
}

std::string LockHolder::Release() {
  if (release >= 0)
    close(release);
  release = -1;
  std::string bytes;
  if (answers >= 0) {
    char buffer[65536];
    for (ssize_t got; (got = read(answers, buffer, sizeof buffer)) > 0;)
      bytes.append(buffer, static_cast<size_t>(got));
    close(answers);
    answers = -1;
  }
  if (child > 0)
    waitpid(child, nullptr, 0);
  child = -1;
  return bytes;
}

std::string CurrentDirectory() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

} // namespace velkor::test

//===- tests/support/unix/unprivileged.h - Unprivileged children, Linux ---===//
///
/// \file
/// RunAsNobody, which runs a piece of the test in a child process that has
/// dropped to the unprivileged user nobody. The tests run as root, for whom
/// permission bits stop nothing; the child makes permission cases real. Plus
/// the small Linux helpers that go with it.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

/// Skips the current test unless it runs as root: the permission cases drop
/// to the user nobody in a child process, or hand files to nobody, and both
/// need root to start from.
#define VELKOR_REQUIRE_ROOT()                                                                      \
  do {                                                                                             \
    if (geteuid() != 0) {                                                                          \
      GTEST_SKIP() << "needs root to act as the unprivileged user nobody";                         \
    }                                                                                              \
  } while (false)

namespace velkor::test {

inline bool Exists(const std::string &path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

inline void MakeDir(const std::string &path, mode_t mode = 0755) {
  ASSERT_EQ(mkdir(path.c_str(), mode), 0) << path << ": " << std::strerror(errno);
  chmod(path.c_str(), mode);
}

/// The number of open descriptors of this process.
inline int OpenDescriptorCount() {
  int count = 0;
  if (DIR *dir = opendir("/proc/self/fd")) {
    while (const dirent *entry = readdir(dir)) {
      if (entry->d_name[0] != '.') {
        ++count;
      }
    }
    closedir(dir);
    --count; // the listing's own descriptor
  }
  return count;
}

inline uid_t NobodyUid() {
  const passwd *entry = getpwnam("nobody");
  return entry != nullptr ? entry->pw_uid : 65534;
}

inline gid_t NogroupGid() {
  const group *entry = getgrnam("nogroup");
  return entry != nullptr ? entry->gr_gid : 65534;
}

/// Runs `body` in a child process that runs as nobody:nogroup with no
/// supplementary groups. Whatever `body` appends to its string comes back
/// as the result; a child that cannot drop its privileges, or whose body
/// does not return normally, fails the test.
inline std::string RunAsNobody(const std::function<void(std::string &)> &body) {
  int fds[2];
  if (pipe(fds) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return {};
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    if (setgroups(0, nullptr) != 0 || setresgid(NogroupGid(), NogroupGid(), NogroupGid()) != 0 ||
        setresuid(NobodyUid(), NobodyUid(), NobodyUid()) != 0) {
      _exit(90);
    }
    std::string out;
    try {
      body(out);
    } catch (...) {
      out += "<uncaught exception>";
    }
    const char *data = out.data();
    std::size_t left = out.size();
    while (left > 0) {
      const ssize_t n = write(fds[1], data, left);
      if (n <= 0) {
        break;
      }
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
    result.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the unprivileged child failed (status " << status << ")";
  return result;
}

} // namespace velkor::test

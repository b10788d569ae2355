//===- cli/unix/run_arguments.cpp - A PATH argument checked on Linux ------===//

#include "cli/run_arguments.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velkor::cli {

PathKind CheckPathArgument(const std::string &path, std::string &error) {
  struct stat info {};
  // A link given as PATH is not followed, whether it leads to a file or a
  // folder: the walk follows none either.
  if (!path.empty() && lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    error = Quoted(path) + " is a symbolic link, which is not followed";
    return PathKind::unusable;
  }
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    error = "cannot access " + Quoted(path) + ": " + std::strerror(path.empty() ? ENOENT : errno);
    return PathKind::unusable;
  }
  if (S_ISDIR(info.st_mode)) {
    DIR *dir = opendir(path.c_str());
    if (!dir) {
      error = "cannot read directory " + Quoted(path) + ": " + std::strerror(errno);
      return PathKind::unusable;
    }
    closedir(dir);
    if (access(path.c_str(), X_OK) != 0) {
      error = "cannot enter directory " + Quoted(path) + ": " + std::strerror(errno);
      return PathKind::unusable;
    }
    return PathKind::directory;
  }
  if (S_ISREG(info.st_mode)) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
      return PathKind::unusable;
    }
    close(fd);
    return PathKind::file;
  }
  error = Quoted(path) + " is neither a regular file nor a directory";
  return PathKind::unusable;
}

} // namespace velkor::cli

//===- fs/path_error.cpp - Raising file exceptions for failed path calls --===//

#include "fs/path_error.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

TTFileError PathErrorToFileError(const char *path, int error) {
  if (error == 0) {
    // A call that failed without saying why is still a failure.
    return TTFileError::generic;
  }
  if (error == ENOENT && path != nullptr) {
    const char *slash = std::strrchr(path, '/');
    if (slash != nullptr && slash != path) {
      // "a/b/c": the directory is "a/b"; "/c" lies in the root, which exists.
      const std::string directory(path, static_cast<std::size_t>(slash - path));
      struct stat info;
      if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return TTFileError::badPath;
      }
    }
  }
  return ErrnoToFileError(error);
}

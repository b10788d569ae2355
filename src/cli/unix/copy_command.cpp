//===- cli/unix/copy_command.cpp - The copy command's look at files -------===//

#include "cli/copy_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velkor::cli {
namespace {

FileFacts FactsOf(const struct stat &status) {
  FileFacts facts;
  facts.isDirectory = S_ISDIR(status.st_mode);
  facts.isRegular = S_ISREG(status.st_mode);
  facts.volume = static_cast<std::uint64_t>(status.st_dev);
  facts.index = static_cast<std::uint64_t>(status.st_ino);
  facts.size = static_cast<std::uint64_t>(status.st_size);
  return facts;
}

} // namespace

bool FactsOfOpenFile(int descriptor, FileFacts &facts) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0)
    return false;
  facts = FactsOf(status);
  return true;
}

bool FactsOfFile(const std::string &path, FileFacts &facts) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return false;
  facts = FactsOf(status);
  return true;
}

bool SizeOfOwnFile(const std::string &path, std::uint64_t &size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  struct stat status {};
  if (fd < 0 || ::fstat(fd, &status) != 0) {
    const int error = errno;
    if (fd >= 0)
      ::close(fd);
    errno = error;
    return false;
  }
  ::close(fd);
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

bool CopyIsClosedBeforeItMoves() { return false; }

} // namespace velkor::cli

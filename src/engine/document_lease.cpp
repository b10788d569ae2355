//===- engine/document_lease.cpp - Seeing other programs that open a document =//

#include "engine/document_lease.h"

#include "core/utf8.h"
#include "fs/path_names.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

/// The signal a lease break is announced with: ignored by default (see the
/// header), so a break can never end the run.
constexpr int kBreakSignal = SIGURG;

/// Byte length of the first `count` characters of `text` (UTF-8 sequences;
/// a byte that starts none counts as one character).
std::size_t CharacterBytes(std::string_view text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t done = 0; done < count && at < text.size(); ++done) {
    std::size_t length = Utf8SequenceLength(text.substr(at));
    at += length == 0 ? 1 : length;
  }
  return at;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++count) {
    std::size_t length = Utf8SequenceLength(text.substr(at));
    at += length == 0 ? 1 : length;
  }
  return count;
}

} // namespace

DocumentLease::~DocumentLease() { Drop(); }

DocumentLease::State DocumentLease::Take(int descriptor) {
  Drop();
  int duplicate = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (duplicate < 0)
    return State::unavailable;
  // The signal is chosen before the lease exists, so that no break can be
  // announced with SIGIO; it is set again after, since the kernel may reset
  // it when it sets up the lease's owner.
  fcntl(duplicate, F_SETSIG, kBreakSignal);
  if (fcntl(duplicate, F_SETLEASE, F_RDLCK) != 0) {
    const int error = errno;
    close(duplicate);
    // EAGAIN: a process has the file open for writing. Anything else (EACCES
    // for a file of another user, EINVAL where the file system or the
    // system's settings offer no leases) means leases are not to be had.
    return error == EAGAIN ? State::openElsewhere : State::unavailable;
  }
  fcntl(duplicate, F_SETSIG, kBreakSignal);
  handle = duplicate;
  return State::held;
}

bool DocumentLease::Broken() const {
  // A pending break reports the type the lease is being broken to
  // (F_UNLCK); a lease the kernel removed after the break time reports
  // F_UNLCK as well.
  return handle >= 0 && fcntl(handle, F_GETLEASE) != F_RDLCK;
}

void DocumentLease::Drop() {
  if (handle < 0)
    return;
  fcntl(handle, F_SETLEASE, F_UNLCK);
  close(handle);
  handle = -1;
}

std::string OfficeOwnerFileOf(const std::string &path) {
  TTString directoryPart, namePart;
  SplitPath(path.c_str(), directoryPart, namePart);
  const std::string directory = directoryPart.CStr();
  const std::string name = namePart.CStr();
  if (name.empty())
    return std::string();

  std::vector<std::string> candidates;
  // Excel (and Word for short names): the whole name.
  candidates.push_back("~$" + name);
  // Word keeps the owner file's name about as long as the document's: of a
  // name whose part before the extension has 7 characters it drops the
  // first, of one with 8 or more the first two.
  const std::size_t dot = name.rfind('.');
  const std::string_view stem =
      std::string_view(name).substr(0, dot == std::string::npos || dot == 0 ? name.size() : dot);
  const std::size_t characters = CharacterCount(stem);
  if (characters >= 7) {
    const std::size_t dropped = CharacterBytes(name, characters == 7 ? 1 : 2);
    candidates.push_back("~$" + name.substr(dropped));
  }
  // LibreOffice.
  candidates.push_back(".~lock." + name + "#");

  for (const std::string &candidate : candidates) {
    struct stat status;
    if (lstat((directory + candidate).c_str(), &status) == 0)
      return candidate;
  }
  return std::string();
}

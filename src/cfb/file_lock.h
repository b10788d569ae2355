//===- cfb/file_lock.h - The locks that keep a file's writers out ----------===//
///
/// \file
/// A compound file is read and written under two locks at once: an
/// open-file-description lock (which conflicts with fcntl record locks and
/// OFD locks of any process) and a flock lock (which some office suites take
/// instead). Both are taken without waiting.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace cfb {

/// Takes shared (read) locks on the open file `fd`: readers may share it,
/// writers that lock are shut out. On a descriptor that holds the exclusive
/// locks it turns them into shared ones. Throws `InUseError` when another
/// process holds a conflicting lock.
void LockShared(int fd, const std::string &path);

/// Takes exclusive (write) locks on the open file `fd`: the file is ours
/// alone. Throws `InUseError` when another process holds any lock on it.
void LockExclusive(int fd, const std::string &path);

} // namespace cfb

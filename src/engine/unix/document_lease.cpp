//===- engine/unix/document_lease.cpp - Read leases (fcntl F_SETLEASE) ----===//

#include "engine/document_lease.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

/// The signal a lease break is announced with: ignored by default (see the
/// header), so a break can never end the run.
constexpr int kBreakSignal = SIGURG;

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

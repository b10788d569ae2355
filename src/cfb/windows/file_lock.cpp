//===- cfb/windows/file_lock.cpp - Sharing modes stand in for the locks ---===//
#include "cfb/file_lock.h"

namespace cfb {

// On Windows a file's sharing mode, given when it is opened, does what the
// locks do on Linux: a source is opened with FILE_SHARE_READ, so the system
// refuses it while another program has it open for writing and keeps every
// writer out while it is read; a destination is opened so that nobody else
// may write it. A sharing mode cannot be changed on an open handle, and
// there is nothing left to lock, so these do nothing here.

void LockShared(int, const std::string &) {}

void LockExclusive(int, const std::string &) {}

} // namespace cfb

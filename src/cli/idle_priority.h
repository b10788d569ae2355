//===- cli/idle_priority.h - velkor-cli --idle: yield the disk and the CPU ===//
///
/// \file
/// A run with --idle reads and writes in the idle I/O class, which the
/// kernel serves only when no other process waits for the disk, and runs at
/// the lowest CPU priority (nice 19), so that the users of a file server
/// barely notice it in working hours.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace velkor::cli {

/// Puts the calling thread into the idle I/O class and at nice 19. Both are
/// per-thread on Linux, and threads inherit them from the thread that starts
/// them: call it before the run starts any thread. Gives the empty text, or
/// what could not be done.
std::string EnterIdlePriority();

} // namespace velkor::cli

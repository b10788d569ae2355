//===- cli/idle_priority.h - velkor-cli --idle: yield the disk and the CPU ===//
///
/// \file
/// A run with --idle reads and writes at the lowest I/O priority and runs at
/// the lowest CPU priority, so that the users of a file server barely notice
/// it in working hours. On Linux that is the idle I/O class, which the
/// kernel serves only when no other process waits for the disk, and nice 19;
/// on Windows the process's background mode (very low I/O and memory
/// priority) in the idle priority class.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace velkor::cli {

/// Lowers the I/O and CPU priority of the calling thread and of every
/// thread it starts afterwards (on Linux both are per-thread and inherited
/// from the starting thread; on Windows they belong to the process): call
/// it before the run starts any thread. Gives the empty text, or what could
/// not be done.
std::string EnterIdlePriority();

} // namespace velkor::cli

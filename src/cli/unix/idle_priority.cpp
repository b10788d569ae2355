//===- cli/idle_priority.cpp - velkor-cli --idle: yield the disk and the CPU =//

#include "cli/idle_priority.h"

#include <linux/ioprio.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velkor::cli {

namespace {

/// The lowest CPU priority there is.
constexpr int kLowestNice = 19;

} // namespace

std::string EnterIdlePriority() {
  // glibc has no wrapper for ioprio_set; "process" 0 is the calling thread.
  if (syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, IOPRIO_PRIO_VALUE(IOPRIO_CLASS_IDLE, 0)) != 0)
    return std::string("cannot enter the idle I/O class: ") + std::strerror(errno);
  if (setpriority(PRIO_PROCESS, 0, kLowestNice) != 0)
    return std::string("cannot lower the CPU priority: ") + std::strerror(errno);
  return std::string();
}

} // namespace velkor::cli

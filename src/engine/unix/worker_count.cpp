//===- engine/unix/worker_count.cpp - The processors this process may use -===//

#include "engine/worker_count.h"

#include <algorithm>
#include <sched.h>
#include <thread>

int AvailableCores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0)
    return std::max(CPU_COUNT(&set), 1);
  return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

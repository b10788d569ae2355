//===- engine/windows/worker_count.cpp - The processors this process may use =//

#include "engine/worker_count.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <thread>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

int AvailableCores() {
  // The processors of the process's affinity mask, as on Linux; a process
  // runs in one processor group, which the mask describes.
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
    return std::max(std::popcount(static_cast<std::uint64_t>(process)), 1);
  return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

//===- engine/worker_count.cpp - How many documents a run works on at once ===//

#include "engine/worker_count.h"

#include <algorithm>

int AutomaticWorkerCount(DriveKind kind, bool compress, int cores) {
  cores = std::max(cores, 1);
  switch (kind) {
  case DriveKind::spinning:
    return compress ? 8 : std::min(cores, 2);
  case DriveKind::network:
    return compress ? std::clamp(4 * cores, 8, 16) : std::clamp(2 * cores, 4, 16);
  case DriveKind::memory:
    return std::min(cores, kMaxWorkers);
  case DriveKind::solidState:
  case DriveKind::unknown:
    break;
  }
  return compress ? std::clamp(2 * cores, 4, 16) : std::min(cores, kMaxWorkers);
}

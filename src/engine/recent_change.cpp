//===- engine/recent_change.cpp - Leave documents that were just changed --===//

#include "engine/recent_change.h"

#include "engine/document_identity.h"

namespace {

std::chrono::nanoseconds SinceEpoch(const timespec &time) {
  return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

/// Less than `minAge` before `now`, or after it.
bool Recent(const timespec &time, std::chrono::seconds minAge, const timespec &now) {
  return SinceEpoch(now) - SinceEpoch(time) < minAge;
}

} // namespace

bool ChangedRecently(const DocumentIdentity &identity, std::chrono::seconds minAge,
                     const timespec &now) {
  if (minAge <= std::chrono::seconds::zero())
    return false;
  return Recent(identity.modified, minAge, now) || Recent(identity.changed, minAge, now);
}

bool ChangedRecently(const DocumentIdentity &identity, std::chrono::seconds minAge) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return ChangedRecently(identity, minAge, now);
}

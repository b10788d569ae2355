//===- fs/file_time.cpp - Platform file times and their POSIX form --------===//

#include "fs/file_time.h"

#include <limits>

namespace {
/// Seconds from 1601 to 1970.
constexpr std::int64_t kEpochSeconds =
    static_cast<std::int64_t>(kFileTimeUnixEpoch / kFileTimeTicksPerSecond);
} // namespace

timespec FileTimeToTimespec(const TTFileTime &fileTime) {
  const std::uint64_t value = fileTime.Value();
  timespec result{};
  // The largest file time is about 58,000 years after 1601, well inside a
  // 64-bit time_t.
  result.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(value / kFileTimeTicksPerSecond) -
                                      kEpochSeconds);
  result.tv_nsec = static_cast<long>((value % kFileTimeTicksPerSecond) * 100);
  return result;
}

TTFileTime TimespecToFileTime(const timespec &time) {
  // A normalised timespec keeps 0 <= tv_nsec < 1e9; fold anything else in so
  // that the seconds carry the whole part.
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = time.tv_nsec;
  if (__builtin_add_overflow(static_cast<std::int64_t>(time.tv_sec), nanoseconds / 1000000000,
                             &seconds)) {
    return time.tv_sec < 0 ? TTFileTime{} : TTFileTime::FromValue(kMax);
  }
  nanoseconds %= 1000000000;
  if (nanoseconds < 0) {
    nanoseconds += 1000000000;
    seconds -= 1;
  }
  if (seconds < -kEpochSeconds) {
    return TTFileTime{};
  }
  // seconds >= -kEpochSeconds here, so the sum is not negative; done in
  // unsigned arithmetic it cannot overflow either.
  const std::uint64_t sinceEpoch1601 =
      static_cast<std::uint64_t>(seconds) + static_cast<std::uint64_t>(kEpochSeconds);
  const std::uint64_t fraction = static_cast<std::uint64_t>(nanoseconds) / 100;
  if (sinceEpoch1601 > (kMax - fraction) / kFileTimeTicksPerSecond) {
    return TTFileTime::FromValue(kMax);
  }
  return TTFileTime::FromValue(sinceEpoch1601 * kFileTimeTicksPerSecond + fraction);
}

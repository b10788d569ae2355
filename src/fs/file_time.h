//===- fs/file_time.h - Platform file times and their POSIX form ----------===//
///
/// \file
/// A platform file time counts 100-nanosecond intervals since 1 January 1601
/// (UTC) in 64 bits, held as two 32-bit halves, low part first. The file
/// system keeps `struct timespec` values (seconds since 1970 and
/// nanoseconds). The two conversions here are exact wherever both forms can
/// hold the instant: a file time always converts to a timespec and back
/// unchanged; a timespec converts to a file time without loss when its
/// nanoseconds are a multiple of 100 (finer digits are cut off, towards the
/// past, since a file time cannot hold them).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>

/// A platform file time in two halves, low part first.
struct TTFileTime {
  std::uint32_t lowPart = 0;
  std::uint32_t highPart = 0;

  /// The 64-bit count of 100-nanosecond intervals since 1601.
  std::uint64_t Value() const { return (static_cast<std::uint64_t>(highPart) << 32) | lowPart; }
  /// The file time for a 64-bit count.
  static TTFileTime FromValue(std::uint64_t value) {
    return TTFileTime{static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
  }
  bool operator==(const TTFileTime &other) const {
    return lowPart == other.lowPart && highPart == other.highPart;
  }
  bool operator!=(const TTFileTime &other) const { return !(*this == other); }
};

/// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
inline constexpr std::uint64_t kFileTimeUnixEpoch = 116444736000000000ULL;
/// 100-nanosecond intervals per second.
inline constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ULL;

/// Converts a file time to the timespec of the same instant; exact.
timespec FileTimeToTimespec(const TTFileTime &fileTime);

/// Converts a timespec to a file time. Nanoseconds below 100 are cut off;
/// instants before 1601 give 0 and instants beyond the file time's range give
/// its largest value, so a clock that is badly off never wraps around.
TTFileTime TimespecToFileTime(const timespec &time);

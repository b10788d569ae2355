//===- tests/fs/file_time_test.cpp - File time conversions ----------------===//

#include "fs/file_time.h"

#include <gtest/gtest.h>

#include <random>

namespace {

timespec Spec(long long seconds, long nanoseconds) {
  timespec time{};
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = nanoseconds;
  return time;
}

TEST(FileTime, UnixEpochAndKnownInstants) {
  EXPECT_EQ(TimespecToFileTime(Spec(0, 0)).Value(), 116444736000000000ULL);
  // 2001-09-09 01:46:40 UTC is 1,000,000,000 seconds after 1970.
  EXPECT_EQ(TimespecToFileTime(Spec(1000000000, 500)).Value(),
            116444736000000000ULL + 10000000000000000ULL + 5);
  const timespec back = FileTimeToTimespec(TTFileTime::FromValue(116444736000000000ULL + 1));
  EXPECT_EQ(back.tv_sec, 0);
  EXPECT_EQ(back.tv_nsec, 100);
  // Before 1970: one tick before the epoch.
  const timespec before = FileTimeToTimespec(TTFileTime::FromValue(116444736000000000ULL - 1));
  EXPECT_EQ(before.tv_sec, -1);
  EXPECT_EQ(before.tv_nsec, 999999900);
}

TEST(FileTime, HalvesAreLowPartFirst) {
  const TTFileTime time = TTFileTime::FromValue(0x0123456789ABCDEFULL);
  EXPECT_EQ(time.lowPart, 0x89ABCDEFu);
  EXPECT_EQ(time.highPart, 0x01234567u);
}

TEST(FileTime, EveryFileTimeSurvivesTheRoundTrip) {
  std::mt19937_64 random(1601);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t value = random();
    const TTFileTime time = TTFileTime::FromValue(value);
    EXPECT_EQ(TimespecToFileTime(FileTimeToTimespec(time)).Value(), value) << value;
  }
  for (std::uint64_t value : {0ULL, 1ULL, ~0ULL, 116444736000000000ULL}) {
    EXPECT_EQ(TimespecToFileTime(FileTimeToTimespec(TTFileTime::FromValue(value))).Value(), value);
  }
}

TEST(FileTime, NanosecondsBelowOneTickAreCutTowardsThePast) {
  EXPECT_EQ(TimespecToFileTime(Spec(0, 199)).Value(), 116444736000000000ULL + 1);
  const timespec cut = FileTimeToTimespec(TimespecToFileTime(Spec(1700000000, 123456789)));
  EXPECT_EQ(cut.tv_sec, 1700000000);
  EXPECT_EQ(cut.tv_nsec, 123456700);
  // Negative seconds with a fraction: -0.5 s lies 5,000,000 ticks before 1970.
  EXPECT_EQ(TimespecToFileTime(Spec(-1, 500000000)).Value(), 116444736000000000ULL - 5000000);
}

TEST(FileTime, InstantsOutsideTheRangeClampInsteadOfWrapping) {
  EXPECT_EQ(TimespecToFileTime(Spec(-11644473601LL, 0)).Value(), 0u);
  EXPECT_EQ(TimespecToFileTime(Spec(-11644473600LL, 0)).Value(), 0u);
  EXPECT_EQ(TimespecToFileTime(Spec(-11644473600LL, 100)).Value(), 1u);
  EXPECT_EQ(TimespecToFileTime(Spec(INT64_MAX, 999999999)).Value(), ~0ULL);
  EXPECT_EQ(TimespecToFileTime(Spec(INT64_MIN, 0)).Value(), 0u);
  // The largest representable instant converts exactly, one second more clamps.
  const timespec last = FileTimeToTimespec(TTFileTime::FromValue(~0ULL));
  EXPECT_EQ(TimespecToFileTime(last).Value(), ~0ULL);
  EXPECT_EQ(TimespecToFileTime(Spec(last.tv_sec + 1, 0)).Value(), ~0ULL);
}

} // namespace

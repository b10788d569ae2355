//===- tests/engine/run_statistics_test.cpp - Counters and number texts ---===//

#include "engine/progress_view.h"
#include "engine/run_statistics.h"
#include "support/recording_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Ratio(std::uint64_t after, std::uint64_t before) {
  return FormatRatio(after, before).CStr();
}

TEST(RunStatistics, RatioTextsAreTruncatedTenthsPaddedToThreeDigits) {
  EXPECT_EQ(" 77.5%", Ratio(310000, 400000));
  EXPECT_EQ("100.0%", Ratio(0, 0));
  EXPECT_EQ(" 99.9%", Ratio(999, 1000));
  EXPECT_EQ(" 33.3%", Ratio(1, 3));
  EXPECT_EQ(" 66.6%", Ratio(2, 3)); // truncated, not rounded
  EXPECT_EQ("  0.5%", Ratio(1, 200));
  EXPECT_EQ("  0.0%", Ratio(0, 1000));
  EXPECT_EQ(" 60.0%", Ratio(600, 1000));
}

TEST(RunStatistics, ScaledRatioNeverOverflowsOnWideSums) {
  EXPECT_EQ(1000u, ScaledRatio(5, 0, 1000));
  EXPECT_EQ(0u, ScaledRatio(0, 7, 1000));
  // Sums far beyond 4 GiB: the product needs more than 64 bits.
  const std::uint64_t before = 6'000'000'000'000'000'000ULL;
  EXPECT_EQ(750u, ScaledRatio(before / 4 * 3, before, 1000));
  EXPECT_EQ(" 75.0%", Ratio(before / 4 * 3, before));
  // A run over 5 GiB of documents that shrank to 4.5 GiB shows 90.0%, where
  // 32-bit sums would have wrapped.
  EXPECT_EQ(" 90.0%", Ratio(4'831'838'208ULL, 5'368'709'120ULL));
  EXPECT_EQ(UINT64_MAX, ScaledRatio(UINT64_MAX, 1, 1000));
}

TEST(RunStatistics, CountTextsArePlainDecimals) {
  EXPECT_STREQ("0", FormatCount(0).CStr());
  EXPECT_STREQ("1000", FormatCount(1000).CStr());
  EXPECT_STREQ("-5", FormatCount(-5).CStr());
  EXPECT_STREQ("2147483647", FormatCount(INT32_MAX).CStr());
  // Byte sums above 2^31 and above 2^32 stay positive and exact.
  EXPECT_STREQ("2147483648", FormatByteCount(2147483648ULL).CStr());
  EXPECT_STREQ("4294967296", FormatByteCount(4294967296ULL).CStr());
  EXPECT_STREQ("18446744073709551615", FormatByteCount(UINT64_MAX).CStr());
}

TEST(RunStatistics, RefreshWritesTheSevenFieldsInWindowOrder) {
  RunStatistics statistics;
  statistics.totalFiles = 1;
  statistics.documentFiles = 1;
  statistics.compressedFiles = 1;
  statistics.bytesBefore = 1000;
  statistics.bytesAfter = 600;
  velkor::test::RecordingView view;
  RefreshCounters(statistics, view);
  std::vector<std::pair<CounterField, std::string>> expected = {
      {CounterField::totalFiles, "1"},      {CounterField::documentFiles, "1"},
      {CounterField::compressedFiles, "1"}, {CounterField::bytesBefore, "1000"},
      {CounterField::bytesAfter, "600"},    {CounterField::bytesReduced, "400"},
      {CounterField::ratio, " 60.0%"}};
  EXPECT_EQ(expected, view.counterWrites);

  statistics.Zero();
  statistics.totalFiles = 1000;
  view.counterWrites.clear();
  RefreshCounters(statistics, view);
  ASSERT_EQ(7u, view.counterWrites.size());
  EXPECT_EQ("1000", view.counterWrites[0].second);
  EXPECT_EQ("0", view.counterWrites[5].second);
  EXPECT_EQ("100.0%", view.counterWrites[6].second);
}

} // namespace

//===- tests/cli/fuzz_regressions_test.cpp - Saved fuzz inputs replayed ----===//
///
/// \file
/// Every input the fuzzer once broke on (fuzz/regressions/), the fuzzer's seed
/// corpus and every fixture up to 1 MiB go through the fuzz target's round
/// trip: refused with a cfb error, or opened, walked, copied to the planned
/// size, re-opened and found identical. (The large fixtures go through the
/// same checks in the cross-check suite, which is labelled slow.)
///
//===----------------------------------------------------------------------===//

#include "round_trip.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

fuzz::RoundTripResult RoundTripFile(const fs::path& path, const TempDir& scratch) {
  std::string data = ReadAll(path);
  return fuzz::RoundTrip(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(),
                         scratch.Path().string());
}

TEST(FuzzRegressions, EverySavedInputKeepsTheRoundTrip) {
  TempDir scratch;
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(VELKOR_SOURCE_DIR "/fuzz/regressions")) {
    if (entry.path().extension() == ".md") continue;
    fuzz::RoundTripResult result = RoundTripFile(entry.path(), scratch);
    EXPECT_EQ(result.problem, "") << entry.path();
    ++count;
  }
  RecordProperty("inputs", static_cast<int>(count));
}

TEST(FuzzRegressions, EveryFixtureIsAcceptedAndRoundTrips) {
  TempDir scratch;
  size_t count = 0;
  for (const char* folder : {"office", "slack", "synth", "corpus"}) {
    for (const auto& entry : fs::directory_iterator(FixturesDir() / folder)) {
      if (entry.file_size() > (1u << 20)) continue;
      fuzz::RoundTripResult result = RoundTripFile(entry.path(), scratch);
      EXPECT_TRUE(result.accepted) << entry.path();
      EXPECT_EQ(result.problem, "") << entry.path();
      ++count;
    }
  }
  EXPECT_GT(count, 25u);
}

}  // namespace
}  // namespace velkor::test

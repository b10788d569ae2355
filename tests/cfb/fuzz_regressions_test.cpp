//===- tests/cfb/fuzz_regressions_test.cpp - Saved fuzz inputs replayed ----===//
///
/// \file
/// Every input the fuzzer once broke on (fuzz/regressions/), the fuzzer's seed
/// corpus and every fixture up to 1 MiB go through the fuzz target's round
/// trip: refused with a cfb error, or opened, walked, copied to the planned
/// size, re-opened and found identical. (The large fixtures go through the
/// same checks in the cross-check suite, which is labelled slow.)
///
/// fuzz/regressions/README.md lists every saved input ("- `name`: what it
/// broke"), so that an input lost on the way (not committed, filtered out)
/// fails the replay instead of leaving it with nothing to replay.
///
//===----------------------------------------------------------------------===//

#include "round_trip.h"
#include "support/fs_helpers.h"
#include "support/process.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

fuzz::RoundTripResult RoundTripFile(const fs::path &path, const TempDir &scratch) {
  std::string data = ReadFile(path.string());
  return fuzz::RoundTrip(reinterpret_cast<const std::uint8_t *>(data.data()), data.size(),
                         scratch.Path());
}

/// The inputs the folder's README lists: its lines "- `name`: ...".
std::set<std::string> ListedInputs(const fs::path &readme) {
  std::set<std::string> names;
  std::ifstream in(readme);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("- `", 0) != 0)
      continue;
    const std::size_t end = line.find('`', 3);
    if (end != std::string::npos)
      names.insert(line.substr(3, end - 3));
  }
  return names;
}

TEST(FuzzRegressions, EverySavedInputKeepsTheRoundTrip) {
  const fs::path folder = VELKOR_SOURCE_DIR "/fuzz/regressions";
  ASSERT_TRUE(fs::exists(folder / "README.md")) << folder;
  const std::set<std::string> listed = ListedInputs(folder / "README.md");
  TempDir scratch;
  std::set<std::string> found;
  for (const auto &entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".md")
      continue;
    found.insert(entry.path().filename().string());
    fuzz::RoundTripResult result = RoundTripFile(entry.path(), scratch);
    EXPECT_EQ(result.problem, "") << entry.path();
  }
  for (const std::string &name : listed)
    EXPECT_TRUE(found.count(name))
        << "fuzz/regressions/README.md lists " << name << ", which is missing";
  for (const std::string &name : found)
    EXPECT_TRUE(listed.count(name))
        << "fuzz/regressions/" << name << " is not listed in its README.md";
  RecordProperty("inputs", static_cast<int>(found.size()));
}

TEST(FuzzRegressions, EveryFixtureIsAcceptedAndRoundTrips) {
  TempDir scratch;
  size_t count = 0;
  for (const char *folder : {"office", "slack", "synth", "corpus"}) {
    for (const auto &entry : fs::directory_iterator(fs::path(FixturesDir()) / folder)) {
      if (entry.file_size() > (1u << 20))
        continue;
      fuzz::RoundTripResult result = RoundTripFile(entry.path(), scratch);
      EXPECT_TRUE(result.accepted) << entry.path();
      EXPECT_EQ(result.problem, "") << entry.path();
      ++count;
    }
  }
  EXPECT_GT(count, 25u);
}

} // namespace
} // namespace velkor::test

//===- tests/cli/terminal_view_test.cpp - The run as the terminal shows it ===//

#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <csignal>

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <vector>

#include "cli/progress_rate.h"

namespace {

using namespace velkor::cli;

std::string ReadAll(std::FILE *file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  return text;
}

bool HasControlCharacters(const std::string &text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\n') || c == 0x7F)
      return true;
  }
  return false;
}

RunStatistics Counted(int total, int documents, int compressed, std::uint64_t before,
                      std::uint64_t after) {
  RunStatistics statistics;
  statistics.totalFiles = total;
  statistics.documentFiles = documents;
  statistics.compressedFiles = compressed;
  statistics.bytesBefore = before;
  statistics.bytesAfter = after;
  return statistics;
}

/// The writes a run makes for one directory entry with two candidates, the
/// first a document that shrank, the second a plain-text file.
void BeginRun(ProgressView &view) {
  ASSERT_TRUE(view.Create());
  view.EnableMainWindow(false);
  view.SetCaption("Compressing files");
  view.SetDiskRange(1);
  view.Show();
  view.SetDiskPosition(0);
  view.SetDiskText("/srv/docs/");
  view.SetFileRange(1);
  view.SetFilePosition(0);
  view.SetPhase(RunPhase::scanning);
  view.PumpMessages();
  view.SetDocumentProgress(1, 0);
  view.SetFileText("Reports/q1.doc");
  view.PumpMessages();
  view.SetPhase(RunPhase::compressing);
  view.SetFileText("");
  view.SetFileRange(2);
}

void CompactBoth(ProgressView &view) {
  view.SetFileText("");
  view.SetFilePosition(0);
  view.PumpMessages();
  view.SetDocumentProgress(1, 0);
  view.SetFileText("Reports/q1.doc");
  view.SetCounters(Counted(1, 1, 1, 400000, 310000));
  view.DocumentDone({"/srv/docs/Reports/q1.doc", 400000, 310000, DocumentOutcome::replaced, ""},
                    Counted(1, 1, 1, 400000, 310000));
  view.PumpMessages();
  view.SetDocumentProgress(2, 1);
  view.DocumentDone({"/srv/docs/notes\n\x1b[2J.doc", 812, 0, DocumentOutcome::passedOver,
                     "not a compound document"},
                    Counted(2, 1, 1, 400000, 310000));
}

void EndRun(ProgressView &view, const char *message) {
  view.SetFilePosition(2);
  view.SetDiskPosition(1);
  view.SetDiskText("");
  view.SetFileText("");
  view.SetCounters(Counted(2, 1, 1, 400000, 310000));
  view.ShowMessage(message);
  view.EnableMainWindow(true);
  view.Destroy();
}

/// A clock that moves only when told, so that what the view says of time
/// is known exactly.
struct ManualClock {
  std::chrono::steady_clock::time_point now{};
  void Advance(double seconds) {
    now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
  }
  std::function<std::chrono::steady_clock::time_point()> Reader() {
    return [this] { return now; };
  }
};

struct Files {
  std::FILE *out = std::tmpfile();
  std::FILE *err = std::tmpfile();
  ~Files() {
    std::fclose(out);
    std::fclose(err);
  }
};

TEST(TerminalView, PlainOutputHasPhaseLinesListAndLabelledCounters) {
  Files files;
  ManualClock clock;
  TerminalView view({files.out, files.err, nullptr, 80, true, false, false,
                     std::chrono::milliseconds(80), clock.Reader()});
  BeginRun(view);
  CompactBoth(view);
  clock.Advance(2.43);
  EndRun(view, "Process is complete");
  view.Finish(RunEnding::complete, view.LastMessage());
  const std::string out = ReadAll(files.out);
  EXPECT_FALSE(HasControlCharacters(out)) << out;
  EXPECT_EQ(out,
            "Compressing files\n"
            "Scanning /srv/docs/\n"
            "Compressing 2 files\n"
            "/srv/docs/Reports/q1.doc: 400000 -> 310000 bytes, replaced\n"
            "/srv/docs/notes\\n\\x1b[2J.doc: 812 bytes, passed over (not a compound document)\n"
            "Process is complete\n"
            "Total files:                   2\n"
            "Document files:                1\n"
            "Compressed files:              1\n"
            "Bytes before compression: 400000\n"
            "Bytes after compression:  310000\n"
            "Bytes reduced:             90000\n"
            "Compression ratio:         77.5%\n"
            "Elapsed time:             0:00:02.4\n");
  EXPECT_EQ(ReadAll(files.err), "");
}

// The summary's last line keeps to the counters' columns where it fits.
TEST(TerminalView, ElapsedLineSitsInTheCountersColumns) {
  struct Case {
    double seconds;
    std::uint64_t bytesBefore;
    const char *line;
  };
  for (const Case &c : std::vector<Case>{
           {0.0, 0, "Elapsed time:             0:00:00.0"},
           {2.43, 400000, "Elapsed time:             0:00:02.4"},
           {5025.0, 123456789012ull, "Elapsed time:                1:23:45.0"},
           {100000.0, 123456789012ull, "Elapsed time:               27:46:40.0"},
       }) {
    RunStatistics counters;
    counters.bytesBefore = c.bytesBefore;
    EXPECT_EQ(ElapsedLine(c.seconds, counters), c.line) << c.seconds;
  }
}

TEST(ProgressRate, DurationsAndRatesAsTheLiveLineShowsThem) {
  struct Case {
    double seconds;
    bool tenths;
    const char *text;
  };
  for (const Case &c : std::vector<Case>{
           {0, false, "0:00:00"},
           {-3, false, "0:00:00"},
           {59.4, false, "0:00:59"},
           {59.6, false, "0:01:00"},
           {245, false, "0:04:05"},
           {100000, false, "27:46:40"},
           {1e300, false, "100000:00:00"},
           {2.43, true, "0:00:02.4"},
           {59.96, true, "0:01:00.0"},
           {3600.05, true, "1:00:00.1"},
       }) {
    EXPECT_EQ(FormatDuration(c.seconds, c.tenths), c.text) << c.seconds;
  }
  struct RateCase {
    double perSecond;
    const char *text;
  };
  for (const RateCase &c : std::vector<RateCase>{{0, "0.0"},
                                                 {-1, "0.0"},
                                                 {0.04, "0.0"},
                                                 {3.45, "3.5"},
                                                 {9.94, "9.9"},
                                                 {9.96, "10.0"},
                                                 {99.94, "99.9"},
                                                 {99.96, "100"},
                                                 {1280.4, "1280"}}) {
    EXPECT_EQ(FormatRate(c.perSecond), c.text) << c.perSecond;
  }
  EXPECT_EQ(RateText({1280.0, 12.34e6, 754.0}), "0:12:34 left, 1280 files/s, 12.3 MB/s");
}

// The time left is weighted by the candidates' sizes where they are known,
// and is given only once there is enough to go on.
TEST(ProgressRate, EstimateWaitsForEnoughAndWeighsBySize) {
  struct Case {
    const char *what;
    DocumentProgress progress;
    int total;
    double elapsed;
    std::optional<RateEstimate> expected;
  };
  const std::vector<Case> cases = {
      {"nothing finished", {1, 0, 0, 1000}, 100, 60, std::nullopt},
      {"under 1% in under ten seconds", {1, 1, 5, 1000}, 1000, 5, std::nullopt},
      {"1% at once says too little", {10, 10, 10, 1000}, 1000, 0.5, std::nullopt},
      {"no candidates", {0, 0, 0, 0}, 0, 60, std::nullopt},
      {"1% of the bytes", {10, 10, 10, 1000}, 1000, 2, RateEstimate{5, 5, 198}},
      {"ten seconds with little done", {2, 1, 1, 1000}, 1000, 10, RateEstimate{0.1, 0.1, 9990}},
      // A quarter of the candidates, but three quarters of the bytes.
      {"weighed by size", {50, 50, 750, 1000}, 200, 30, RateEstimate{50.0 / 30, 25, 10}},
      {"no sizes: by count", {50, 50, 0, 0}, 200, 30, RateEstimate{50.0 / 30, 0, 90}},
      {"empty first candidates: by count",
       {50, 50, 0, 1000},
       200,
       30,
       RateEstimate{50.0 / 30, 0, 90}},
      {"all done", {200, 200, 1000, 1000}, 200, 40, RateEstimate{5, 25, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<RateEstimate> got = EstimateRate(c.progress, c.total, c.elapsed);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (!got)
      continue;
    EXPECT_NEAR(got->filesPerSecond, c.expected->filesPerSecond, 1e-9);
    EXPECT_NEAR(got->bytesPerSecond, c.expected->bytesPerSecond, 1e-9);
    EXPECT_NEAR(got->secondsLeft, c.expected->secondsLeft, 1e-9);
  }
}

// Once enough is done, the live line gives the rate and the time left right
// after the bar, and still keeps within every width.
TEST(TerminalView, LiveLineGivesRateAndTimeLeftWithinTheWidth) {
  for (const int columns : {20, 40, 60, 80, 90, 200}) {
    SCOPED_TRACE(columns);
    Files files;
    std::FILE *live = std::tmpfile();
    ManualClock clock;
    TerminalView view({files.out, files.err, live, columns, false, false, false,
                       std::chrono::milliseconds(0), clock.Reader()});
    BeginRun(view);
    clock.Advance(5);
    view.SetDocumentProgress({2, 1, 3'000'000, 12'000'000});
    view.SetFileText("Reports/q2.doc");
    const std::string drawn = ReadAll(live);
    if (columns >= 200) {
      EXPECT_NE(drawn.find("\rCompressing 2/2 [#####-----] 0:00:15 left, 0.2 files/s, 0.6 MB/s, "
                           "0 documents, 0 compressed  Reports/q2.doc\x1b[K"),
                std::string::npos)
          << drawn;
    }
    std::size_t start = 0;
    while ((start = drawn.find('\r', start)) != std::string::npos) {
      const std::size_t end = drawn.find("\x1b[K", start);
      ASSERT_NE(end, std::string::npos);
      EXPECT_LE(end - start - 1, static_cast<std::size_t>(columns - 1));
      start = end;
    }
    std::fclose(live);
  }
}

TEST(TerminalView, LiveLineIsRedrawnInPlaceAndClearedBeforeTheEnd) {
  Files files;
  std::FILE *live = std::tmpfile();
  ManualClock clock; // too soon for a rate: the line shows none
  TerminalView view({files.out, files.err, live, 90, false, false, false,
                     std::chrono::milliseconds(0), clock.Reader()});
  BeginRun(view);
  CompactBoth(view);
  const std::string drawn = ReadAll(live);
  EXPECT_NE(
      drawn.find("\rCompressing 2/2 [#####-----] 1 documents, 1 compressed, 77.5%  Reports/q1.doc"),
      std::string::npos)
      << drawn;
  EXPECT_NE(
      drawn.find("\rScanning /srv/docs/: 2 found, 0 documents, 0 compressed  Reports/q1.doc\x1b[K"),
      std::string::npos);
  EXPECT_EQ(drawn.find("Compressing 0/1"), std::string::npos)
      << "drawn once the candidates are counted";
  EXPECT_EQ(drawn.find('\n'), std::string::npos) << "the live line never scrolls";
  // Each drawing fits the width given, one column short so the cursor never wraps.
  std::size_t start = 0;
  while ((start = drawn.find('\r', start)) != std::string::npos) {
    const std::size_t end = drawn.find("\x1b[K", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start - 1, 89u);
    start = end;
  }
  EndRun(view, "Process is complete");
  view.Finish(RunEnding::complete, view.LastMessage());
  EXPECT_EQ(ReadAll(live).substr(drawn.size()).back(), 'K') << "cleared at the end";
  std::fclose(live);
}

TEST(TerminalView, FailedRunWritesItsMessageToStandardError) {
  Files files;
  TerminalView view({files.out, files.err, nullptr, 80, false, false, false});
  ASSERT_TRUE(view.Create());
  view.ShowMessage("You must specify files and wildcars field");
  view.Finish(RunEnding::message, view.LastMessage());
  EXPECT_EQ(ReadAll(files.out), "") << "no window was shown: nothing was counted";
  EXPECT_EQ(ReadAll(files.err), "velkor-cli: You must specify files and wildcars field\n");
}

TEST(TerminalView, SecondStopEndsAtOnceOnlyWhenNoDocumentIsInHand) {
  Files files;
  TerminalView view({files.out, files.err, nullptr, 80, false, false, false});
  BeginRun(view); // now compacting
  view.RequestStop(SIGINT);
  EXPECT_TRUE(view.StopRequested());
  EXPECT_FALSE(view.FinishIfIdle()) << "a document may be in hand";
  view.SetFilePosition(2); // the entry's last candidate is done
  EXPECT_TRUE(view.FinishIfIdle());
  EXPECT_FALSE(view.FinishIfIdle()) << "the ending is written once";
  view.Finish(RunEnding::complete, "Process is complete");
  const std::string out = ReadAll(files.out);
  EXPECT_NE(out.find("Process was stopped\nTotal files:"), std::string::npos) << out;
  EXPECT_EQ(out.find("Process is complete"), std::string::npos);
}

TEST(TerminalView, SecondStopDuringAScanEndsAtOnce) {
  Files files;
  TerminalView view({files.out, files.err, nullptr, 80, false, false, false});
  ASSERT_TRUE(view.Create());
  view.Show();
  view.SetPhase(RunPhase::scanning);
  view.PumpMessages();
  EXPECT_TRUE(view.FinishIfIdle());
}

TEST(TerminalView, JsonModeWritesOnlyTheReport) {
  Files files;
  TerminalView view({files.out, files.err, nullptr, 80, false, true, true});
  BeginRun(view);
  CompactBoth(view);
  EndRun(view, "Process is complete");
  view.Finish(RunEnding::complete, view.LastMessage());
  const auto report = nlohmann::json::parse(ReadAll(files.out));
  EXPECT_EQ(report["mode"], "estimate");
  ASSERT_EQ(report["documents"].size(), 2u);
  EXPECT_EQ(report["documents"][1]["path"], "/srv/docs/notes\n\x1b[2J.doc");
  EXPECT_EQ(report["counters"]["totalFiles"], 2);
  EXPECT_EQ(report["status"], "complete");
}

TEST(TerminalView, ClosedOutputAsksTheRunToStop) {
  Files files;
  std::FILE *closed = std::fopen("/dev/full", "w");
  ASSERT_NE(closed, nullptr);
  TerminalView view({closed, files.err, nullptr, 80, true, false, false});
  BeginRun(view);
  CompactBoth(view);
  EXPECT_TRUE(view.OutputFailed());
  EXPECT_TRUE(view.StopRequested());
  std::fclose(closed);
}

} // namespace

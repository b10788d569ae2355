//===- tests/cli/terminal_view_test.cpp - The run as the terminal shows it ===//

#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <csignal>

#include <nlohmann/json.hpp>

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
  TerminalView view({files.out, files.err, nullptr, 80, true, false, false});
  BeginRun(view);
  CompactBoth(view);
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
            "Compression ratio:         77.5%\n");
  EXPECT_EQ(ReadAll(files.err), "");
}

TEST(TerminalView, LiveLineIsRedrawnInPlaceAndClearedBeforeTheEnd) {
  Files files;
  std::FILE *live = std::tmpfile();
  TerminalView view(
      {files.out, files.err, live, 90, false, false, false, std::chrono::milliseconds(0)});
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

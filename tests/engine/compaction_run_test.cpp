//===- tests/engine/compaction_run_test.cpp - Whole runs on real trees ----===//
///
/// \file
/// End-to-end runs of the engine over temporary trees of real compound
/// documents (made by the test builder, with free space inside) and other
/// files, watched through a recording progress view and checked with an
/// independent reader (olefile) and the files' own state.
///
//===----------------------------------------------------------------------===//

#include "cfb/compound_file.h"
#include "engine/compaction_run.h"
#include "engine/copy_check.h"
#include "engine/document_identity.h"
#include "engine/recent_change.h"
#include "engine/run_failure.h"
#include "engine/run_messages.h"
#include "engine/run_statistics.h"
#include "engine/user_abort.h"
#include "fs/mount_table.h"

#include "support/recording_view.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace velkor::test;

namespace {

/// How a run ended.
struct RunEnd {
  bool complete = false; ///< returned normally
  bool aborted = false;  ///< UserAbort after a message
  std::string error;     ///< DescribeCurrentException of anything else
};

class CompactionRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    startDirectory = CurrentDirectory();
    options.allFiles = false;
    options.allDrives = false;
    options.recursive = true;
    options.compress = true;
    options.wildcards = "*.doc *.xls";
  }
  void TearDown() override {
    // Whatever happened, the run gives the process its directory back, the
    // main window is enabled and no progress window remains.
    EXPECT_EQ(startDirectory, CurrentDirectory());
    EXPECT_TRUE(view.mainEnabled);
    EXPECT_FALSE(view.created);
  }

  RunEnd Run(const std::vector<std::pair<std::string, bool>> &entries) {
    BaseEntryList list(view);
    for (const auto &entry : entries)
      list.Add(entry.first.c_str(), entry.second);
    RunEnd end;
    try {
      CompactionRun(options, list, view);
      end.complete = true;
    } catch (const UserAbort &) {
      end.aborted = true;
    } catch (...) {
      end.error = DescribeCurrentException();
    }
    return end;
  }
  RunEnd RunOn(const std::string &relativeDirectory) {
    return Run({{tree.Path(relativeDirectory), false}});
  }

  /// A document that a fresh copy cannot make smaller: itself a fresh copy.
  void WriteCompactDocument(const std::string &relative, unsigned seed) {
    tree.WriteDocument(relative + ".source", seed);
    {
      cfb::Source source = cfb::Source::Open(tree.Path(relative + ".source"));
      cfb::Destination copy = cfb::Destination::Create(tree.Path(relative));
      source.CopyTo(copy);
      copy.Release();
      source.Release();
    }
    unlink(tree.Path(relative + ".source").c_str());
  }

  std::string startDirectory;
  TempDir tree;
  RecordingView view;
  RunOptions options;
};

std::vector<std::string> CounterLines(const RunStatistics &s) {
  std::vector<std::string> lines;
  lines.push_back("counter totalFiles " + std::to_string(s.totalFiles));
  lines.push_back("counter documentFiles " + std::to_string(s.documentFiles));
  lines.push_back("counter compressedFiles " + std::to_string(s.compressedFiles));
  lines.push_back("counter bytesBefore " + std::to_string(s.bytesBefore));
  lines.push_back("counter bytesAfter " + std::to_string(s.bytesAfter));
  lines.push_back("counter bytesReduced " + std::to_string(s.bytesBefore - s.bytesAfter));
  lines.push_back(std::string("counter ratio ") + FormatRatio(s.bytesAfter, s.bytesBefore).CStr());
  return lines;
}

// The road of one file: Docs/Reports/q1.doc, masks *.doc *.xls, recursive,
// the base entry Docs/, compressing.
TEST_F(CompactionRunTest, RoadOfOneFile) {
  tree.WriteDocument("Docs/Reports/q1.doc", 1);
  const std::string original = OleListing(tree.Path("Docs/Reports/q1.doc"));
  const FileState before = StateOf(tree.Path("Docs/Reports/q1.doc"));
  const std::string base = tree.Path("Docs/");

  RunEnd end = RunOn("Docs/");
  ASSERT_TRUE(end.complete) << end.error;

  const FileState after = StateOf(tree.Path("Docs/Reports/q1.doc"));
  ASSERT_LT(after.size, before.size);
  EXPECT_NE(before.inode, after.inode) << "the copy took the document's place";
  EXPECT_EQ(original, OleListing(tree.Path("Docs/Reports/q1.doc")));
  EXPECT_TRUE(tree.TempFiles().empty());

  RunStatistics s;
  s.totalFiles = s.documentFiles = s.compressedFiles = 1;
  s.bytesBefore = static_cast<std::uint64_t>(before.size);
  s.bytesAfter = static_cast<std::uint64_t>(after.size);
  std::vector<std::string> expected = {"create", "enableMain 0", "caption Compressing files",
                                       "diskRange 1", "show",
                                       // scan
                                       "diskPos 0", "diskText " + base, "fileRange 1", "filePos 0",
                                       "status Scanning", "pump", "fileText Reports/q1.doc",
                                       // compaction
                                       "status Compressing", "fileText ", "fileRange 1",
                                       "fileText ", "filePos 0", "pump", "fileText Reports/q1.doc"};
  for (const std::string &line : CounterLines(s))
    expected.push_back(line);
  expected.push_back("done replaced " + base + "Reports/q1.doc");
  for (const char *line : {"filePos 1", "diskPos 1", "diskText ", "fileText "})
    expected.push_back(line);
  for (const std::string &line : CounterLines(s))
    expected.push_back(line);
  for (const char *line : {"message Process is complete", "enableMain 1", "destroy"})
    expected.push_back(line);
  EXPECT_EQ(expected, view.log);

  const DocumentReport &report = view.ReportFor("q1.doc");
  EXPECT_EQ(static_cast<std::uint64_t>(before.size), report.sizeBefore);
  EXPECT_EQ(static_cast<std::uint64_t>(after.size), report.sizeAfter);
}

// Both modes count alike; only the compressing run changes files.
TEST_F(CompactionRunTest, EstimateAndCompressCountAlike) {
  tree.WriteDocument("t/a.doc", 2);
  tree.WriteDocument("t/sub/B.XLS", 3, 20);
  WriteCompactDocument("t/sub/deep/c.doc", 4);
  tree.Write("t/plain.doc", "just some text, not a compound document\n");
  tree.Write("t/notes.txt", "not selected");
  tree.MakeDir("t/old.doc"); // a directory the masks select
  ASSERT_EQ(0, symlink("a.doc", tree.Path("t/link.doc").c_str()));

  const char *files[] = {"t/a.doc", "t/sub/B.XLS", "t/sub/deep/c.doc", "t/plain.doc",
                         "t/notes.txt"};
  std::map<std::string, FileState> before;
  std::map<std::string, std::string> listings;
  for (const char *file : files)
    before[file] = StateOf(tree.Path(file));
  for (const char *file : {"t/a.doc", "t/sub/B.XLS", "t/sub/deep/c.doc"})
    listings[file] = OleListing(tree.Path(file));

  options.compress = false;
  RunEnd estimate = RunOn("t/");
  ASSERT_TRUE(estimate.complete) << estimate.error;
  EXPECT_EQ("caption Estimating compression ratio", view.log[2]);
  std::map<std::string, std::string> estimateCounters = view.counters;
  EXPECT_EQ("5", estimateCounters["totalFiles"]);
  EXPECT_EQ("3", estimateCounters["documentFiles"]);
  EXPECT_EQ("2", estimateCounters["compressedFiles"]);
  // Three documents refresh once each, the end of the run once more.
  EXPECT_EQ(4, view.counterRefreshes);
  EXPECT_EQ("wouldShrink", std::string(OutcomeName(view.ReportFor("a.doc").outcome)));
  EXPECT_EQ("notSmaller", std::string(OutcomeName(view.ReportFor("c.doc").outcome)));
  EXPECT_EQ("passedOver", std::string(OutcomeName(view.ReportFor("old.doc").outcome)));
  EXPECT_EQ(5u, view.reports.size()) << "one report per candidate, no link";
  for (const char *file : files) {
    FileState now = StateOf(tree.Path(file));
    EXPECT_EQ(before[file].inode, now.inode) << file;
    EXPECT_EQ(before[file].contentHash, now.contentHash) << file;
    EXPECT_TRUE(SameTime(before[file].modified, now.modified)) << file;
  }
  EXPECT_TRUE(tree.TempFiles().empty());

  view = RecordingView();
  options.compress = true;
  RunEnd compress = RunOn("t/");
  ASSERT_TRUE(compress.complete) << compress.error;
  EXPECT_EQ(estimateCounters, view.counters);
  for (const char *file : {"t/a.doc", "t/sub/B.XLS"}) {
    FileState now = StateOf(tree.Path(file));
    EXPECT_LT(now.size, before[file].size) << file;
    EXPECT_EQ(listings[file], OleListing(tree.Path(file))) << file;
  }
  for (const char *file : {"t/sub/deep/c.doc", "t/plain.doc", "t/notes.txt"}) {
    FileState now = StateOf(tree.Path(file));
    EXPECT_EQ(before[file].inode, now.inode) << file;
    EXPECT_EQ(before[file].contentHash, now.contentHash) << file;
  }
  EXPECT_TRUE(tree.TempFiles().empty());
}

// One document reached twice counts alike in an estimate and a compressing
// run: the second visit opens the copy the run put in place and finds
// nothing more to gain. So it goes for a plain mask given more than once
// (one base entry), and for a folder and a file in it picked together (two
// base entries: the second is scanned after the first was compacted). With
// several workers the second visit waits for the first. With a minimum age,
// the file the compressing run put in the document's place is no recent
// change.
TEST_F(CompactionRunTest, DocumentReachedTwiceCountsAlikeInBothModes) {
  struct Way {
    const char *name;
    const char *wildcards;
    bool fileEntries; ///< the folder, then a.doc and b.doc as entries of their own
  };
  const Way ways[] = {{"mask", "a.doc a.doc b.doc a.doc", false},
                      {"entries", "a.doc b.doc", true},
                      {"aged", "a.doc a.doc b.doc a.doc", false},
                      {"aged entries", "a.doc b.doc", true}};
  const auto folderOf = [](const Way &way, int workers) {
    return std::string("twice-") + way.name + std::to_string(workers) + "/";
  };
  for (const Way &way : ways)
    for (int workers : {1, 4}) {
      tree.WriteDocument(folderOf(way, workers) + "a.doc", 69);
      tree.WriteDocument(folderOf(way, workers) + "b.doc", 68);
    }
  // Older than the minimum age of a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  for (const Way &way : ways) {
    for (int workers : {1, 4}) {
      SCOPED_TRACE(std::string(way.name) + " " + std::to_string(workers));
      const std::string folder = folderOf(way, workers);
      options.minAge = std::chrono::seconds(std::strncmp(way.name, "aged", 4) == 0 ? 1 : 0);
      std::vector<std::pair<std::string, bool>> entries = {{tree.Path(folder), false}};
      if (way.fileEntries)
        entries.insert(entries.end(),
                       {{tree.Path(folder + "a.doc"), true}, {tree.Path(folder + "b.doc"), true}});
      options.workers = workers;
      options.recursive = false;
      options.wildcards = way.wildcards;
      options.compress = false;
      view = RecordingView();
      RunEnd estimate = Run(entries);
      ASSERT_TRUE(estimate.complete) << estimate.error;
      const std::map<std::string, std::string> estimateCounters = view.counters;
      const std::vector<DocumentReport> estimateReports = view.reports;
      EXPECT_EQ("4", estimateCounters.at("documentFiles"));
      EXPECT_EQ("2", estimateCounters.at("compressedFiles"));

      view = RecordingView();
      options.compress = true;
      RunEnd compress = Run(entries);
      ASSERT_TRUE(compress.complete) << compress.error;
      EXPECT_EQ(estimateCounters, view.counters);
      ASSERT_EQ(4u, view.reports.size());
      ASSERT_EQ(4u, estimateReports.size());
      std::vector<DocumentOutcome> outcomes;
      for (std::size_t i = 0; i < view.reports.size(); ++i) {
        outcomes.push_back(view.reports[i].outcome);
        EXPECT_EQ(view.reports[i].sizeBefore, estimateReports[i].sizeBefore) << i;
        EXPECT_EQ(view.reports[i].sizeAfter, estimateReports[i].sizeAfter) << i;
      }
      const std::vector<DocumentOutcome> serial =
          way.fileEntries
              ? std::vector<DocumentOutcome>{DocumentOutcome::replaced, DocumentOutcome::replaced,
                                             DocumentOutcome::notSmaller,
                                             DocumentOutcome::notSmaller}
              : std::vector<DocumentOutcome>{DocumentOutcome::replaced, DocumentOutcome::notSmaller,
                                             DocumentOutcome::replaced,
                                             DocumentOutcome::notSmaller};
      EXPECT_EQ(serial, outcomes);
      // A second visit starts from the first visit's copy, in both modes.
      for (const std::vector<DocumentReport> *reports :
           {&std::as_const(view.reports), &estimateReports}) {
        for (std::size_t i = 0; i < reports->size(); ++i) {
          for (std::size_t j = 0; j < i; ++j) {
            if ((*reports)[j].path == (*reports)[i].path) {
              EXPECT_EQ((*reports)[j].sizeAfter, (*reports)[i].sizeBefore) << (*reports)[i].path;
              break;
            }
          }
        }
      }
    }
  }
}

// Several workers report and count exactly as one does: the same reports in
// candidate order, the same counter writes, the same files afterwards.
TEST_F(CompactionRunTest, SeveralWorkersReportAndCountAsOneDoes) {
  for (const char *base : {"one/", "four/"}) {
    const std::string folder = base;
    for (unsigned i = 0; i < 30; ++i)
      tree.WriteDocument(folder + "d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".doc",
                         100 + i, static_cast<int>(i % 3) * 8);
    WriteCompactDocument(folder + "d1/compact.doc", 140);
    tree.Write(folder + "d2/plain.doc", "just some text\n");
    tree.MakeDir(folder + "d3/old.doc");
    ASSERT_EQ(
        0, link(tree.Path(folder + "d0/f0.doc").c_str(), tree.Path(folder + "linked.xls").c_str()));
  }
  struct Seen {
    std::vector<std::string> reports;
    std::vector<std::pair<CounterField, std::string>> counterWrites;
    std::map<std::string, std::string> files;
  };
  auto run = [&](const std::string &folder, int workers, bool compress) {
    view = RecordingView();
    options.workers = workers;
    options.compress = compress;
    RunEnd end = RunOn(folder);
    EXPECT_TRUE(end.complete) << end.error;
    Seen seen;
    const std::string root = tree.Path(folder);
    for (const DocumentReport &report : view.reports)
      seen.reports.push_back(report.path.substr(root.size()) + " " +
                             std::to_string(report.sizeBefore) + " " +
                             std::to_string(report.sizeAfter) + " " + OutcomeName(report.outcome) +
                             " " + report.reason);
    seen.counterWrites = view.counterWrites;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
      if (entry.is_regular_file())
        seen.files[entry.path().string().substr(root.size())] =
            StateOf(entry.path().string()).contentHash;
    }
    EXPECT_TRUE(tree.TempFiles().empty());
    return seen;
  };
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compress" : "estimate");
    const Seen serial = run("one/", 1, compress);
    const Seen parallel = run("four/", 4, compress);
    EXPECT_EQ(34u, serial.reports.size());
    EXPECT_EQ(serial.reports, parallel.reports);
    EXPECT_EQ(serial.counterWrites, parallel.counterWrites);
    EXPECT_EQ(serial.files, parallel.files);
  }
}

// The second visit still passes over a file that something else changed
// after the run replaced it.
TEST_F(CompactionRunTest, DocumentChangedBetweenTwoVisitsIsPassedOver) {
  tree.WriteDocument("twice/a.doc", 70);
  options.recursive = false;
  options.wildcards = "a.doc a.doc";
  struct TouchAfterReplacement : RecordingView {
    std::string path;
    void DocumentDone(const DocumentReport &report, const RunStatistics &statistics) override {
      RecordingView::DocumentDone(report, statistics);
      if (report.outcome == DocumentOutcome::replaced)
        utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
    }
  } touching;
  touching.path = tree.Path("twice/a.doc");
  BaseEntryList list(touching);
  list.Add(tree.Path("twice/").c_str(), false);
  CompactionRun(options, list, touching);
  ASSERT_EQ(2u, touching.reports.size());
  EXPECT_EQ(DocumentOutcome::replaced, touching.reports[0].outcome);
  EXPECT_EQ(DocumentOutcome::passedOver, touching.reports[1].outcome);
  EXPECT_NE(std::string::npos, touching.reports[1].reason.find("no longer the file"))
      << touching.reports[1].reason;
}

// A read-only document owned by someone else, with extended attributes and
// an ACL, is replaced with all of them and its times.
TEST_F(CompactionRunTest, ReplacedDocumentKeepsModeOwnerAttributesAndTimes) {
  if (geteuid() != 0)
    GTEST_SKIP() << "giving a file to another owner needs root";
  tree.WriteDocument("r/locked.doc", 5);
  const std::string path = tree.Path("r/locked.doc");
  ASSERT_EQ(0, chown(path.c_str(), 65534, 65534));
  ASSERT_EQ(0, setxattr(path.c_str(), "user.origin", "scanner", 7, 0));
  ASSERT_EQ(0, std::system(("setfacl -m u:daemon:rw '" + path + "'").c_str()));
  ASSERT_EQ(0, chmod(path.c_str(), 0444));
  const FileState before = StateOf(path); // reads it: set the times after
  timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
  ASSERT_EQ(2u, before.extended.size()) << "an ACL and a user attribute";

  RunEnd end = RunOn("r/");
  ASSERT_TRUE(end.complete) << end.error;
  const FileState after = StateOf(path);
  EXPECT_EQ("replaced", std::string(OutcomeName(view.ReportFor("locked.doc").outcome)));
  EXPECT_NE(before.inode, after.inode);
  EXPECT_LT(after.size, before.size);
  EXPECT_EQ(0444u, after.mode);
  EXPECT_EQ(65534u, after.owner);
  EXPECT_EQ(65534u, after.group);
  EXPECT_EQ(before.extended, after.extended);
  EXPECT_TRUE(SameTime(times[0], after.accessed));
  EXPECT_TRUE(SameTime(times[1], after.modified));
  EXPECT_TRUE(tree.TempFiles().empty());
}

TEST_F(CompactionRunTest, PlainTextDocCountsAsTotalFileOnly) {
  tree.Write("p/x.doc", "plain text that merely carries a document's name\n");
  RunEnd end = RunOn("p/");
  ASSERT_TRUE(end.complete) << end.error;
  // No refresh until the end of the run, and the file name never shown
  // after the scan.
  EXPECT_EQ(1, view.counterRefreshes);
  EXPECT_EQ("1", view.counters["totalFiles"]);
  EXPECT_EQ("0", view.counters["documentFiles"]);
  EXPECT_EQ("0", view.counters["compressedFiles"]);
  EXPECT_EQ("0", view.counters["bytesBefore"]);
  EXPECT_EQ("100.0%", view.counters["ratio"]);
  EXPECT_EQ(1u, view.Lines("fileText x.doc").size()) << "shown by the scan only";
  const DocumentReport &report = view.ReportFor("x.doc");
  EXPECT_EQ(DocumentOutcome::passedOver, report.outcome);
  EXPECT_NE(std::string::npos, report.reason.find("not a compound document")) << report.reason;
  // The same as data, for front ends that must not read the text.
  EXPECT_EQ(PassOverReason::notCompoundDocument, report.passOver);
  EXPECT_EQ(cfb::Reason::FileTooSmall, report.refusal);
  EXPECT_TRUE(tree.TempFiles().empty());
  EXPECT_EQ(std::vector<RunEnding>{RunEnding::complete}, view.endings);
  EXPECT_EQ(1, view.endStatistics.totalFiles);
}

// Another program holding a write lock (record lock or flock) keeps its
// document: it is passed over like one that cannot be opened.
TEST_F(CompactionRunTest, WriteLockedDocumentIsPassedOver) {
  tree.WriteDocument("w/held.doc", 6);
  tree.WriteDocument("w/flocked.xls", 7);
  tree.WriteDocument("w/free.doc", 8);
  const FileState held = StateOf(tree.Path("w/held.doc"));
  const FileState flocked = StateOf(tree.Path("w/flocked.xls"));
  {
    LockHolder recordLock(tree.Path("w/held.doc"), false);
    LockHolder fileLock(tree.Path("w/flocked.xls"), true);
    RunEnd end = RunOn("w/");
    ASSERT_TRUE(end.complete) << end.error;
  }
  EXPECT_EQ("3", view.counters["totalFiles"]);
  EXPECT_EQ("1", view.counters["documentFiles"]);
  EXPECT_EQ("1", view.counters["compressedFiles"]);
  for (const char *name : {"held.doc", "flocked.xls"}) {
    const DocumentReport &report = view.ReportFor(name);
    EXPECT_EQ(DocumentOutcome::passedOver, report.outcome) << name;
    EXPECT_NE(std::string::npos, report.reason.find("in use")) << report.reason;
    EXPECT_EQ(PassOverReason::inUse, report.passOver) << name;
  }
  EXPECT_EQ(held.contentHash, StateOf(tree.Path("w/held.doc")).contentHash);
  EXPECT_EQ(flocked.contentHash, StateOf(tree.Path("w/flocked.xls")).contentHash);
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("free.doc").outcome);
}

TEST_F(CompactionRunTest, StopDuringScanTouchesNoDocument) {
  for (int i = 0; i < 3; ++i)
    tree.WriteDocument("s/d" + std::to_string(i) + ".doc", 10 + i);
  std::map<int, FileState> before;
  for (int i = 0; i < 3; ++i)
    before[i] = StateOf(tree.Path("s/d" + std::to_string(i) + ".doc"));
  view.stopAtPump = 2; // the second candidate the walk yields
  RunEnd end = RunOn("s/");
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(std::vector<std::string>{RunMessage::kStopped}, view.messages);
  EXPECT_TRUE(view.Lines("status Compressing").empty());
  EXPECT_TRUE(view.reports.empty());
  EXPECT_EQ(0, view.counterRefreshes);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(before[i].inode, StateOf(tree.Path("s/d" + std::to_string(i) + ".doc")).inode);
  // The clean-up: the main window first, then the progress window.
  ASSERT_GE(view.log.size(), 3u);
  EXPECT_EQ("message Process was stopped", view.log[view.log.size() - 3]);
  EXPECT_EQ("enableMain 1", view.log[view.log.size() - 2]);
  EXPECT_EQ("destroy", view.log.back());
}

TEST_F(CompactionRunTest, StopDuringCompactionKeepsWhatWasDone) {
  for (int i = 0; i < 3; ++i)
    tree.WriteDocument("s/d" + std::to_string(i) + ".doc", 20 + i);
  // Three pumps in the scan; the second pump of the compaction phase comes
  // right before the second document.
  view.stopAtPump = 5;
  RunEnd end = RunOn("s/");
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(std::vector<std::string>{RunMessage::kStopped}, view.messages);
  ASSERT_EQ(1u, view.reports.size());
  EXPECT_EQ(DocumentOutcome::replaced, view.reports[0].outcome);
  EXPECT_TRUE(tree.TempFiles().empty());
  // The counters are not refreshed once more after a stop; the ending
  // carries them as they are.
  EXPECT_EQ(1, view.counterRefreshes);
  EXPECT_EQ(std::vector<RunEnding>{RunEnding::stopped}, view.endings);
  EXPECT_EQ(1, view.endStatistics.compressedFiles);
}

// The display follows every 100th item only, the pump every item, and a
// run without documents refreshes its counters once, at the end.
TEST_F(CompactionRunTest, DisplayIsThrottledToEveryHundredthItem) {
  // Pinned for a serial run: with workers the run's thread also pumps while
  // it waits for them.
  options.workers = 1;
  for (int i = 0; i < 250; ++i)
    tree.Write("many/f" + std::to_string(i) + ".doc", "text");
  RunEnd end = RunOn("many/");
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ(500, view.pumps);
  EXPECT_EQ((std::vector<std::string>{"filePos 0", "filePos 0", "filePos 100", "filePos 200",
                                      "filePos 250"}),
            view.Lines("filePos"));
  std::vector<std::string> fileTexts = view.Lines("fileText");
  ASSERT_EQ(3u + 4u + 1u, fileTexts.size());
  for (int i = 0; i < 3; ++i)
    EXPECT_NE("fileText ", fileTexts[i]) << "a name shown by the scan";
  for (int i = 3; i < 8; ++i)
    EXPECT_EQ("fileText ", fileTexts[i]);
  EXPECT_EQ(1, view.counterRefreshes);
  EXPECT_EQ("250", view.counters["totalFiles"]);
  EXPECT_EQ(250u, view.reports.size());
}

TEST_F(CompactionRunTest, MasksAreCheckedBeforeBaseEntries) {
  options.wildcards = " \t \n ";
  RunEnd end = Run({});
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(std::vector<std::string>{RunMessage::kNoWildcards}, view.messages);
  EXPECT_TRUE(view.Lines("create").empty()) << "nothing changed";

  view = RecordingView();
  options.wildcards = "  *.doc   *.xls ";
  end = Run({});
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(std::vector<std::string>{RunMessage::kNoItemsSelected}, view.messages);
  EXPECT_TRUE(view.Lines("create").empty());

  // With "All files" the wildcards are not read at all.
  view = RecordingView();
  options.allFiles = true;
  options.wildcards = "";
  end = Run({});
  EXPECT_EQ(std::vector<std::string>{RunMessage::kNoItemsSelected}, view.messages);
}

TEST_F(CompactionRunTest, WildcardsSplitAtSpacesOnly) {
  tree.WriteDocument("m/a.doc", 30);
  tree.WriteDocument("m/b.xls", 31);
  tree.WriteDocument("m/c.ppt", 32);
  options.wildcards = "  *.doc   *.xls  ";
  RunEnd end = RunOn("m/");
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ("2", view.counters["totalFiles"]);
}

TEST_F(CompactionRunTest, ProgressWindowThatCannotOpenChangesNothing) {
  tree.WriteDocument("f/a.doc", 33);
  view.failCreate = true;
  RunEnd end = RunOn("f/");
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(std::vector<std::string>{RunMessage::kCannotOpenProgress}, view.messages);
  EXPECT_TRUE(view.Lines("enableMain").empty());
  EXPECT_TRUE(view.Lines("destroy").empty());
}

// A file entry takes every file of its name below its directory too, in any
// letter case, whatever "Recursively" says, and leaves the disk line alone.
TEST_F(CompactionRunTest, SingleFileEntryTakesSameNamedFilesBelow) {
  tree.WriteDocument("Data/a.doc", 40);
  tree.WriteDocument("Data/sub/A.DOC", 41);
  tree.WriteDocument("Data/sub/b.doc", 42);
  tree.WriteDocument("Other/a.doc", 43);
  options.recursive = false;
  RunEnd end = Run({{tree.Path("Data/a.doc"), true}});
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ(2u, view.reports.size());
  view.ReportFor("Data/a.doc");
  view.ReportFor("Data/sub/A.DOC");
  EXPECT_EQ("2", view.counters["compressedFiles"]);
  EXPECT_TRUE(view.Lines("diskText " + tree.Path("")).empty());
  EXPECT_TRUE(view.Lines("status Scanning").empty());
  EXPECT_EQ(std::vector<std::string>{"diskPos 1"}, view.Lines("diskPos"));
}

// A picked file's name is a name: its "?" and "*" are its own bytes, so the
// run takes that name (in any letter case) and never what it would match.
TEST_F(CompactionRunTest, SingleFileEntryNameIsNoWildcard) {
  tree.WriteDocument("W/r?.doc", 60);
  tree.WriteDocument("W/r.doc", 61);
  tree.WriteDocument("W/r1.doc", 62);
  tree.WriteDocument("W/sub/R?.DOC", 63);
  tree.WriteDocument("W/sub/rx.doc", 64);
  tree.WriteDocument("W/s*.xls", 65);
  tree.WriteDocument("W/sheet.xls", 66);
  options.compress = false;
  RunEnd end = Run({{tree.Path("W/r?.doc"), true}, {tree.Path("W/s*.xls"), true}});
  ASSERT_TRUE(end.complete) << end.error;
  std::vector<std::string> paths;
  for (const DocumentReport &report : view.reports)
    paths.push_back(report.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ((std::vector<std::string>{tree.Path("W/r?.doc"), tree.Path("W/s*.xls"),
                                      tree.Path("W/sub/R?.DOC")}),
            paths);
}

// A run over absolute paths does not need the folder it was started in:
// that folder may have been deleted, and the run still comes back to it.
TEST_F(CompactionRunTest, DeletedStartFolderDoesNotStopTheRun) {
  tree.WriteDocument("abs/a.doc", 67);
  tree.WriteDocument("abs/b.doc", 68);
  tree.MakeDir("gone");
  ASSERT_EQ(0, chdir(tree.Path("gone").c_str()));
  ASSERT_EQ(0, rmdir(tree.Path("gone").c_str()));
  RunEnd end = Run({{tree.Path("abs/"), false}, {tree.Path("abs/b.doc"), true}});
  struct stat here;
  ASSERT_EQ(0, stat(".", &here));
  EXPECT_EQ(0u, here.st_nlink) << "back in the deleted folder";
  ASSERT_EQ(0, chdir(startDirectory.c_str()));
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("abs/a.doc").outcome);
}

TEST_F(CompactionRunTest, DirectoryThatCannotBeEnteredEndsTheRun) {
  tree.WriteDocument("ok/a.doc", 44);
  const std::string missing = tree.Path("missing/");
  RunEnd end = Run({{tree.Path("ok/"), false}, {missing, false}});
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(std::vector<std::string>{"can not set " + missing + " directory"}, view.messages);
  // The first entry is fully done.
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("ok/a.doc").outcome);
}

TEST_F(CompactionRunTest, HardLinkedDocumentIsPassedOver) {
  tree.WriteDocument("h/a.doc", 45);
  ASSERT_EQ(0, link(tree.Path("h/a.doc").c_str(), tree.Path("h/b.doc").c_str()));
  const FileState before = StateOf(tree.Path("h/a.doc"));
  RunEnd end = RunOn("h/");
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ("2", view.counters["totalFiles"]);
  EXPECT_EQ("0", view.counters["documentFiles"]);
  EXPECT_NE(std::string::npos, view.ReportFor("a.doc").reason.find("2 hard links"));
  const FileState after = StateOf(tree.Path("h/a.doc"));
  EXPECT_EQ(before.inode, after.inode);
  EXPECT_EQ(2u, after.links);
}

// A file server's client whose clock runs ahead stamps its saves in the
// future: such a time says nothing about how long ago the document changed.
TEST(RecentChange, ChangedWithinTheAgeOrInTheFutureIsRecent) {
  const timespec now{1800000000, 500};
  struct Case {
    const char *what;
    long long modifiedAgo; ///< seconds before now; negative: in the future
    long long changedAgo;
    long long minAge;
    bool recent;
  };
  const Case cases[] = {
      {"both older than the age", 7200, 7200, 3600, false},
      {"both exactly the age ago", 3600, 3600, 3600, false},
      {"modified just now", 0, 7200, 3600, true},
      {"modified within the age", 3599, 7200, 3600, true},
      {"status changed within the age", 86400, 60, 3600, true},
      {"modified in the future", -86400, 7200, 3600, true},
      {"status changed a second ahead", 7200, -1, 3600, true},
      {"modified years in the future", -100LL * 365 * 86400, 7200, 3600, true},
      {"no age takes even a future time", -86400, -86400, 0, false},
  };
  for (const Case &c : cases) {
    DocumentIdentity identity;
    identity.modified = {static_cast<time_t>(now.tv_sec - c.modifiedAgo), now.tv_nsec};
    identity.changed = {static_cast<time_t>(now.tv_sec - c.changedAgo), now.tv_nsec};
    EXPECT_EQ(c.recent, ChangedRecently(identity, std::chrono::seconds(c.minAge), now)) << c.what;
  }
}

// With a minimum age, documents changed within it (the status-change time
// cannot be set back, so every file here changed a moment ago) or modified
// in the future are passed over, counted as total files only, and left as
// they are; once their changes are older than the age they are compacted,
// except the one whose time still lies in the future.
TEST_F(CompactionRunTest, RecentlyChangedDocumentsWaitUntilTheyAreOldEnough) {
  const std::vector<std::pair<std::string, time_t>> documents = {
      {"future.doc", time(nullptr) + 86400},
      {"past.doc", time(nullptr) - 30 * 86400},
      {"fresh.xls", 0},
  };
  std::map<std::string, FileState> before;
  for (std::size_t i = 0; i < documents.size(); ++i) {
    const std::string path = tree.Path("r/" + documents[i].first);
    tree.WriteDocument("r/" + documents[i].first, 51 + static_cast<unsigned>(i));
    if (documents[i].second != 0) {
      const timespec times[2] = {{0, UTIME_OMIT}, {documents[i].second, 0}};
      ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
    }
    before[documents[i].first] = StateOf(path);
  }
  options.minAge = std::chrono::hours(1);
  RunEnd end = RunOn("r/");
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ("3", view.counters["totalFiles"]);
  EXPECT_EQ("0", view.counters["documentFiles"]);
  for (const auto &[name, modified] : documents) {
    const DocumentReport &report = view.ReportFor(name);
    EXPECT_EQ(DocumentOutcome::passedOver, report.outcome) << name;
    EXPECT_EQ("changed recently", report.reason) << name;
    EXPECT_EQ(PassOverReason::changedRecently, report.passOver) << name;
    EXPECT_EQ(before[name].contentHash, StateOf(tree.Path("r/" + name)).contentHash) << name;
  }

  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  options.minAge = std::chrono::seconds(1);
  view.reports.clear();
  end = RunOn("r/");
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ("3", view.counters["totalFiles"]);
  EXPECT_EQ("2", view.counters["compressedFiles"]);
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("past.doc").outcome);
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("fresh.xls").outcome);
  EXPECT_EQ(PassOverReason::changedRecently, view.ReportFor("future.doc").passOver);
  EXPECT_EQ(before["future.doc"].contentHash, StateOf(tree.Path("r/future.doc")).contentHash);
}

// A document saved by another program after it was copied keeps that save.
TEST_F(CompactionRunTest, DocumentChangedAfterItWasCopiedIsLeftAlone) {
  tree.WriteDocument("c/a.doc", 46);
  const std::string path = tree.Path("c/a.doc");
  view.onFileText = [&](const std::string &text) {
    if (text == "a.doc") { // the document has just been opened
      ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), nullptr, 0));
    }
  };
  const FileState before = StateOf(path);
  RunEnd end = RunOn("c/");
  ASSERT_TRUE(end.complete) << end.error;
  const DocumentReport &report = view.ReportFor("a.doc");
  EXPECT_EQ(DocumentOutcome::passedOver, report.outcome);
  EXPECT_NE(std::string::npos, report.reason.find("changed")) << report.reason;
  EXPECT_EQ("1", view.counters["documentFiles"]);
  EXPECT_EQ("0", view.counters["compressedFiles"]);
  EXPECT_EQ(before.inode, StateOf(path).inode);
  EXPECT_EQ(before.contentHash, StateOf(path).contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
}

// A copy that does not read back as the document never takes its place:
// here one byte of its last stream is flipped after it was written. The
// environment cannot turn the check off, not even with the variable that
// once did.
TEST_F(CompactionRunTest, CopyThatReadsBackDifferentlyLeavesTheDocument) {
  tree.WriteDocument("k/a.doc", 47);
  const std::string path = tree.Path("k/a.doc");
  const FileState before = StateOf(path);
  ASSERT_EQ(0, setenv("VELKOR_COPY_CHECK", "off", 1));
  copyCheckTestHook = [](const std::string &copy) {
    // The copy's last sector starts with bytes of its last stream.
    int fd = open(copy.c_str(), O_RDWR);
    const off_t at = lseek(fd, -512, SEEK_END);
    char byte = 0;
    ASSERT_EQ(1, pread(fd, &byte, 1, at));
    byte = static_cast<char>(byte ^ 0x5A);
    ASSERT_EQ(1, pwrite(fd, &byte, 1, at));
    close(fd);
  };
  RunEnd end = RunOn("k/");
  copyCheckTestHook = nullptr;
  unsetenv("VELKOR_COPY_CHECK");
  ASSERT_TRUE(end.complete) << end.error;
  const DocumentReport &report = view.ReportFor("a.doc");
  EXPECT_EQ(DocumentOutcome::passedOver, report.outcome);
  EXPECT_EQ(0u, report.reason.find("the copy differs from the document: /")) << report.reason;
  EXPECT_NE(std::string::npos, report.reason.find("stream bytes differ")) << report.reason;
  EXPECT_EQ("1", view.counters["documentFiles"]);
  EXPECT_EQ("0", view.counters["compressedFiles"]);
  EXPECT_EQ(before.inode, StateOf(path).inode);
  EXPECT_EQ(before.contentHash, StateOf(path).contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
}

TEST_F(CompactionRunTest, FullDiskGivesCreateTmpDocumentErrorAndNoCopyLeft) {
  // A document with much free space inside, in a file system with room for
  // it and 8 KiB more: its copy of some 16 KiB cannot fit.
  tree.WriteDocument("big.doc", 47, 30);
  const std::string bytes = tree.Read("big.doc");
  const int kilobytes = static_cast<int>((bytes.size() + 4095) / 4096 * 4 + 8);
  if (!tree.MountTmpfs("full", kilobytes))
    GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
  tree.Write("full/big.doc", bytes);
  const FileState before = StateOf(tree.Path("full/big.doc"));
  RunEnd end = RunOn("full/");
  EXPECT_TRUE(end.aborted) << end.error;
  EXPECT_EQ(std::vector<std::string>{RunMessage::kCreateTmpError}, view.messages);
  EXPECT_TRUE(tree.TempFiles().empty());
  // The document in hand is reported with the cause.
  const DocumentReport &report = view.ReportFor("big.doc");
  EXPECT_EQ(DocumentOutcome::endedRun, report.outcome);
  EXPECT_NE(std::string::npos, report.reason.find("No space left on device")) << report.reason;
  EXPECT_EQ(PassOverReason::copyFailed, report.passOver);
  EXPECT_EQ(ENOSPC, report.systemError);
  EXPECT_EQ(std::vector<RunEnding>{RunEnding::message}, view.endings);
  EXPECT_EQ(before.contentHash, StateOf(tree.Path("full/big.doc")).contentHash);
}

// A directory that turns read-only between the scan and the compaction: the
// temporary name cannot be made, and the error ends the run naming the file.
TEST_F(CompactionRunTest, ReadOnlyDirectoryEndsTheRunWithTheFileNamed) {
  tree.WriteDocument("ro/a.doc", 48);
  // The run's current directory lies inside the mount, so making that
  // mount read-only reaches the relative names the run uses.
  if (!tree.BindMount("ro"))
    GTEST_SKIP() << "cannot bind-mount here (needs CAP_SYS_ADMIN)";
  bool readOnly = false;
  view.onPhase = [&](RunPhase phase) {
    if (phase == RunPhase::compressing)
      readOnly = tree.RemountReadOnly("ro");
  };
  RunEnd end = RunOn("ro/");
  ASSERT_TRUE(readOnly);
  EXPECT_FALSE(end.complete);
  EXPECT_EQ("access denied: " + tree.Path("ro/a.doc"), end.error);
  EXPECT_TRUE(view.messages.empty()) << "no message of the run's own";
  const DocumentReport &report = view.ReportFor("a.doc");
  EXPECT_EQ(DocumentOutcome::endedRun, report.outcome);
  EXPECT_EQ("the copy cannot be created in this folder: access denied", report.reason);
  EXPECT_EQ(PassOverReason::copyNotCreated, report.passOver);
  EXPECT_NE(0, report.systemError);
  EXPECT_TRUE(tree.TempFiles().empty());
  // Ended before the final refresh; the ending still carries the real
  // counters.
  EXPECT_EQ(0, view.counterRefreshes);
  EXPECT_EQ(std::vector<RunEnding>{RunEnding::error}, view.endings);
  EXPECT_EQ(1, view.endStatistics.totalFiles);
  EXPECT_EQ(1, view.endStatistics.documentFiles);
}

// A drive's walk stays on the drive's file system; the walk of an ordinary
// directory goes into what is mounted below it.
TEST_F(CompactionRunTest, DriveRootWalkStaysOnItsFileSystem) {
  if (!tree.MountTmpfs("drive", 1024))
    GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
  tree.WriteDocument("drive/top.doc", 50);
  ASSERT_TRUE(tree.MountTmpfs("drive/other", 1024));
  tree.WriteDocument("drive/other/below.doc", 51);
  tree.WriteDocument("plain/a.doc", 52);
  ASSERT_TRUE(tree.MountTmpfs("plain/mounted", 1024));
  tree.WriteDocument("plain/mounted/m.doc", 53);
  RunEnd end = Run({{tree.Path("drive/"), false}, {tree.Path("plain/"), false}});
  ASSERT_TRUE(end.complete) << end.error;
  std::vector<std::string> paths;
  for (const DocumentReport &report : view.reports)
    paths.push_back(report.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ((std::vector<std::string>{tree.Path("drive/top.doc"), tree.Path("plain/a.doc"),
                                      tree.Path("plain/mounted/m.doc")}),
            paths);
}

// "Staying on the drive" goes by the mount, not the device number: a btrfs
// subvolume inside a drive has a device number of its own and is walked with
// the drive; and a folder a mask names leads into whatever is mounted there.
TEST_F(CompactionRunTest, DriveWalkTakesItsSubvolumesAndMaskFoldersCrossMounts) {
  const std::string reason = tree.MountBtrfs("bt");
  if (!reason.empty())
    GTEST_SKIP() << reason;
  ASSERT_EQ(0, std::system(
                   ("btrfs -q subvolume create '" + tree.Path("bt/vol") + "' >/dev/null").c_str()));
  tree.WriteDocument("bt/top.doc", 54);
  tree.WriteDocument("bt/vol/in.doc", 55);
  struct stat top, vol;
  ASSERT_EQ(0, stat(tree.Path("bt").c_str(), &top));
  ASSERT_EQ(0, stat(tree.Path("bt/vol").c_str(), &vol));
  ASSERT_NE(top.st_dev, vol.st_dev) << "a subvolume has a device number of its own";
  ASSERT_TRUE(tree.MountTmpfs("bt/other", 1024));
  tree.WriteDocument("bt/other/o.doc", 56);
  options.compress = false;
  RunEnd end = Run({{tree.Path("bt/"), false}});
  ASSERT_TRUE(end.complete) << end.error;
  std::vector<std::string> paths;
  for (const DocumentReport &report : view.reports)
    paths.push_back(report.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ((std::vector<std::string>{tree.Path("bt/top.doc"), tree.Path("bt/vol/in.doc")}), paths);

  view = RecordingView();
  options.wildcards = "other/*.doc vol/*.doc";
  end = Run({{tree.Path("bt/"), false}});
  ASSERT_TRUE(end.complete) << end.error;
  paths.clear();
  for (const DocumentReport &report : view.reports)
    paths.push_back(report.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ((std::vector<std::string>{tree.Path("bt/other/o.doc"), tree.Path("bt/vol/in.doc")}),
            paths);
}

// In an all-drives run a tree mounted twice is walked once: a bind mount of
// a folder, the same file system at a second place and a subvolume mounted
// on its own are covered by the drive that shows them all; a drive that
// shows only part of what another shows does not cover it.
TEST(DriveTypes, EachMountedTreeIsOneBaseEntry) {
  TempDir tree;
  if (!tree.MountTmpfs("ram", 1024))
    GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
  tree.MakeDir("ram/sub");
  ASSERT_TRUE(tree.BindMount("ram/sub", "bind"));
  const std::string reason = tree.MountBtrfs("pool");
  if (!reason.empty())
    GTEST_SKIP() << reason;
  ASSERT_EQ(0,
            std::system(
                ("btrfs -q subvolume create '" + tree.Path("pool/vol") + "' >/dev/null").c_str()));
  ASSERT_EQ("", tree.MountBtrfs("again"));
  ASSERT_EQ("", tree.MountBtrfs("vol", "subvol=vol"));

  const TTMountTable table;
  auto root = [&](const char *relative) { return TTString((tree.Path(relative) + "/").c_str()); };
  EXPECT_STREQ("", table.CoveringRoot(root("ram")).CStr());
  EXPECT_STREQ(root("ram").CStr(), table.CoveringRoot(root("bind")).CStr());
  EXPECT_STREQ("", table.CoveringRoot(root("pool")).CStr());
  EXPECT_STREQ(root("pool").CStr(), table.CoveringRoot(root("again")).CStr());
  EXPECT_STREQ(root("pool").CStr(), table.CoveringRoot(root("vol")).CStr());

  TTObjectList<BaseEntry> entries;
  DriveBaseEntries(table, entries);
  std::vector<std::string> ours;
  for (std::int32_t i = 0; i < entries.Count(); ++i) {
    const std::string path = entries.At(i).path.CStr();
    if (path.rfind(tree.Path(""), 0) == 0)
      ours.push_back(path.substr(tree.Path("").size()));
  }
  EXPECT_EQ((std::vector<std::string>{"ram/", "pool/"}), ours);
}

TEST(DriveTypes, FixedRemoteAndRamDisksAreProcessed) {
  EXPECT_FALSE(IsProcessedDriveType(DRIVE_UNKNOWN));
  EXPECT_FALSE(IsProcessedDriveType(DRIVE_NO_ROOT_DIR));
  EXPECT_FALSE(IsProcessedDriveType(DRIVE_REMOVABLE));
  EXPECT_FALSE(IsProcessedDriveType(DRIVE_CDROM));
  EXPECT_TRUE(IsProcessedDriveType(DRIVE_FIXED));
  EXPECT_TRUE(IsProcessedDriveType(DRIVE_REMOTE));
  EXPECT_TRUE(IsProcessedDriveType(DRIVE_RAMDISK));
  EXPECT_TRUE(IsProcessedDriveType(7));
}

// The drives of a captured laptop: the fixed disks and RAM disks are base
// entries; the USB stick, the USB disk, the DVD and the read-only snap image
// (which counts as a CD-ROM) are not.
TEST(DriveTypes, AllDrivesRunTakesTheQualifyingRootsInTableOrder) {
  TempDir machine;
  for (const char *folder :
       {"root/", "root/proc", "root/sys", "root/dev/pts", "root/run/user/1000/gvfs", "root/dev/shm",
        "root/sys/fs/cgroup", "root/sys/fs/pstore", "root/boot/efi", "root/home",
        "root/media/anna/STICK", "root/media/anna/HOLIDAY 2019", "root/mnt/backup",
        "root/snap/core/100", "root/proc/sys/fs/binfmt_misc", "sys/dev/block"})
    machine.MakeDir(folder);
  // The USB disk mounted on /mnt/backup says it is removable.
  machine.Write("sys/devices/sdc/removable", "1\n");
  machine.MakeDir("sys/devices/sdc/sdc1");
  ASSERT_EQ(0, symlink(machine.Path("sys/devices/sdc/sdc1").c_str(),
                       machine.Path("sys/dev/block/8:33").c_str()));
  TTDriveProbe probe;
  probe.mountInfo = std::string(VELKOR_SOURCE_DIR) + "/tests/fs/data/mountinfo/laptop.txt";
  probe.rootPrefix = machine.Path("root");
  probe.sysfs = machine.Path("sys");
  TTObjectList<BaseEntry> entries;
  DriveBaseEntries(TTMountTable(probe), entries);
  std::vector<std::string> roots;
  for (std::int32_t i = 0; i < entries.Count(); ++i) {
    EXPECT_FALSE(entries.At(i).isFile);
    roots.push_back(entries.At(i).path.CStr());
  }
  EXPECT_EQ((std::vector<std::string>{"/", "/run/", "/boot/efi/", "/home/", "/run/user/1000/"}),
            roots);
}

// A rename that fails (the document is a mount point: EBUSY) ends the run;
// the document is unchanged and no copy is left beside it.
TEST_F(CompactionRunTest, FailedReplacementLeavesTheDocumentAndNoCopy) {
  tree.WriteDocument("b/pinned.doc", 54);
  const FileState before = StateOf(tree.Path("b/pinned.doc"));
  if (!tree.BindMount("b/pinned.doc"))
    GTEST_SKIP() << "cannot bind-mount here (needs CAP_SYS_ADMIN)";
  RunEnd end = RunOn("b/");
  EXPECT_EQ("sharing violation: " + tree.Path("b/pinned.doc"), end.error);
  const FileState after = StateOf(tree.Path("b/pinned.doc"));
  EXPECT_EQ(before.inode, after.inode);
  EXPECT_EQ(before.contentHash, after.contentHash);
  EXPECT_TRUE(tree.TempFiles().empty());
  EXPECT_EQ(DocumentOutcome::endedRun, view.ReportFor("pinned.doc").outcome);
}

// A file of 4 GiB or more is not taken up: not counted, not opened.
TEST_F(CompactionRunTest, FileOfFourGigabytesIsNotCounted) {
  tree.MakeDir("g");
  int fd = open(tree.Path("g/huge.doc").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, 0x100000000LL)); // sparse
  close(fd);
  RunEnd end = RunOn("g/");
  ASSERT_TRUE(end.complete) << end.error;
  EXPECT_EQ("0", view.counters["totalFiles"]);
  EXPECT_EQ(DocumentOutcome::passedOver, view.ReportFor("huge.doc").outcome);
}

// Run by a user who may write the directory but cannot give the copy the
// document's owner: the document stays as it is and the copy goes.
TEST_F(CompactionRunTest, CopyThatCannotTakeTheOwnerLeavesTheDocument) {
  if (geteuid() != 0)
    GTEST_SKIP() << "the run is made as nobody by a root process";
  tree.WriteDocument("u/shared.doc", 49);
  const std::string path = tree.Path("u/shared.doc");
  ASSERT_EQ(0, chmod(tree.Root().c_str(), 0755));
  ASSERT_EQ(0, chmod(tree.Path("u").c_str(), 0777));
  ASSERT_EQ(0, chmod(path.c_str(), 0666)); // root's, open to all
  const FileState before = StateOf(path);

  int channel[2];
  ASSERT_EQ(0, pipe(channel));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(channel[0]);
    std::string answer = "no privileges dropped";
    if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
      RecordingView childView;
      BaseEntryList list(childView);
      list.Add(tree.Path("u/").c_str(), false);
      try {
        CompactionRun(options, list, childView);
        answer = childView.reports.size() == 1
                     ? std::string(OutcomeName(childView.reports[0].outcome)) + "|" +
                           childView.reports[0].reason + "|" + childView.counters["documentFiles"] +
                           "|" + childView.counters["compressedFiles"]
                     : "reports: " + std::to_string(childView.reports.size());
      } catch (...) {
        answer = "error: " + DescribeCurrentException();
      }
    }
    (void)!write(channel[1], answer.data(), answer.size());
    _exit(0);
  }
  close(channel[1]);
  std::string answer;
  char buffer[512];
  ssize_t n;
  while ((n = read(channel[0], buffer, sizeof buffer)) > 0)
    answer.append(buffer, n);
  close(channel[0]);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(0u, answer.find("passedOver|the copy cannot be given")) << answer;
  EXPECT_EQ("|1|0", answer.substr(answer.size() - 4)) << answer;
  const FileState after = StateOf(path);
  EXPECT_EQ(before.inode, after.inode);
  EXPECT_EQ(before.contentHash, after.contentHash);
  EXPECT_EQ(0u, after.owner);
  EXPECT_TRUE(tree.TempFiles().empty());
}

} // namespace

//===- tests/system/office_documents_test.cpp - Runs over real office files ===//
///
/// \file
/// LibreOffice (headless) writes a Word document and an Excel workbook; a
/// compressing run replaces them with their fresh copies; olefile lists the
/// same tree with the same stream bytes, and LibreOffice reads the same text
/// and the same cells from the replaced files as from the originals.
///
//===----------------------------------------------------------------------===//

#include "engine/compaction_run.h"
#include "engine/run_failure.h"
#include "engine/user_abort.h"

#include "support/recording_view.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace velkor::test;

namespace {

/// Converts `files` (paths in `tree`) with LibreOffice into `outDir`; gives
/// whether soffice succeeded.
bool Convert(const TempDir &tree, const std::string &filter, const std::string &outDir,
             const std::string &files) {
  std::string command = "cd '" + tree.Root() + "' && soffice -env:UserInstallation=file://" +
                        tree.Path("profile") + " --headless --convert-to " + filter +
                        " --outdir '" + outDir + "' " + files + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST(OfficeDocuments, ReplacedDocumentsReadTheSameInLibreOffice) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "LibreOffice is not installed";
  TempDir tree;
  std::string text = "Quarterly report\n";
  for (int i = 0; i < 60; ++i)
    text +=
        "Paragraph " + std::to_string(i) + ": the ledger lists storages, streams and sectors.\n";
  tree.Write("src/letter.txt", text);
  std::string csv;
  for (int row = 0; row < 80; ++row)
    csv += std::to_string(row) + "," + std::to_string(row * 7 % 13) + ",item " +
           std::to_string(row) + "\n";
  tree.Write("src/ledger.csv", csv);
  ASSERT_TRUE(Convert(tree, "doc", tree.Path("docs"), "src/letter.txt"));
  ASSERT_TRUE(Convert(tree, "xls", tree.Path("docs/sheets"), "src/ledger.csv"));
  // Keep the originals for the comparison.
  tree.Write("orig/letter.doc", tree.Read("docs/letter.doc"));
  tree.Write("orig/ledger.xls", tree.Read("docs/sheets/ledger.xls"));
  const std::string docListing = OleListing(tree.Path("docs/letter.doc"));
  const std::string xlsListing = OleListing(tree.Path("docs/sheets/ledger.xls"));
  const off_t docSize = StateOf(tree.Path("docs/letter.doc")).size;

  const std::string startDirectory = CurrentDirectory();
  RecordingView view;
  RunOptions options;
  options.allDrives = false;
  options.allFiles = false;
  options.wildcards = "*.doc *.xls";
  BaseEntryList entries(view);
  entries.Add(tree.Path("docs/").c_str(), false);
  try {
    CompactionRun(options, entries, view);
  } catch (const UserAbort &) {
    FAIL() << "aborted: " << (view.messages.empty() ? "" : view.messages.back());
  } catch (...) {
    FAIL() << DescribeCurrentException();
  }
  EXPECT_EQ(startDirectory, CurrentDirectory());
  EXPECT_EQ("2", view.counters["documentFiles"]);
  for (const DocumentReport &report : view.reports)
    EXPECT_NE(DocumentOutcome::passedOver, report.outcome) << report.path << ": " << report.reason;
  // LibreOffice pads its Word files; the fresh copy leaves the padding out.
  EXPECT_EQ(DocumentOutcome::replaced, view.ReportFor("letter.doc").outcome);
  EXPECT_LT(StateOf(tree.Path("docs/letter.doc")).size, docSize);
  for (const DocumentReport &report : view.reports)
    std::printf("%s: %s, %llu -> %llu bytes\n", report.path.c_str(), OutcomeName(report.outcome),
                static_cast<unsigned long long>(report.sizeBefore),
                static_cast<unsigned long long>(report.sizeAfter));
  EXPECT_TRUE(tree.TempFiles().empty());

  EXPECT_EQ(docListing, OleListing(tree.Path("docs/letter.doc")));
  EXPECT_EQ(xlsListing, OleListing(tree.Path("docs/sheets/ledger.xls")));
  ASSERT_TRUE(Convert(tree, "txt:Text", tree.Path("text/new"), "docs/letter.doc"));
  ASSERT_TRUE(Convert(tree, "txt:Text", tree.Path("text/old"), "orig/letter.doc"));
  ASSERT_TRUE(Convert(tree, "csv", tree.Path("text/new"), "docs/sheets/ledger.xls"));
  ASSERT_TRUE(Convert(tree, "csv", tree.Path("text/old"), "orig/ledger.xls"));
  EXPECT_EQ(tree.Read("text/old/letter.txt"), tree.Read("text/new/letter.txt"));
  EXPECT_NE(std::string::npos, tree.Read("text/new/letter.txt").find("Paragraph 59"));
  EXPECT_EQ(tree.Read("text/old/ledger.csv"), tree.Read("text/new/ledger.csv"));
  EXPECT_NE(std::string::npos, tree.Read("text/new/ledger.csv").find("item 79"));
}

} // namespace

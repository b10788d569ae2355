//===- tests/cli/cli_run_test.cpp - velkor-cli runs over temporary trees --===//

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/ioprio.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "fs/temp_file.h"
#include "support/process.h"
#include "support/test_tree.h"
#include "report_names.h"

using namespace velkor::test;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using velkor::test::NameFromReport;

/// The value printed beside a counter's label, or "" when it is missing.
std::string Counter(const std::string &out, const std::string &label) {
  std::smatch match;
  if (!std::regex_search(out, match, std::regex("\n" + label + " +([^\n]*)\n")))
    return "";
  return match[1];
}

TEST(CliRun, HelpVersionAndUsageErrors) {
  const ProcessResult help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: velkor-cli", 0), 0u);
  EXPECT_EQ(help.err, "");
  const ProcessResult version = RunCli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("velkor-cli (Velkor) ", 0), 0u);

  for (const auto &args : std::vector<std::vector<std::string>>{
           {}, {"--bogus", "/tmp"}, {"--list", "--json", "/tmp"}, {"--all-drives", "/tmp"}}) {
    const ProcessResult bad = RunCli(args);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find("Usage: velkor-cli"), std::string::npos) << bad.err;
  }
}

// An option without a value refuses one, and an empty mask list is refused:
// neither may ever be read as "compress" or swallow the next word.
TEST(CliRun, OptionsWithoutValuesAndEmptyMasksAreBadUsage) {
  TempDir tree;
  tree.WriteDocument("docs/a.doc", 1);
  const std::string before = tree.Read("docs/a.doc");
  const std::string docs = tree.Path("docs");
  for (const auto &args : std::vector<std::vector<std::string>>{{"--estimate=false", docs},
                                                                {"--estimate=0", docs},
                                                                {"--all-files=no", docs},
                                                                {"--list=yes", docs},
                                                                {"--masks=", docs},
                                                                {"--masks", "", docs}}) {
    const ProcessResult bad = RunCli(args);
    EXPECT_EQ(bad.exitCode, 2) << args[0] << bad.out << bad.err;
    EXPECT_EQ(bad.out, "") << args[0];
    EXPECT_NE(bad.err.find("Usage: velkor-cli"), std::string::npos) << bad.err;
  }
  EXPECT_NE(RunCli({"--masks=", docs}).err.find("--masks needs at least one mask"),
            std::string::npos);
  EXPECT_EQ(RunCli({"--estimate=false", docs})
                .err.rfind("velkor-cli: option '--estimate' doesn't allow an argument\n", 0),
            0u);
  EXPECT_EQ(tree.Read("docs/a.doc"), before) << "nothing was done";
}

// A symbolic link given as PATH is not followed, to a file or to a folder.
TEST(CliRun, SymbolicLinkPathsAreRefusedByName) {
  TempDir tree;
  tree.WriteDocument("docs/a.doc", 1);
  const std::string before = tree.Read("docs/a.doc");
  ASSERT_EQ(symlink(tree.Path("docs/a.doc").c_str(), tree.Path("file-link.doc").c_str()), 0);
  ASSERT_EQ(symlink(tree.Path("docs").c_str(), tree.Path("folder-link").c_str()), 0);
  for (const char *link : {"file-link.doc", "folder-link"}) {
    const ProcessResult result = RunCli({tree.Path(link)});
    EXPECT_EQ(result.exitCode, 2) << result.out;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "velkor-cli: '" + tree.Path(link) + "' is a symbolic link, which is not followed\n");
  }
  EXPECT_EQ(tree.Read("docs/a.doc"), before);
}

TEST(CliRun, MissingPathStopsEverythingBeforeTheRun) {
  TempDir tree;
  tree.WriteDocument("docs/a.doc", 1);
  const std::string before = tree.Read("docs/a.doc");
  const ProcessResult result = RunCli({tree.Path("docs"), tree.Path("nothing-here")});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "velkor-cli: cannot access '" + tree.Path("nothing-here") +
                            "': No such file or directory\n");
  EXPECT_EQ(tree.Read("docs/a.doc"), before) << "the existing path was not run either";
}

TEST(CliRun, EmptyMasksEndWithTheRunsMessage) {
  TempDir tree;
  const ProcessResult result = RunCli({"--masks", "   ", tree.Root()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "velkor-cli: You must specify files and wildcars field\n");
  EXPECT_EQ(result.out, "");
}

TEST(CliRun, CompressingRunPipedPrintsPlainLinesAndKeepsContent) {
  TempDir tree;
  tree.WriteDocument("docs/a.doc", 1);
  tree.WriteDocument("docs/sub/b.XLS", 2);
  tree.Write("docs/notes.doc", "plain text, not a compound document\n");
  tree.Write("docs/readme.txt", "not a candidate\n");
  const std::string listingA = OleListing(tree.Path("docs/a.doc"));
  const std::string listingB = OleListing(tree.Path("docs/sub/b.XLS"));
  const auto sizeA = fs::file_size(tree.Path("docs/a.doc"));

  const ProcessResult result = RunCli({"--list", tree.Path("docs")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_FALSE(HasControlCharacters(result.out)) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.rfind("Compressing files\nScanning " + tree.Path("docs/") + "\n", 0), 0u)
      << result.out;
  EXPECT_NE(result.out.find(tree.Path("docs/a.doc") + ": " + std::to_string(sizeA) + " -> "),
            std::string::npos);
  EXPECT_NE(result.out.find(tree.Path("docs/notes.doc") + ": 36 bytes, passed over"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("readme.txt"), std::string::npos);
  EXPECT_NE(result.out.find("\nProcess is complete\n"), std::string::npos);
  EXPECT_EQ(Counter(result.out, "Total files:"), "3");
  EXPECT_EQ(Counter(result.out, "Document files:"), "2");
  EXPECT_EQ(Counter(result.out, "Compressed files:"), "2");
  // The summary ends with the time the run took.
  EXPECT_TRUE(
      std::regex_search(result.out, std::regex("\nElapsed time: +0:00:[0-5][0-9]\\.[0-9]\n$")))
      << result.out;

  EXPECT_LT(fs::file_size(tree.Path("docs/a.doc")), sizeA);
  EXPECT_EQ(OleListing(tree.Path("docs/a.doc")), listingA);
  EXPECT_EQ(OleListing(tree.Path("docs/sub/b.XLS")), listingB);
  EXPECT_TRUE(tree.TempFiles().empty());

  // Compacted documents do not shrink again.
  const ProcessResult again = RunCli({"--list", tree.Path("docs")});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.out.find(tree.Path("docs/a.doc") + ": "), std::string::npos);
  EXPECT_NE(again.out.find("bytes, not smaller"), std::string::npos) << again.out;
  EXPECT_EQ(Counter(again.out, "Compressed files:"), "0");
  EXPECT_EQ(Counter(again.out, "Compression ratio:"), "100.0%");
}

// --jobs changes how many documents are in hand, never what is printed: the
// listing of several workers is the serial one, line for line.
TEST(CliRun, WorkersListExactlyAsTheSerialRun) {
  TempDir tree;
  for (const char *folder : {"serial/", "workers/"}) {
    for (unsigned i = 0; i < 12; ++i)
      tree.WriteDocument(folder + std::string("d") + std::to_string(i % 3) + "/f" +
                             std::to_string(i) + ".doc",
                         20 + i, static_cast<int>(i % 2) * 8);
    tree.Write(folder + std::string("notes.doc"), "plain text\n");
  }
  const ProcessResult serial = RunCli({"--list", "--jobs", "1", tree.Path("serial")});
  const ProcessResult workers = RunCli({"--list", "-j", "3", tree.Path("workers")});
  ASSERT_EQ(serial.exitCode, 0) << serial.out << serial.err;
  ASSERT_EQ(workers.exitCode, 0) << workers.out << workers.err;
  // Only the time each took may differ.
  std::string expected = WithoutElapsedTime(serial.out);
  for (std::size_t at = 0; (at = expected.find("/serial/", at)) != std::string::npos;)
    expected.replace(at, 8, "/workers/");
  EXPECT_EQ(WithoutElapsedTime(workers.out), expected);
  EXPECT_EQ(Counter(workers.out, "Compressed files:"), "6"); // those with free space inside
}

TEST(CliRun, OnATerminalTheLiveLineIsRedrawnInPlace) {
  TempDir tree;
  tree.WriteDocument("docs/a.doc", 1);
  tree.WriteDocument("docs/b.doc", 2);
  const ProcessResult live = RunCliOnTerminal({"--estimate", tree.Path("docs")}, 120, "xterm");
  EXPECT_EQ(live.exitCode, 0) << live.out;
  EXPECT_NE(live.out.find("\rScanning " + tree.Path("docs/") + ": "), std::string::npos)
      << live.out;
  EXPECT_NE(live.out.find("\x1b[K"), std::string::npos);
  // The live line is cleared before the ending, which reads as on a pipe.
  EXPECT_NE(live.out.find("\r\x1b[KProcess is complete\r\nTotal files:                   2\r\n"),
            std::string::npos)
      << live.out;
  EXPECT_EQ(live.out.rfind("Estimating compression ratio\r\n", 0), 0u) << "the caption stays above";

  // A terminal that cannot redraw gets the plain lines.
  const ProcessResult dumb = RunCliOnTerminal({"--estimate", tree.Path("docs")}, 120, "dumb");
  EXPECT_EQ(dumb.exitCode, 0);
  EXPECT_EQ(dumb.out.find('\x1b'), std::string::npos) << dumb.out;
  EXPECT_NE(dumb.out.find("Estimating compression ratio\r\nScanning "), std::string::npos)
      << dumb.out;
}

TEST(CliRun, SecondCtrlCEndsALongScanAtOnce) {
  TempDir tree;
  for (int i = 0; i < 1000; ++i)
    tree.MakeDir("scan/d" + std::to_string(i));
  // The same folder four hundred times over: a scan that finds no candidate and
  // cannot end before the second Ctrl-C even on a loaded machine, so
  // nothing pumps the run's events and a first Ctrl-C waits for its end.
  std::vector<std::string> command = {CliProgram(), "--estimate"};
  for (int i = 0; i < 400; ++i)
    command.push_back(tree.Path("scan"));
  CliProcess run(command, CliProcess::OnTerminal{});
  ASSERT_TRUE(run.WaitForOutput("Scanning " + tree.Path("scan/")));
  run.Signal(SIGINT);
  ASSERT_TRUE(run.WaitForOutput("Stopping... ")) << "the live line says the stop is asked";
  run.Signal(SIGINT);
  const ProcessResult result = run.Finish();
  EXPECT_EQ(result.exitCode, 130) << result.out;
  EXPECT_NE(result.out.find("\r\x1b[KProcess was stopped\r\nTotal files:"), std::string::npos)
      << result.out;
}

TEST(CliRun, EstimateJsonParsesBackWithEveryNameAndChangesNothing) {
  TempDir tree;
  const std::string oddName = "caf\xE9 \x1b[1m\nline.doc"; // Latin-1, an escape, a newline
  tree.WriteDocument("a.doc", 3);
  tree.WriteDocument(oddName, 4);
  tree.Write("notes.doc", "plain text\n");
  const std::string a = tree.Read("a.doc");
  const std::string odd = tree.Read(oddName);

  const ProcessResult result = RunCli({"--estimate", "--json", tree.Root()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  for (unsigned char c : result.out.substr(0, result.out.size() - 1)) {
    ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "plain ASCII";
  }
  const json report = json::parse(result.out);
  EXPECT_EQ(report["mode"], "estimate");
  EXPECT_EQ(report["status"], "complete");
  EXPECT_EQ(report["message"], "Process is complete");
  EXPECT_EQ(report["exitStatus"], 0);
  EXPECT_EQ(report["counters"]["totalFiles"], 3);
  EXPECT_EQ(report["counters"]["documentFiles"], 2);
  EXPECT_EQ(report["counters"]["compressedFiles"], 2);
  std::map<std::string, json> byName;
  for (const json &document : report["documents"])
    byName[NameFromReport(document)] = document;
  ASSERT_EQ(byName.size(), 3u) << result.out;
  ASSERT_TRUE(byName.count(tree.Path(oddName))) << result.out;
  EXPECT_EQ(byName[tree.Path(oddName)]["outcome"], "wouldShrink");
  EXPECT_EQ(byName[tree.Path(oddName)]["sizeBefore"], odd.size());
  EXPECT_LT(byName[tree.Path("a.doc")]["sizeAfter"], a.size());
  EXPECT_EQ(byName[tree.Path("notes.doc")]["outcome"], "passedOver");
  EXPECT_FALSE(byName[tree.Path("notes.doc")]["reason"].get<std::string>().empty());
  const auto counters = report["counters"];
  EXPECT_EQ(counters["bytesReduced"].get<std::uint64_t>(),
            counters["bytesBefore"].get<std::uint64_t>() -
                counters["bytesAfter"].get<std::uint64_t>());
  EXPECT_TRUE(std::regex_match(report["started"].get<std::string>(),
                               std::regex("20[0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:"
                                          "[0-6][0-9]Z")))
      << report["started"];
  EXPECT_GE(report["elapsedSeconds"].get<double>(), 0.0);
  EXPECT_EQ(report["bytesWritten"], 0) << "an estimate writes no copies";
  // The documents' tables, and the start of the file that is not a document.
  EXPECT_GT(report["bytesRead"].get<std::uint64_t>(), 0u);
  EXPECT_LT(report["bytesRead"].get<std::uint64_t>(), a.size() + odd.size() + 11);

  EXPECT_EQ(tree.Read("a.doc"), a);
  EXPECT_EQ(tree.Read(oddName), odd);
  EXPECT_TRUE(tree.TempFiles().empty());
}

/// Gives `path` the mark the run's temporary copies carry.
void MarkAsCopy(const std::string &path) {
  const int file = open(path.c_str(), O_RDONLY);
  EXPECT_TRUE(MarkAsTemporaryCopy(file)) << path << ": no user.* attributes here";
  close(file);
}

// Temporary copies a killed run left in the folders a run compacts: an
// estimate counts them, a compressing run removes them and says so; files of
// similar names, other content or in folders without candidates stay. A file
// of the copies' name without their mark is named as a leftover to look at.
// With All files neither the copies nor such leftovers are candidates in
// either mode, not even a copy that a copy would make smaller: only the
// sweep reports them, and estimate and compress count alike.
TEST(CliRun, AbandonedTemporaryCopiesAreSweptAndCounted) {
  TempDir tree;
  tree.WriteDocument("docs/a.doc", 5);
  tree.WriteDocument("docs/sub/b.doc", 6);
  tree.Write("docs/vkr1F.tmp", "");
  tree.Write("docs/sub/vkrA2B.tmp",
             std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "half a copy");
  tree.Write("docs/vkr1f.tmp", "");
  tree.Write("docs/vkr3.tmp", "someone's notes");
  tree.Write("docs/other/vkr4.tmp", "");
  for (const char *copy :
       {"docs/vkr1F.tmp", "docs/sub/vkrA2B.tmp", "docs/vkr1f.tmp", "docs/other/vkr4.tmp"})
    MarkAsCopy(tree.Path(copy));
  const char *kept[] = {"docs/vkr1f.tmp", "docs/vkr3.tmp", "docs/other/vkr4.tmp"};
  for (const std::string all : {"all1/", "all2/"}) {
    tree.WriteDocument(all + "a.doc", 5);
    tree.WriteDocument(all + "vkr2C.tmp", 7); // a whole copy, with free space inside
    tree.Write(all + "sub/vkr1F.tmp", "");
    tree.WriteDocument(all + "sub/b.doc", 6);
    tree.Write(all + "vkr3.tmp", "someone's notes");
    MarkAsCopy(tree.Path(all + "vkr2C.tmp"));
    MarkAsCopy(tree.Path(all + "sub/vkr1F.tmp"));
  }
  const std::string leftover = tree.Path("docs/vkr3.tmp") +
                               ": leftover, kept: not a temporary copy (it may be a "
                               "document's old file); look at it\n";

  const ProcessResult estimate = RunCli({"--estimate", "--json", tree.Path("docs")});
  ASSERT_EQ(estimate.exitCode, 0) << estimate.err;
  const json counted = json::parse(estimate.out);
  EXPECT_EQ(counted["temporaryFiles"]["found"], 2) << estimate.out;
  EXPECT_EQ(counted["temporaryFiles"]["removed"], 0);
  ASSERT_EQ(counted["temporaryFiles"]["leftovers"].size(), 1u) << estimate.out;
  EXPECT_EQ(counted["temporaryFiles"]["leftovers"][0]["path"], tree.Path("docs/vkr3.tmp"));
  EXPECT_EQ(counted["temporaryFiles"]["leftovers"][0]["reason"],
            leftover.substr(leftover.find(": ") + 2, leftover.size() - leftover.find(": ") - 3));
  EXPECT_TRUE(fs::exists(tree.Path("docs/vkr1F.tmp")));

  const ProcessResult compress = RunCli({"--list", tree.Path("docs")});
  ASSERT_EQ(compress.exitCode, 0) << compress.err;
  EXPECT_NE(
      compress.out.find(tree.Path("docs/vkr1F.tmp") + ": abandoned temporary file, removed\n"),
      std::string::npos)
      << compress.out;
  EXPECT_NE(
      compress.out.find(tree.Path("docs/sub/vkrA2B.tmp") + ": abandoned temporary file, removed\n"),
      std::string::npos)
      << compress.out;
  EXPECT_NE(compress.out.find("\nAbandoned temporary files removed: 2\n"), std::string::npos)
      << compress.out;
  EXPECT_NE(compress.out.find(leftover), std::string::npos) << compress.out;
  EXPECT_NE(compress.out.find("\nLeftover files to look at: 1\n"), std::string::npos)
      << compress.out;
  EXPECT_FALSE(fs::exists(tree.Path("docs/vkr1F.tmp")));
  EXPECT_FALSE(fs::exists(tree.Path("docs/sub/vkrA2B.tmp")));
  for (const char *file : kept)
    EXPECT_TRUE(fs::exists(tree.Path(file))) << file;

  const ProcessResult again = RunCli({"--json", tree.Path("docs")});
  const json second = json::parse(again.out);
  EXPECT_EQ(second["temporaryFiles"]["found"], 0) << again.out;
  // Nothing shrinks the second time: no copy is written, and only the
  // documents' tables are read.
  EXPECT_EQ(second["bytesWritten"], 0) << again.out;
  EXPECT_GT(second["bytesRead"].get<std::uint64_t>(), 0u);
  EXPECT_LT(second["bytesRead"].get<std::uint64_t>(),
            fs::file_size(tree.Path("docs/a.doc")) + fs::file_size(tree.Path("docs/sub/b.doc")))
      << again.out;

  // All files: a.doc, b.doc and the folder sub are the candidates, in both
  // modes, with one worker and with two; vkr3.tmp is a leftover to look at.
  for (const char *jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    const std::string all = tree.Path(std::string("all") + jobs);
    std::map<bool, json> reports;
    for (bool estimateMode : {true, false}) {
      std::vector<std::string> args = {"--all-files", "--json", "--jobs", jobs, all};
      if (estimateMode)
        args.insert(args.begin(), "--estimate");
      const ProcessResult run = RunCli(args);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const json &report = reports[estimateMode] = json::parse(run.out);
      EXPECT_EQ(report["temporaryFiles"]["found"], 2) << run.out;
      // What was written is the replaced copies, in whole; an estimate
      // writes none. A copy reads its document's streams.
      std::uint64_t replacedBytes = 0;
      for (const json &document : report["documents"]) {
        if (document["outcome"] == "replaced")
          replacedBytes += document["sizeAfter"].get<std::uint64_t>();
      }
      EXPECT_EQ(report["bytesWritten"].get<std::uint64_t>(), replacedBytes) << run.out;
      EXPECT_EQ(replacedBytes > 0, !estimateMode) << run.out;
      EXPECT_GT(report["bytesRead"].get<std::uint64_t>(), replacedBytes) << run.out;
      EXPECT_EQ(report["counters"]["totalFiles"], 3) << run.out;
      EXPECT_EQ(report["counters"]["documentFiles"], 2) << run.out;
      std::set<std::string> names;
      for (const json &document : report["documents"])
        names.insert(NameFromReport(document));
      EXPECT_EQ(names, (std::set<std::string>{all + "/a.doc", all + "/sub", all + "/sub/b.doc"}))
          << run.out;
    }
    EXPECT_EQ(reports[true]["counters"], reports[false]["counters"]);
    EXPECT_FALSE(fs::exists(all + "/vkr2C.tmp"));
    EXPECT_FALSE(fs::exists(all + "/sub/vkr1F.tmp"));
  }
}

std::set<std::string> DocumentsIn(const json &report) {
  std::set<std::string> names;
  for (const json &document : report["documents"])
    names.insert(NameFromReport(document));
  return names;
}

TEST(CliRun, FilesRecursionAndMasksChooseTheCandidates) {
  TempDir tree;
  tree.WriteDocument("a.doc", 1);
  tree.WriteDocument("sub/a.doc", 2);
  tree.WriteDocument("sub/c.doc", 3);
  tree.WriteDocument("x.bin", 4);
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--estimate", "--json"});
    const ProcessResult result = RunCli(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return DocumentsIn(json::parse(result.out));
  };
  using Names = std::set<std::string>;
  // A file PATH takes files of that name in the subfolders of its folder too.
  EXPECT_EQ(run({tree.Path("a.doc")}), (Names{tree.Path("a.doc"), tree.Path("sub/a.doc")}));
  EXPECT_EQ(run({"--no-recursive", tree.Root()}), (Names{tree.Path("a.doc")}));
  EXPECT_EQ(run({"--masks", " *.BIN  ", tree.Root()}), (Names{tree.Path("x.bin")}));
  // "*" selects the folder itself too: it is taken up and passed over.
  EXPECT_EQ(run({"--all-files", tree.Root()}),
            (Names{tree.Path("a.doc"), tree.Path("sub"), tree.Path("sub/a.doc"),
                   tree.Path("sub/c.doc"), tree.Path("x.bin")}));
  // A relative PATH is taken from the working directory.
  const ProcessResult relative =
      CliProcess({CliProgram(), "--estimate", "--json", "sub"}, tree.Root()).Finish();
  EXPECT_EQ(relative.exitCode, 0);
  EXPECT_EQ(DocumentsIn(json::parse(relative.out)), (Names{"sub/a.doc", "sub/c.doc"}));
}

TEST(CliRun, UnreadablePathsAreReportedNotFatal) {
  TempDir tree;
  tree.WriteDocument("open/a.doc", 1);
  tree.WriteDocument("open/secret.doc", 2);
  tree.MakeDir("closed");
  ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(tree.Path("open").c_str(), 0777), 0);
  ASSERT_EQ(chmod(tree.Path("open/a.doc").c_str(), 0644), 0);
  ASSERT_EQ(chmod(tree.Path("open/secret.doc").c_str(), 0600), 0);
  ASSERT_EQ(chmod(tree.Path("closed").c_str(), 0700), 0);
  const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=nobody",
                                             "--regid=nogroup", "--clear-groups", CliProgram()};
  if (access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "setpriv is needed to run as an unprivileged user";
  }

  auto command = asNobody;
  command.push_back(tree.Path("closed"));
  const ProcessResult closed = CliProcess(command).Finish();
  EXPECT_EQ(closed.exitCode, 2);
  EXPECT_EQ(closed.err,
            "velkor-cli: cannot read directory '" + tree.Path("closed") + "': Permission denied\n");

  command = asNobody;
  command.insert(command.end(), {"--estimate", "--json", tree.Path("open")});
  const ProcessResult open = CliProcess(command).Finish();
  ASSERT_EQ(open.exitCode, 0) << open.err;
  const json report = json::parse(open.out);
  ASSERT_EQ(report["documents"].size(), 2u);
  for (const json &document : report["documents"]) {
    const bool secret = NameFromReport(document) == tree.Path("open/secret.doc");
    EXPECT_EQ(document["outcome"], secret ? "passedOver" : "wouldShrink") << document.dump();
  }
}

TEST(CliRun, FileSystemErrorEndsTheRunWithStatusOneAndNamesTheFile) {
  TempDir tree;
  tree.WriteDocument("shelf/a.doc", 1);
  ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(tree.Path("shelf").c_str(), 0755), 0); // readable, not writable for others
  ASSERT_EQ(chmod(tree.Path("shelf/a.doc").c_str(), 0644), 0);
  if (access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "setpriv is needed to run as an unprivileged user";
  const std::string before = tree.Read("shelf/a.doc");
  // The copy cannot be made beside the document: the run ends with the error.
  const ProcessResult result = CliProcess({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                           "--clear-groups", CliProgram(), tree.Path("shelf")})
                                   .Finish();
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_EQ(result.err.rfind("velkor-cli: ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find(tree.Path("shelf/")), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("Process is complete"), std::string::npos);
  EXPECT_EQ(tree.Read("shelf/a.doc"), before);
  EXPECT_TRUE(tree.TempFiles().empty());
}

// The same error inside a tree with other documents, as the user sees it:
// the listing says which document ended the run and why, the counters are
// the run's real ones in the format of a complete run, and the error names
// the path as the user wrote it.
TEST(CliRun, ARunThatEndsOnAnErrorTellsOneStory) {
  TempDir tree;
  tree.WriteDocument("tree/open/a.doc", 1);
  tree.WriteDocument("tree/shelf/b.doc", 2);
  for (const char *folder : {"", "tree", "tree/shelf"})
    ASSERT_EQ(chmod(tree.Path(folder).c_str(), 0755), 0);
  ASSERT_EQ(chmod(tree.Path("tree/open").c_str(), 0777), 0);
  for (const char *document : {"tree/open/a.doc", "tree/shelf/b.doc"})
    ASSERT_EQ(chmod(tree.Path(document).c_str(), 0666), 0);
  if (access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "setpriv is needed to run as an unprivileged user";
  const auto sizeB = fs::file_size(tree.Path("tree/shelf/b.doc"));
  const ProcessResult result =
      CliProcess({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  CliProgram(), "--estimate", "--list", "tree"},
                 tree.Root())
          .Finish();
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("tree/shelf/b.doc: " + std::to_string(sizeB) +
                            " bytes, ended the run (the copy cannot be created in this folder: "
                            "access denied)\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("passed over"), std::string::npos) << result.out;
  EXPECT_EQ(Counter(result.out, "Total files:"), "2") << result.out;
  EXPECT_EQ(Counter(result.out, "Document files:"), "2") << result.out;
  EXPECT_EQ(Counter(result.out, "Compressed files:"), "1") << result.out;
  EXPECT_NE(Counter(result.out, "Compression ratio:").find('%'), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "velkor-cli: access denied: tree/shelf/b.doc\n");
}

/// A folder of identical documents, and the bytes each has once compacted.
struct StopFixture {
  TempDir tree;
  std::string original;
  std::string compacted;
  int count = 0;

  explicit StopFixture(int documents) : count(documents) {
    tree.WriteDocument("reference/r.doc", 500);
    original = tree.Read("reference/r.doc");
    for (int i = 0; i < count; ++i)
      tree.Write("docs/d" + std::to_string(1000 + i) + ".doc", original);
    const ProcessResult reference = RunCli({tree.Path("reference")});
    EXPECT_EQ(reference.exitCode, 0);
    compacted = tree.Read("reference/r.doc");
    EXPECT_LT(compacted.size(), original.size());
  }

  /// Every document is either untouched or wholly replaced; answers how
  /// many were replaced.
  int CheckDocuments() const {
    int replaced = 0;
    for (int i = 0; i < count; ++i) {
      const std::string bytes = tree.Read("docs/d" + std::to_string(1000 + i) + ".doc");
      EXPECT_TRUE(bytes == original || bytes == compacted) << "document " << i << " is damaged";
      replaced += bytes == compacted;
    }
    EXPECT_TRUE(tree.TempFiles().empty());
    return replaced;
  }
};

// Ctrl-C, and SIGTERM and SIGHUP as `timeout`, `systemctl stop` or a closed
// session send them, with one worker or several: the documents in hand are
// finished, none is started, and the status is 128 plus the signal's number.
TEST(CliRun, StopSignalsWhileCompactingStopBeforeTheNextDocument) {
  const struct {
    int signal;
    int count;
    const char *jobs;
    int status;
  } cases[] = {
      {SIGINT, 1, "1", 130}, {SIGINT, 2, "1", 130},  {SIGTERM, 1, "4", 143},
      {SIGHUP, 1, "4", 129}, {SIGTERM, 2, "4", 143},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + " x" + std::to_string(c.count) + ", --jobs " +
                 c.jobs);
    StopFixture fixture(300);
    CliProcess run({CliProgram(), "--list", "--jobs", c.jobs, fixture.tree.Path("docs")});
    ASSERT_TRUE(run.WaitForOutput("replaced\n"));
    for (int i = 0; i < c.count; ++i)
      run.Signal(c.signal);
    const ProcessResult result = run.Finish();
    EXPECT_EQ(result.exitCode, c.status) << result.out << result.err;
    EXPECT_NE(result.out.find("\nProcess was stopped\nTotal files:"), std::string::npos)
        << result.out;
    const int replaced = fixture.CheckDocuments();
    EXPECT_GE(replaced, 1);
    EXPECT_LT(replaced, fixture.count) << "the run went on to its end";
    // The counters are the run's last: one line per document handled.
    const auto listed = std::count(result.out.begin(), result.out.end(), '\n') - 12;
    EXPECT_EQ(Counter(result.out, "Compressed files:"), std::to_string(replaced));
    EXPECT_EQ(listed, replaced);
  }
}

// --idle: the run's own thread and every thread it starts, the workers and
// the watcher of Ctrl-C, read and write in the idle I/O class at nice 19.
// The run is held (SIGSTOP) while its workers have documents in hand.
TEST(CliRun, IdleRunAndAllItsThreadsYieldTheDiskAndTheProcessors) {
  StopFixture fixture(300);
  CliProcess run({CliProgram(), "--idle", "--jobs=4", "--list", fixture.tree.Path("docs")});
  ASSERT_TRUE(run.WaitForOutput("replaced\n"));
  run.Signal(SIGSTOP);
  int threads = 0;
  for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(run.Pid()) + "/task")) {
    const int tid = std::stoi(task.path().filename().string());
    ++threads;
    errno = 0;
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(tid)), 19) << "thread " << tid;
    EXPECT_EQ(errno, 0);
    const long ioprio = syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, tid);
    EXPECT_EQ(IOPRIO_PRIO_CLASS(ioprio), IOPRIO_CLASS_IDLE) << "thread " << tid;
  }
  run.Signal(SIGCONT);
  EXPECT_GE(threads, 5) << "the run's thread and four workers at least";
  const ProcessResult result = run.Finish();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(fixture.CheckDocuments(), fixture.count);
}

// A reader that goes away ends the run like a GNU tool: no message, the
// status of SIGPIPE, and no document cut short.
TEST(CliRun, ClosedOutputPipeEndsSilentlyBetweenDocuments) {
  StopFixture fixture(300);
  const ProcessResult result =
      CliProcess({"/bin/bash", "-c",
                  "\"$0\" --list \"$1\" | head -n 3 >/dev/null; echo \"status ${PIPESTATUS[0]}\"",
                  CliProgram(), fixture.tree.Path("docs")})
          .Finish();
  EXPECT_EQ(result.out, "status 141\n");
  EXPECT_EQ(result.err, "") << "no message for a closed pipe";
  EXPECT_LT(fixture.CheckDocuments(), fixture.count) << "the run went on to its end";
}

TEST(CliRun, CtrlCWithJsonStillWritesTheWholeReport) {
  StopFixture fixture(300);
  CliProcess run({CliProgram(), "--json", fixture.tree.Path("docs")});
  ASSERT_TRUE(run.WaitForOutput("\"replaced\""));
  run.Signal(SIGINT);
  const ProcessResult result = run.Finish();
  EXPECT_EQ(result.exitCode, 130);
  const json report = json::parse(result.out);
  EXPECT_EQ(report["status"], "stopped");
  EXPECT_EQ(report["message"], "Process was stopped");
  EXPECT_EQ(report["exitStatus"], 130);
  EXPECT_EQ(report["documents"].size(), static_cast<std::size_t>(fixture.CheckDocuments()));
}

} // namespace

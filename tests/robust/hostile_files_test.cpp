//===- tests/robust/hostile_files_test.cpp - Hostile files: bounded, clean ===//
///
/// \file
/// Opens every file of the hostile corpus with the compound-file reader in a
/// child process of its own, under a time limit and (without ASan) an
/// address-space limit, and measures the child's peak memory. A case passes
/// when the reader refuses it with a `FormatError` whose reason suits the
/// damage, or accepts it and then writes a copy that holds the same tree,
/// has the planned size and opens again. Anything else (another exception,
/// a crash, a hang, memory out of proportion to the file) fails the case.
///
/// Set VELKOR_HOSTILE_CORPUS_DIR to also write every case there (the fuzz
/// target's seed corpus can be made from it).
///
//===----------------------------------------------------------------------===//
#include "hostile_corpus.h"
#include "support/test_tree.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <typeinfo>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAsan = true;
#else
constexpr bool kUnderAsan = false;
#endif

namespace {

using velkor::test::HostileCase;

enum class Kind : int { Refused, Accepted, BadCopy, OtherError, OutOfMemory, Crash, Timeout };

const char *KindName(Kind kind) {
  switch (kind) {
  case Kind::Refused:
    return "refused";
  case Kind::Accepted:
    return "accepted";
  case Kind::BadCopy:
    return "accepted but copied wrongly";
  case Kind::OtherError:
    return "failed with an error other than FormatError";
  case Kind::OutOfMemory:
    return "ran out of memory";
  case Kind::Crash:
    return "crashed";
  case Kind::Timeout:
    return "did not finish in time";
  }
  return "?";
}

// What the child sends back through its pipe.
struct Report {
  Kind kind = Kind::Crash;
  int reason = -1;
  long peakKb = 0; // growth of the resident set while opening and copying
  double seconds = 0;
  char detail[300] = {};
};

struct Outcome {
  Report report;
  double seconds = 0;
  int signal = 0;
};

long StatusKb(const char *field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, length, field) == 0)
      return std::atol(line.c_str() + length + 1);
  return 0;
}

void SetDetail(Report &report, const std::string &text) {
  std::snprintf(report.detail, sizeof report.detail, "%s", text.c_str());
}

// Runs in the child: open, copy, re-open, compare.
Report Exercise(const std::string &path, const std::string &copyPath) {
  Report report;
  try {
    cfb::Source source = cfb::Source::Open(path);
    {
      cfb::Destination out = cfb::Destination::Create(copyPath);
      source.CopyTo(out);
      out.Release();
    }
    cfb::Source copy = cfb::Source::Open(copyPath);
    if (copy.FileSize() != source.PlannedCopySize()) {
      report.kind = Kind::BadCopy;
      SetDetail(report, "copy size " + std::to_string(copy.FileSize()) + " differs from planned " +
                            std::to_string(source.PlannedCopySize()));
    } else if (auto difference = cfb::CompareTrees(source, copy)) {
      report.kind = Kind::BadCopy;
      SetDetail(report, difference->path + ": " + difference->detail);
    } else {
      report.kind = Kind::Accepted;
    }
  } catch (const cfb::FormatError &error) {
    report.kind = Kind::Refused;
    report.reason = static_cast<int>(error.GetReason());
    SetDetail(report, error.what());
  } catch (const std::bad_alloc &) {
    report.kind = Kind::OutOfMemory;
  } catch (const std::exception &error) {
    report.kind = Kind::OtherError;
    SetDetail(report, std::string(typeid(error).name()) + ": " + error.what());
  }
  return report;
}

// Handles `paths` in child processes, one file after another, each under
// the time limit and its memory measured on its own. A child that crashes or
// hangs loses only the file in hand: the next child starts after it.
// Children handle many files each because starting a process under ASan
// costs far more than reading a small file.
std::vector<Outcome> RunInChildren(const std::vector<std::string> &paths,
                                   const std::string &copyPath, unsigned timeoutSeconds) {
  std::vector<Outcome> outcomes;
  const long vmKb = StatusKb("VmSize:");
  while (outcomes.size() < paths.size()) {
    const std::size_t first = outcomes.size();
    int fds[2];
    if (::pipe(fds) != 0)
      throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
      throw std::runtime_error("fork failed");
    if (pid == 0) {
      ::close(fds[0]);
      if (!kUnderAsan) {
        // A runaway allocation becomes bad_alloc instead of swamping the
        // machine. (ASan reserves terabytes of address space, so there the
        // peak resident set alone is checked.)
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(vmKb + (1L << 20)) * 1024;
        ::setrlimit(RLIMIT_AS, &limit);
      }
      for (std::size_t i = first; i < paths.size(); ++i) {
        ::alarm(timeoutSeconds);
        // Writing 5 to clear_refs resets VmHWM to the current resident set.
        if (FILE *refs = std::fopen("/proc/self/clear_refs", "w")) {
          std::fputs("5", refs);
          std::fclose(refs);
        }
        const long before = StatusKb("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        Report report = Exercise(paths[i], copyPath);
        report.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        report.peakKb = std::max(0L, StatusKb("VmHWM:") - before);
        if (::write(fds[1], &report, sizeof report) != static_cast<ssize_t>(sizeof report))
          ::_exit(3);
      }
      ::_exit(0);
    }
    ::close(fds[1]);
    for (;;) {
      Report report;
      std::size_t got = 0;
      while (got < sizeof report) {
        ssize_t n = ::read(fds[0], reinterpret_cast<char *>(&report) + got, sizeof report - got);
        if (n < 0 && errno == EINTR)
          continue;
        if (n <= 0)
          break;
        got += static_cast<std::size_t>(n);
      }
      if (got != sizeof report)
        break;
      Outcome outcome;
      outcome.report = report;
      outcome.seconds = report.seconds;
      outcomes.push_back(outcome);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (outcomes.size() < paths.size()) {
      // The child died on the file in hand.
      Outcome outcome;
      if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
        outcome.report.kind = outcome.signal == SIGALRM ? Kind::Timeout : Kind::Crash;
      } else {
        outcome.report.kind = Kind::Crash;
        SetDetail(outcome.report,
                  "child exited with status " + std::to_string(WEXITSTATUS(status)));
      }
      outcomes.push_back(outcome);
    }
  }
  return outcomes;
}

class HostileFilesTest : public velkor::test::TempDirTest {
protected:
  // Writes the case (sparse when asked) and returns its path.
  std::string Save(const HostileCase &c, std::size_t slot = 0) {
    std::string path = dir + "/case" + std::to_string(slot) + ".doc";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
      throw std::runtime_error("cannot create " + path);
    if (!c.bytes.empty() &&
        ::write(fd, c.bytes.data(), c.bytes.size()) != static_cast<ssize_t>(c.bytes.size()))
      throw std::runtime_error("cannot write " + path);
    if (c.sparseSize > c.bytes.size() && ::ftruncate(fd, static_cast<off_t>(c.sparseSize)) != 0)
      throw std::runtime_error("cannot extend " + path);
    ::close(fd);
    return path;
  }

  // Runs every case of one part of the corpus as it is made and fails each
  // that is not handled cleanly; returns how many cases ran.
  std::size_t RunCorpus(velkor::test::Size size, unsigned timeoutSeconds) {
    std::map<std::string, int> tally;
    double slowest = 0;
    long largest = 0;
    std::string slowestName, largestName;
    const char *exportDir = std::getenv("VELKOR_HOSTILE_CORPUS_DIR");
    std::size_t count = 0;
    std::vector<HostileCase> batch;
    auto evaluate = [&](const HostileCase &c, const Outcome &outcome) {
      const Report &r = outcome.report;
      ++tally[KindName(r.kind)];
      if (outcome.seconds > slowest) {
        slowest = outcome.seconds;
        slowestName = c.name;
      }
      if (r.peakKb > largest) {
        largest = r.peakKb;
        largestName = c.name;
      }
      // Memory in proportion to the file: 64 MiB plus 16 bytes per file byte.
      // Under ASan every allocation carries red zones and freed memory waits
      // in a quarantine of up to 256 MiB, so the bound is looser there.
      long budgetKb = 64 * 1024 + static_cast<long>(c.bytes.size() / 64);
      if (kUnderAsan)
        budgetKb = 3 * budgetKb + 256 * 1024;
      EXPECT_LE(r.peakKb, budgetKb) << c.name << ": resident set grew by " << r.peakKb << " KiB";
      switch (r.kind) {
      case Kind::Refused: {
        const auto reason = static_cast<cfb::Reason>(r.reason);
        EXPECT_FALSE(c.mustAccept) << c.name << ": a valid file was refused: " << r.detail;
        EXPECT_TRUE(c.reasons.empty() || c.reasons.count(reason) != 0)
            << c.name << ": refused for an unexpected reason: " << cfb::ReasonName(reason) << " ("
            << r.detail << ")";
        EXPECT_GT(std::strlen(r.detail), 0u) << c.name << ": a refusal without a text";
        break;
      }
      case Kind::Accepted:
        EXPECT_TRUE(c.mayAccept) << c.name << ": accepted, expected a refusal";
        break;
      default:
        ADD_FAILURE() << c.name << ": " << KindName(r.kind)
                      << (outcome.signal ? " (signal " + std::to_string(outcome.signal) + ")" : "")
                      << " " << r.detail;
      }
    };
    auto flush = [&] {
      std::vector<std::string> paths;
      for (std::size_t i = 0; i < batch.size(); ++i)
        paths.push_back(Save(batch[i], i));
      const std::vector<Outcome> outcomes = RunInChildren(paths, dir + "/copy.doc", timeoutSeconds);
      for (std::size_t i = 0; i < batch.size(); ++i)
        evaluate(batch[i], outcomes[i]);
      batch.clear();
    };
    velkor::test::MakeHostileCorpus(
        [&](HostileCase &&c) {
          ++count;
          if (exportDir != nullptr && c.sparseSize == 0) {
            std::ofstream out(std::string(exportDir) + "/hostile-" + std::to_string(count) + ".cfb",
                              std::ios::binary);
            out.write(reinterpret_cast<const char *>(c.bytes.data()),
                      static_cast<std::streamsize>(c.bytes.size()));
          }
          batch.push_back(std::move(c));
          if (batch.size() == 200)
            flush();
        },
        size);
    flush();
    std::ostringstream summary;
    summary << count << " files:";
    for (const auto &[kind, n] : tally)
      summary << " " << kind << " " << n << ";";
    summary << " slowest " << slowest << " s (" << slowestName << "); largest growth " << largest
            << " KiB (" << largestName << ")";
    std::printf("%s\n", summary.str().c_str());
    RecordProperty("summary", summary.str());
    return count;
  }
};

} // namespace

// Several thousand small hostile files: header fields, FAT, mini FAT, DIFAT
// and directory links, sizes, truncations, hand-made faults, random words.
TEST_F(HostileFilesTest, SmallHostileFilesAreRefusedCleanlyOrCopiedFaithfully) {
  EXPECT_GT(RunCorpus(velkor::test::Size::Small, kUnderAsan ? 20 : 5), 2000u);
}

// Files of megabytes: a flat directory of 50,000 entries, 20,000 nested
// storages, a 50,000-long sibling cycle and a sparse 1 GiB file. Each must
// be handled without recursion, in bounded time, with memory in proportion.
TEST_F(HostileFilesTest, HugeDirectoriesAndSparseFilesStayBounded) {
  EXPECT_EQ(RunCorpus(velkor::test::Size::Large, kUnderAsan ? 120 : 30), 4u);
}

// A valid document at the start of a sparse file of 64 GiB: the reader's
// memory should follow what the file's structures use, not its length.
TEST_F(HostileFilesTest, SparseFileOfSixtyFourGigabytesStaysSmall) {
  std::vector<HostileCase> cases;
  velkor::test::MakeHostileCorpus([&](HostileCase &&c) { cases.push_back(std::move(c)); },
                                  velkor::test::Size::Large);
  HostileCase sparse = cases.back();
  ASSERT_NE(0u, sparse.sparseSize);
  sparse.sparseSize = std::uint64_t{64} << 30;
  const Outcome outcome = RunInChildren({Save(sparse)}, dir + "/copy.doc", 60).front();
  EXPECT_EQ(Kind::Accepted, outcome.report.kind) << KindName(outcome.report.kind);
  EXPECT_LE(outcome.report.peakKb, 64 * 1024)
      << "resident set grew by " << outcome.report.peakKb << " KiB";
}

//===- tests/cli/cli_test.cpp - velkor-cli inspect and copy as a process ---===//

#include "support/fs_helpers.h"
#include "support/process.h"
#include "support/test_tree.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"
#include "core/version.h"
#include "fs/file_operations.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), CliProgram());
  return RunProcess(args);
}

fs::path Fixture(const std::string &relative) { return fs::path(FixturesDir()) / relative; }

// Copies a fixture into `dir` so that tests may change or lock it.
fs::path Stage(const TempDir &dir, const std::string &relative) {
  fs::path target = dir / fs::path(relative).filename().string();
  fs::copy_file(Fixture(relative), target, fs::copy_options::overwrite_existing);
  return target;
}

struct timespec ModificationTime(const fs::path &path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mtim;
}

bool SameTime(const struct timespec &a, const struct timespec &b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

TEST(Usage, BadCommandLinesExitWithTwoAndTheUsage) {
  for (const auto &args : std::vector<std::vector<std::string>>{
           {}, {"--frobnicate"}, {"copy", "only-one"}, {"inspect"}, {"inspect", "--bogus", "x"}}) {
    ProcessResult result = Cli(args);
    EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
    EXPECT_NE(result.err.find("Usage:"), std::string::npos) << result.err;
  }
}

TEST(Usage, HelpAndVersionSucceed) {
  ProcessResult help = Cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("inspect"), std::string::npos);
  EXPECT_NE(help.out.find("copy"), std::string::npos);
  ProcessResult version = Cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("velkor-cli (Velkor) ") + kVelkorVersion + "\n");
  // The commands' help has the run's layout.
  for (const char *command : {"copy", "inspect"}) {
    ProcessResult sub = Cli({command, "--help"});
    EXPECT_EQ(sub.exitCode, 0);
    EXPECT_EQ(sub.out.rfind(std::string("Usage: velkor-cli ") + command + " [OPTION]... ", 0), 0u)
        << sub.out;
    EXPECT_NE(sub.out.find("\nOptions:\n"), std::string::npos) << sub.out;
    EXPECT_NE(sub.out.find("\nExit status:\n"), std::string::npos) << sub.out;
    EXPECT_NE(sub.out.find("  -h, --help            display this help and exit\n"),
              std::string::npos);
  }
  EXPECT_EQ(Cli({"copy", "--verify=no", "a", "b"}).exitCode, 2);
}

TEST(Inspect, ShowsTreeSizesClassIdsAndTheSaving) {
  ProcessResult result = Cli({"inspect", Fixture("synth/nested_slack.cfb").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  for (const char *expected :
       {"Level3", "Deep", "EmptyStorage", "Boundary4097", "4,097", "\\x05SummaryLike",
        "{00000000-0000-0000-0000-000000001001}", "deadbeef", "Ünïcödé 名前", "storage", "stream",
        "root", "Would save:", "Fresh copy:", "version 3, 512-byte sectors"}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
  }
  EXPECT_EQ(result.out.find('\x05'), std::string::npos) << "control characters are escaped";
  EXPECT_EQ(result.out.find("nothing (a fresh copy is not smaller)"), std::string::npos);
}

TEST(Inspect, JsonReportMatchesTheCopyThatIsMade) {
  TempDir dir;
  fs::path source = Fixture("slack/table.doc");
  ProcessResult result = Cli({"inspect", "--json", source.string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  nlohmann::json report = nlohmann::json::parse(result.out);
  EXPECT_EQ(report["fileSize"].get<std::uint64_t>(), fs::file_size(source));
  EXPECT_GT(report["saving"].get<std::uint64_t>(), 0u);
  EXPECT_EQ(report["entries"][0]["kind"], "root");
  EXPECT_EQ(report["entries"][0]["classId"], "{00020906-0000-0000-C000-000000000046}");

  ASSERT_EQ(Cli({"copy", source.string(), dir / "copy.doc"}).exitCode, 0);
  EXPECT_EQ(report["copySize"].get<std::uint64_t>(), fs::file_size(dir / "copy.doc"));
  EXPECT_EQ(report["fileSize"].get<std::uint64_t>() - report["saving"].get<std::uint64_t>(),
            fs::file_size(dir / "copy.doc"));

  // A file already compact saves nothing.
  ProcessResult again = Cli({"inspect", dir / "copy.doc"});
  EXPECT_NE(again.out.find("nothing (a fresh copy is not smaller)"), std::string::npos)
      << again.out;
}

TEST(Inspect, RefusedFilesExitNonZeroWithTheReason) {
  TempDir dir;
  std::string letter;
  while (letter.size() < 2000)
    letter += "Dear reader, this is plain text with a .doc name.\n";
  WriteFile(dir / "letter.doc", letter);
  WriteFile(dir / "empty.doc", "");
  fs::create_directory(dir / "folder.doc");
  struct Case {
    fs::path path;
    const char *reason;
  };
  for (const Case &c :
       {Case{dir / "letter.doc", "bad signature"}, Case{dir / "empty.doc", "too small"},
        Case{dir / "folder.doc", "not a regular file"},
        Case{dir / "missing.doc", "No such file or directory"}}) {
    ProcessResult result = Cli({"inspect", c.path.string()});
    EXPECT_EQ(result.exitCode, 1) << c.path;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.path.filename().string()), std::string::npos) << result.err;
  }
  // A name with a line break and bytes that are not UTF-8 prints as one safe line.
  std::string oddName = std::string("odd\nname\xff\x1b[2J.doc");
  WriteFile(dir / oddName, letter);
  ProcessResult odd = Cli({"inspect", dir / oddName});
  EXPECT_EQ(odd.exitCode, 1);
  EXPECT_NE(odd.err.find("odd\\nname\xff\\x1b[2J.doc"), std::string::npos) << odd.err;
  EXPECT_EQ(std::count(odd.err.begin(), odd.err.end(), '\n'), 1) << odd.err;

  ProcessResult json = Cli({"inspect", "--json", dir / "letter.doc"});
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(nlohmann::json::parse(json.out)["reason"], "BadSignature");
}

TEST(Inspect, DocumentUnderAnotherProgramsWriteLockIsInUse) {
  TempDir dir;
  fs::path document = Stage(dir, "office/text.doc");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    // Another program, as an office suite does: a POSIX write lock on the whole file.
    int fd = ::open(document.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  ProcessResult inspect = Cli({"inspect", document.string()});
  ProcessResult copy = Cli({"copy", document.string(), dir / "copy.doc"});
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ASSERT_EQ(ok, '1');
  EXPECT_EQ(inspect.exitCode, 1);
  EXPECT_NE(inspect.err.find("in use"), std::string::npos) << inspect.err;
  EXPECT_EQ(copy.exitCode, 1);
  EXPECT_FALSE(fs::exists(dir / "copy.doc"));
  EXPECT_EQ(Cli({"inspect", document.string()}).exitCode, 0) << "readable once the lock is gone";
}

// One escaping for every command: a name with a newline, an escape sequence
// and a backslash prints the same in a run's listing, in inspect and in copy.
TEST(Usage, EveryCommandEscapesAHostileNameAlike) {
  TempDir dir;
  const std::string name = "new\nline\x1b[31m\\.doc";
  fs::copy_file(Fixture("office/text.doc"), dir / name);
  const std::string path = dir / name;
  const std::string shown = dir.Path() + "/new\\nline\\x1b[31m\\\\.doc";

  ProcessResult run = Cli({"--estimate", "--list", dir.Path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\n" + shown + ": "), std::string::npos) << run.out;
  ProcessResult inspect = Cli({"inspect", path});
  ASSERT_EQ(inspect.exitCode, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("File:        " + shown + "\n"), std::string::npos) << inspect.out;
  ProcessResult copy = Cli({"copy", path, dir / "plain.doc"});
  ASSERT_EQ(copy.exitCode, 0) << copy.err;
  EXPECT_EQ(copy.out.rfind(shown + " -> ", 0), 0u) << copy.out;
  for (const ProcessResult *result : {&run, &inspect, &copy})
    EXPECT_EQ(result->out.find('\x1b'), std::string::npos) << result->out;
}

TEST(Copy, WritesTheSameTreeAndNeverTouchesTheSource) {
  TempDir dir;
  fs::path source = Stage(dir, "synth/nested_slack.cfb");
  std::string before = ReadFile(source);
  struct timespec mtime = ModificationTime(source);
  ASSERT_EQ(::chmod(source.c_str(), 0444), 0);

  ProcessResult result = Cli({"copy", "--verify", source.string(), dir / "copy.cfb"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("verified"), std::string::npos) << result.out;
  EXPECT_EQ(ReadFile(source), before);
  EXPECT_TRUE(SameTime(ModificationTime(source), mtime));
  EXPECT_EQ(fs::status(source).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  EXPECT_FALSE(cfb::CompareFiles(source.string(), dir / "copy.cfb").has_value());
  EXPECT_LT(fs::file_size(dir / "copy.cfb"), fs::file_size(source));
  EXPECT_LT(getxattr((dir / "copy.cfb").c_str(), kCopyMarkAttribute, nullptr, 0), 0)
      << "the copy kept the temporary copies' mark";
  cfb::Source original = cfb::Source::Open(source.string());
  EXPECT_EQ(original.PlannedCopySize(), fs::file_size(dir / "copy.cfb"));
  original.Release();

  // Copying the copy is deterministic: the same bytes again.
  ASSERT_EQ(Cli({"copy", "-q", dir / "copy.cfb", dir / "again.cfb"}).exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "again.cfb"), ReadFile(dir / "copy.cfb"));
  EXPECT_TRUE(TemporaryLeftovers(dir.Path()).empty());
}

TEST(Copy, IntoAFolderKeepsTheName_AndReplacesAnExistingFileOnlyWithForce) {
  TempDir dir;
  fs::create_directory(dir / "out");
  ProcessResult result = Cli({"copy", Fixture("office/numbers.xls").string(), dir / "out"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  ASSERT_TRUE(fs::exists(dir / "out/numbers.xls"));

  // A DST may be someone's document: refused, and kept, without --force.
  WriteFile(dir / "existing.xls", "old content");
  for (const std::string &target : {dir / "existing.xls", dir / "out"}) {
    const ProcessResult refused = Cli({"copy", Fixture("office/numbers.xls").string(), target});
    EXPECT_EQ(refused.exitCode, 1) << target;
    EXPECT_NE(refused.err.find("exists; give --force to replace it"), std::string::npos)
        << refused.err;
  }
  EXPECT_EQ(ReadFile(dir / "existing.xls"), "old content");
  EXPECT_TRUE(TemporaryLeftovers(dir.Path()).empty());
  ASSERT_EQ(
      Cli({"copy", "-q", "--force", Fixture("office/numbers.xls").string(), dir / "existing.xls"})
          .exitCode,
      0);
  EXPECT_EQ(ReadFile(dir / "existing.xls"), ReadFile(dir / "out/numbers.xls"));
}

TEST(Copy, RefusedSourceLeavesTheDestinationAlone) {
  TempDir dir;
  WriteFile(dir / "plain.doc",
            "not a compound file at all, just text long enough to pass 512 bytes?");
  WriteFile(dir / "dest.doc", "precious");
  for (const fs::path &source : {fs::path(dir / "plain.doc"), fs::path(dir / "missing.doc")}) {
    ProcessResult result = Cli({"copy", source.string(), dir / "dest.doc"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(result.err.empty());
    EXPECT_EQ(ReadFile(dir / "dest.doc"), "precious");
  }
  EXPECT_TRUE(TemporaryLeftovers(dir.Path()).empty());
}

TEST(Copy, OntoItselfIsRefusedAndTheSourceKept) {
  TempDir dir;
  fs::path source = Stage(dir, "slack/text.doc");
  fs::create_hard_link(source, dir / "link.doc");
  std::string before = ReadFile(source);
  for (const fs::path &target : {source, fs::path(dir / "link.doc"), fs::path(dir.Path())}) {
    ProcessResult result = Cli({"copy", source.string(), target.string()});
    EXPECT_EQ(result.exitCode, 1) << target;
    EXPECT_NE(result.err.find("same file"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(source), before);
  }
  EXPECT_TRUE(TemporaryLeftovers(dir.Path()).empty());
}

TEST(Copy, FullDiskFailsCleanly) {
  TempDir dir;
  fs::create_directory(dir / "small");
  if (!MountTmpfs(dir / "small", 128)) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  }
  fs::path source = Fixture("synth/nested.cfb"); // about 290 KB of content
  ProcessResult result = Cli({"copy", source.string(), dir / "small/copy.cfb"});
  std::vector<std::string> leftovers = TemporaryLeftovers(dir / "small");
  bool copyExists = fs::exists(dir / "small/copy.cfb");
  ::umount((dir / "small").c_str());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
  EXPECT_TRUE(leftovers.empty());
  EXPECT_FALSE(copyExists);
}

TEST(Copy, FolderWithoutWritePermissionFailsCleanly) {
  TempDir dir;
  fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  fs::path source = Stage(dir, "office/text.doc");
  fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
  // As an unprivileged user, for whom the folder (owned by root, 0755) is read-only.
  const std::vector<std::string> asNobody = {"setpriv", "--reuid=nobody", "--regid=nogroup",
                                             "--clear-groups"};
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), asNobody.begin(), asNobody.end());
    return RunProcess(args);
  };
  ProcessResult probe = run({CliProgram(), "inspect", source.string()});
  if (probe.exitCode != 0) {
    GTEST_SKIP() << "nobody cannot run velkor-cli or read the fixture here: " << probe.err;
  }
  ProcessResult result = run({CliProgram(), "copy", source.string(), dir / "copy.doc"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(dir / "copy.doc"));
  EXPECT_TRUE(TemporaryLeftovers(dir.Path()).empty());
}

} // namespace
} // namespace velkor::test

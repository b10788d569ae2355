//===- tests/support/windows/process_test.cpp - The runner on Windows -----===//
///
/// \file
/// The child-process runner's Windows part, on programs every Windows (and
/// Wine) has: the output read from the pipes, arguments with spaces and
/// quotes reaching the child whole, the working folder, the exit code, and
/// a child ended by the test.
///
//===----------------------------------------------------------------------===//

#include "support/process.h"
#include "support/test_tree.h"

#include <gtest/gtest.h>

#include <csignal>

namespace velkor::test {
namespace {

TEST(WindowsProcess, OutputArgumentsFolderAndExitCode) {
  ProcessResult echoed = RunProcess({"cmd.exe", "/c", "echo", "one two"});
  EXPECT_EQ(echoed.exitCode, 0);
  EXPECT_NE(echoed.out.find("\"one two\""), std::string::npos) << echoed.out;

  TempDir folder;
  ProcessResult inFolder = RunProcess({"cmd.exe", "/c", "cd"}, folder.Path());
  EXPECT_NE(inFolder.out.find(folder.Path()), std::string::npos) << inFolder.out;

  EXPECT_EQ(RunProcess({"cmd.exe", "/c", "exit 3"}).exitCode, 3);
  ProcessResult toError = RunProcess({"cmd.exe", "/c", "echo oops 1>&2"});
  EXPECT_NE(toError.err.find("oops"), std::string::npos) << toError.err;
  EXPECT_EQ(toError.out, "");
}

TEST(WindowsProcess, AChildEndedByTheTestReadsAsKilled) {
  CliProcess child({"ping.exe", "-n", "60", "127.0.0.1"});
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Finish().exitCode, 128 + SIGTERM);
}

} // namespace
} // namespace velkor::test

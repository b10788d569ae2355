//===- tests/cli/test_support.h - Processes, folders and files for tests ---===//
///
/// \file
/// Helpers shared by the velkor-cli tests and the cross-checks: run a program
/// as a child process and collect its exit status and output, own a temporary
/// folder, read whole files, and find the fixtures the build folder holds.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::test {

struct ProcessResult {
  int exitCode = -1;  ///< the exit status, or 128 + signal number
  std::string out;    ///< everything written to stdout
  std::string err;    ///< everything written to stderr
};

/// Runs `args[0]` (searched in PATH) with `args`, stdin from /dev/null, and
ProcessResult RunProcess(const std::vector<std::string>& args);

/// The velkor-cli executable of this build.
std::string CliPath();

/// The folder of generated fixtures (tests/fixtures/make_fixtures.py output).
std::filesystem::path FixturesDir();

/// A script of tests/crosscheck, e.g. "cfb_tree.py".
std::string CrosscheckScript(const std::string& name);

/// The whole content of a file ("" when it cannot be read).
std::string ReadAll(const std::filesystem::path& path);

/// Writes `content` to `path`, replacing it.
void WriteAll(const std::filesystem::path& path, const std::string& content);

/// Names in `directory` that start with "vkr" (leftover temporary files).
std::vector<std::string> TemporaryLeftovers(const std::filesystem::path& directory);

/// A fresh folder under the system's temporary folder, removed with its
/// content when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path; }
  std::filesystem::path operator/(const std::string& name) const { return path / name; }

 private:
  std::filesystem::path path;
};

}  // namespace velkor::test

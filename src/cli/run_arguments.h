//===- cli/run_arguments.h - velkor-cli's options and PATH arguments -----===//
///
/// \file
/// The command line of a compaction run, `velkor-cli [OPTION]... PATH...`,
/// parsed with CLI11, and the PATH arguments checked and turned into the
/// run's base entries before anything runs.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace velkor::cli {

/// What the command line asks of one run; the options mirror the main window.
struct RunArguments {
  std::vector<std::string> paths;
  bool allDrives = false;
  bool estimate = false;
  bool allFiles = false;
  bool recursive = true;
  std::string masks = "*.doc *.xls";
  bool list = false;
  bool json = false;
  /// --jobs: documents worked on at once; 0 leaves the choice to the engine.
  int jobs = 0;
  /// --min-age: documents changed more recently are passed over; 0 takes
  /// them all.
  std::chrono::seconds minAge{0};
  /// --idle: the run yields the disk and the processors to other programs.
  bool idle = false;
};

/// One PATH argument as the run takes it: a directory path ending in '/', or
/// a file (isFile).
struct PathEntry {
  std::string path;
  bool isFile = false;
};

/// Parses the arguments after the program name. Returns the request, or
/// nothing with `status` set: 0 after --help or --version (written to out),
/// 2 after a usage error (message and usage written to err).
std::optional<RunArguments> ParseRunArguments(int argc, const char *const *argv, std::FILE *out,
                                              std::FILE *err, int &status);

/// Reads a duration of --min-age: a whole number and a unit, s (seconds),
/// m (minutes), h (hours) or d (days), at most 36500 days. False for
/// anything else.
bool ParseDuration(const std::string &text, std::chrono::seconds &duration);

/// What a PATH argument is.
enum class PathKind {
  unusable,  ///< missing, unreadable, a link, or neither a file nor a folder
  directory, ///< a folder that can be listed and entered
  file,      ///< a regular file that can be opened for reading
};

/// Looks at one PATH on the system without following a link (on Windows a
/// reparse point) in its last component, as the walk follows none. A path
/// that is unusable gives a message naming it in `error`.
PathKind CheckPathArgument(const std::string &path, std::string &error);

/// A name or value as the messages show it: in single quotes, with its
/// control bytes escaped.
std::string Quoted(const std::string &text);

/// Checks every PATH and decides its entry. A path that does not exist,
/// cannot be read, or is neither a regular file nor a directory gives a
/// message naming it (false); nothing is changed either way.
bool ResolvePaths(const std::vector<std::string> &paths, std::vector<PathEntry> &entries,
                  std::string &error);

/// The --help text.
std::string HelpText();
/// The --version text.
std::string VersionText();

} // namespace velkor::cli

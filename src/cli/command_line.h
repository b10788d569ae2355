//===- cli/command_line.h - The program's arguments as UTF-8 --------------===//
///
/// \file
/// Every command reads its arguments as UTF-8 text. On Linux that is argv as
/// the system hands it over, bytes as the file names are. On Windows the
/// narrow argv is in the ANSI code page, which cannot spell every name
/// (a Cyrillic or Japanese name on a Western system arrives as question
/// marks, naming no file at all), so the arguments are read from the wide
/// command line instead and converted.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <vector>

namespace velkor::cli {

/// The arguments of this process in UTF-8, the program's name first;
/// `argc` and `argv` are main's. On Windows an argument that is no valid
/// UTF-16 (an unpaired surrogate) keeps the replacement character in its
/// place.
std::vector<std::string> ArgumentsOfProcess(int argc, char **argv);

/// The arguments of this process, held as main's argc and argv.
class CommandLine {
public:
  /// The arguments of this process; `argc` and `argv` are main's.
  CommandLine(int argc, char **argv);

  CommandLine(const CommandLine &) = delete;
  CommandLine &operator=(const CommandLine &) = delete;

  int Count() const { return static_cast<int>(arguments.size()); }
  /// argv-like: Count() arguments, then a null pointer; valid while this
  /// object lives.
  char **Arguments() { return pointers.data(); }

private:
  std::vector<std::string> arguments;
  std::vector<char *> pointers;
};

} // namespace velkor::cli

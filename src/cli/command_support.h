//===- cli/command_support.h - Shared helpers of the velkor-cli commands ---===//
///
/// \file
/// What every command needs: exit codes, the one-line description of a
/// compound-file error, and the escaping of names for a terminal.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <exception>
#include <string>

namespace velkor::cli {

/// Exit statuses shared by all commands.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  ///< the command could not do its work
inline constexpr int kExitUsage = 2;    ///< bad command line

/// The reason for a failure, for the user: "not a compound file: bad
/// signature (header, value 0x...)", "in use by another program", "No space
/// left on device (write)". Falls back to what() for other exceptions.
std::string DescribeError(const std::exception& error);

/// `text` with control characters, backslashes and bytes that are not valid
/// UTF-8 written as \xNN, so that any name or path prints as one safe line.
std::string EscapeForTerminal(const std::string& text);

/// A byte count with thousands separators: 1,234,567.
std::string FormatBytes(unsigned long long bytes);

}  // namespace velkor::cli

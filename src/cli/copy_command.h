//===- cli/copy_command.h - velkor-cli copy: a fresh compound file ---------===//
///
/// \file
/// `velkor-cli copy SRC DST [--verify] [-q] [--force]` writes a fresh
/// compound file holding SRC's whole tree at DST (or inside DST when it is a
/// directory). SRC is only read. An existing DST may be someone's document:
/// it is replaced only with --force. The copy is written to a temporary file beside DST and renamed
/// over DST once it is complete and flushed, so DST is never left half written and a failed copy
/// leaves nothing behind.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace velkor::cli {

struct CopyOptions {
  std::string source;
  std::string destination;
  bool verify = false; ///< re-open the copy and compare its tree with SRC's
  bool quiet = false;  ///< print nothing on success
  bool force = false;  ///< replace an existing DST
};

/// The help of `velkor-cli copy --help`, in the run's layout.
std::string CopyHelpText();

/// Adds the `copy` subcommand to `app`, filling `options` when parsed.
CLI::App *AddCopyCommand(CLI::App &app, CopyOptions &options);

/// Runs the command; returns the exit status.
int RunCopy(const CopyOptions &options, std::ostream &out, std::ostream &err);

/// What the command needs to know of a file, from the system.
struct FileFacts {
  bool isDirectory = false;
  bool isRegular = false;
  std::uint64_t volume = 0; ///< with `index`, tells whether two names are one file
  std::uint64_t index = 0;
  std::uint64_t size = 0;
};

/// The facts of the open file `descriptor`. False when the system cannot
/// tell; LastSystemError() says why.
bool FactsOfOpenFile(int descriptor, FileFacts &facts);

/// The facts of the file `path` leads to. False when it cannot be looked up.
bool FactsOfFile(const std::string &path, FileFacts &facts);

/// Whether the copy's holder must let go of it before the copy is read back
/// by name or moved into place: on Windows, where the holder opens it sharing
/// nothing; not on Linux, where its lock keeps sweeps away until the move.
bool CopyIsClosedBeforeItMoves();

/// The size of the file `path` names, read from a descriptor of its own: the
/// name is looked up once, by the open, and a link is not followed. False
/// when it cannot be opened; LastSystemError() says why.
bool SizeOfOwnFile(const std::string &path, std::uint64_t &size);

} // namespace velkor::cli

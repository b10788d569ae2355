//===- cli/copy_command.cpp - velkor-cli copy: a fresh compound file -------===//

#include "cli/copy_command.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"
#include "cli/command_support.h"
#include "core/escape_text.h"
#include "core/exceptions.h"
#include "fs/file_operations.h"
#include "fs/path_names.h"
#include "fs/temp_file.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <ostream>
#include <stdexcept>

namespace velkor::cli {

namespace {

/// A failure of the command itself, with the text shown to the user.
struct CopyFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string DirectoryPart(const std::string &path) { return ContainingFolder(path.c_str()).CStr(); }

std::string NamePart(const std::string &path) {
  TTString directory, name;
  SplitPath(path.c_str(), directory, name);
  return name.CStr();
}

/// A copy no holder looks after any more: removed when this goes, unless
/// `name` was cleared once the copy is in place.
struct LooseCopy {
  const TTString *name = nullptr;
  LooseCopy() = default;
  LooseCopy(const LooseCopy &) = delete;
  LooseCopy &operator=(const LooseCopy &) = delete;
  ~LooseCopy() {
    if (!name)
      return;
    try {
      RemoveFileIfExists(*name);
    } catch (const TTFileException &) {
      // Left where it is; a later run's sweep finds it.
    }
  }
};

/// The temporary copies' names beside DST: vkrXXXX.tmp, as the run's.
constexpr char kTempPrefix[] = "vkr";

/// The size of a file, from a descriptor of its own: the name is looked up
/// once, by the open.
std::uint64_t SizeOfFile(const std::string &path) {
  std::uint64_t size = 0;
  if (!SizeOfOwnFile(path, size))
    throw CopyFailure(EscapeControlBytes(path) + ": " + SystemErrorText(LastSystemError()));
  return size;
}

} // namespace

std::string CopyHelpText() {
  return "Usage: velkor-cli copy [OPTION]... SRC DST\n"
         "Write a fresh compound file with SRC's whole tree at DST; SRC is only read.\n"
         "The copy is written beside DST under a temporary name and renamed into place\n"
         "once complete. When DST is a folder, the copy goes into it under SRC's name.\n"
         "\n"
         "Options:\n"
         "      --verify          reopen the copy and check that it holds the same tree\n"
         "                          and bytes as SRC\n"
         "  -q, --quiet           print nothing on success\n"
         "  -f, --force           replace DST when it exists; without it an existing DST\n"
         "                          is refused, as it may be someone's document\n"
         "  -h, --help            display this help and exit\n"
         "\n"
         "Exit status:\n"
         "   0  the copy is in place\n"
         "   1  no copy was made: SRC was refused, DST exists, or a write failed\n"
         "   2  bad usage\n"
         "\n"
         "Full documentation: man velkor-cli (before installing: man -l docs/velkor-cli.1)\n";
}

CLI::App *AddCopyCommand(CLI::App &app, CopyOptions &options) {
  CLI::App *command = app.add_subcommand(
      "copy", "Write a fresh compound file with SRC's whole tree at DST; SRC is only read");
  command->add_option("SRC", options.source, "The compound document to copy")->required();
  command
      ->add_option("DST", options.destination,
                   "Where the copy goes (a file name, or a directory to copy into)")
      ->required();
  command->add_flag("--verify", options.verify,
                    "Re-open the copy and check that it holds the same tree and bytes as SRC");
  command->add_flag("-q,--quiet", options.quiet, "Print nothing on success");
  command->add_flag("-f,--force", options.force,
                    "Replace DST when it exists (without it, an existing DST is refused)");
  return command;
}

int RunCopy(const CopyOptions &options, std::ostream &out, std::ostream &err) {
  std::string destination = options.destination;
  try {
    // Open and validate first: a refused source leaves DST untouched.
    cfb::Source source = cfb::Source::Open(options.source);

    // The file that was opened, not whatever the name leads to now.
    FileFacts sourceFacts, destinationFacts;
    if (!FactsOfOpenFile(source.Descriptor(), sourceFacts)) {
      throw CopyFailure(EscapeControlBytes(options.source) + ": " +
                        SystemErrorText(LastSystemError()));
    }
    if (FactsOfFile(destination, destinationFacts)) {
      if (destinationFacts.isDirectory) {
        TTString folder(destination.c_str());
        MakeDirectoryPath(folder);
        destination = folder.CStr() + NamePart(options.source);
      }
    }
    if (FactsOfFile(destination, destinationFacts)) {
      if (destinationFacts.volume == sourceFacts.volume &&
          destinationFacts.index == sourceFacts.index) {
        throw CopyFailure("SRC and DST are the same file");
      }
      if (!destinationFacts.isRegular) {
        throw CopyFailure(EscapeControlBytes(destination) + ": exists and is not a regular file");
      }
      // A DST may be someone's document: it is replaced only when asked.
      if (!options.force) {
        throw CopyFailure(EscapeControlBytes(destination) + ": exists; give --force to replace it");
      }
    }

    // The copy is made under a temporary name beside DST, which the holder
    // removes on every way out but the final rename.
    const std::string directory = DirectoryPart(destination);
    TTTempFile temporary;
    TTString temporaryName;
    try {
      temporaryName = temporary.Create(TTString(directory.c_str()), TTString(kTempPrefix));
    } catch (const TTFileException &e) {
      throw CopyFailure("cannot create a file in " + EscapeControlBytes(directory) + ": " +
                        SystemErrorText(e.systemError));
    }
    // Written through the holder's descriptor: its lock marks the file as a
    // live copy's, which no sweep of abandoned temporary files may take.
    cfb::Destination copy = cfb::Destination::Create(
        temporaryName.CStr(), cfb::Destination::Durability::flushed, temporary.Descriptor());
    source.CopyTo(copy);
    // DST is a file of its own, not an abandoned copy for a sweep to take;
    // unmarked before the copy's flush, which takes the change along.
    if (!temporary.Unmark()) {
      throw CopyFailure("cannot clear the copy's temporary mark: " +
                        SystemErrorText(LastSystemError()));
    }
    copy.Release();
    // Where the holder shares the copy with nobody (Windows), it cannot be
    // read back by name or moved while held: the holder lets go of it, and
    // from then on this removes it on every way out but the move.
    LooseCopy loose;
    if (CopyIsClosedBeforeItMoves()) {
      temporary.Release();
      loose.name = &temporaryName;
    }

    if (options.verify) {
      if (auto difference = cfb::CompareFiles(options.source, temporaryName.CStr())) {
        throw CopyFailure("the copy differs from the source at " +
                          EscapeControlBytes(difference->path) + ": " + difference->detail);
      }
    }
    const std::uint64_t copySize = SizeOfFile(temporaryName.CStr());
    try {
      const TTString target(destination.c_str());
      if (options.force) {
        // Flushed, renamed over DST in one step, and DST's folder flushed.
        MoveFileReplacing(temporaryName, target);
        loose.name = nullptr;
      } else {
        // The copy was flushed when it was written. The rename refuses a
        // DST that appeared meanwhile.
        RenameFile(temporaryName, target);
        loose.name = nullptr;
        temporary.Release();
        FlushDirectoryOf(target);
      }
    } catch (const TTFileException &e) {
      throw CopyFailure("cannot move the copy to " + EscapeControlBytes(destination) + ": " +
                        SystemErrorText(e.systemError));
    }
    temporary.Release();
    std::uint64_t sourceSize = source.FileSize();
    source.Release();

    if (!options.quiet) {
      out << EscapeControlBytes(options.source) << " -> " << EscapeControlBytes(destination) << ": "
          << FormatBytes(sourceSize) << " -> " << FormatBytes(copySize) << " bytes"
          << (options.verify ? ", verified" : "") << '\n';
    }
    return kExitSuccess;
  } catch (const CopyFailure &failure) {
    err << "velkor-cli: copy: " << failure.what() << '\n';
  } catch (const std::exception &error) {
    err << "velkor-cli: copy: " << EscapeControlBytes(options.source) << ": "
        << DescribeError(error) << '\n';
  }
  return kExitFailure;
}

} // namespace velkor::cli

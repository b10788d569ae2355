//===- cli/copy_command.cpp - velkor-cli copy: a fresh compound file -------===//

#include "cli/copy_command.h"

#include "cfb/compare.h"
#include "cfb/compound_file.h"
#include "cli/command_support.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor::cli {

namespace {

/// A failure of the command itself, with the text shown to the user.
struct CopyFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string DirectoryPart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SystemText(int errorNumber) { return std::strerror(errorNumber); }

/// Makes an empty file with a fresh name beside `destination` and returns its
/// name. O_EXCL guarantees that no existing file is taken over.
std::string CreateTemporaryBeside(const std::string& destination) {
  std::string directory = DirectoryPart(destination);
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "vkr%04x.tmp", static_cast<unsigned>(random() & 0xFFFF));
    std::string name = (directory == "/" ? "/" : directory + "/") + suffix;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) {
      throw CopyFailure("cannot create a file in " + EscapeForTerminal(directory) + ": " +
                        SystemText(errno));
    }
  }
  throw CopyFailure("cannot find a free temporary name in " + EscapeForTerminal(directory));
}

/// Removes the temporary file unless the copy was moved into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path(std::move(path)) {}
  ~TemporaryFile() {
    if (!path.empty()) ::unlink(path.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path; }
  void Keep() { path.clear(); }

 private:
  std::string path;
};

void SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the rename is done; a directory we cannot open cannot be flushed
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

CLI::App* AddCopyCommand(CLI::App& app, CopyOptions& options) {
  CLI::App* command = app.add_subcommand(
      "copy", "Write a fresh compound file with SRC's whole tree at DST; SRC is only read");
  command->add_option("SRC", options.source, "The compound document to copy")->required();
  command->add_option("DST", options.destination,
                      "Where the copy goes (a file name, or a directory to copy into)")
      ->required();
  command->add_flag("--verify", options.verify,
                    "Re-open the copy and check that it holds the same tree and bytes as SRC");
  command->add_flag("-q,--quiet", options.quiet, "Print nothing on success");
  return command;
}

int RunCopy(const CopyOptions& options, std::ostream& out, std::ostream& err) {
  std::string destination = options.destination;
  try {
    // Open and validate first: a refused source leaves DST untouched.
    cfb::Source source = cfb::Source::Open(options.source);

    struct stat sourceStat {}, destinationStat {};
    if (::stat(options.source.c_str(), &sourceStat) != 0) {
      throw CopyFailure(EscapeForTerminal(options.source) + ": " + SystemText(errno));
    }
    if (::stat(destination.c_str(), &destinationStat) == 0) {
      if (S_ISDIR(destinationStat.st_mode)) {
        destination += (destination.ends_with('/') ? "" : "/") + NamePart(options.source);
      }
    }
    if (::stat(destination.c_str(), &destinationStat) == 0) {
      if (destinationStat.st_dev == sourceStat.st_dev && destinationStat.st_ino == sourceStat.st_ino) {
        throw CopyFailure("SRC and DST are the same file");
      }
      if (!S_ISREG(destinationStat.st_mode)) {
        throw CopyFailure(EscapeForTerminal(destination) + ": exists and is not a regular file");
      }
    }

    TemporaryFile temporary(CreateTemporaryBeside(destination));
    cfb::Destination copy = cfb::Destination::Create(temporary.Path());
    source.CopyTo(copy);
    copy.Release();

    if (options.verify) {
      if (auto difference = cfb::CompareFiles(options.source, temporary.Path())) {
        throw CopyFailure("the copy differs from the source at " +
                          EscapeForTerminal(difference->path) + ": " + difference->detail);
      }
    }
    struct stat copyStat {};
    if (::stat(temporary.Path().c_str(), &copyStat) != 0) {
      throw CopyFailure(EscapeForTerminal(temporary.Path()) + ": " + SystemText(errno));
    }
    if (::rename(temporary.Path().c_str(), destination.c_str()) != 0) {
      throw CopyFailure("cannot move the copy to " + EscapeForTerminal(destination) + ": " +
                        SystemText(errno));
    }
    temporary.Keep();
    SyncDirectory(DirectoryPart(destination));
    std::uint64_t sourceSize = source.FileSize();
    source.Release();

    if (!options.quiet) {
      out << EscapeForTerminal(options.source) << " -> " << EscapeForTerminal(destination) << ": "
          << FormatBytes(sourceSize) << " -> " << FormatBytes(static_cast<unsigned long long>(copyStat.st_size))
          << " bytes" << (options.verify ? ", verified" : "") << '\n';
    }
    return kExitSuccess;
  } catch (const CopyFailure& failure) {
    err << "velkor-cli: copy: " << failure.what() << '\n';
  } catch (const std::exception& error) {
    err << "velkor-cli: copy: " << EscapeForTerminal(options.source) << ": " << DescribeError(error)
        << '\n';
  }
  return kExitFailure;
}

}  // namespace velkor::cli
